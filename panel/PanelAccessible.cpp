#include "panel/PanelAccessible.h"

#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <new>
#include <unordered_set>

using Microsoft::WRL::ComPtr;

const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

namespace {

constexpr UINT_PTR kSubclassId = 0x4B41;
constexpr LRESULT kAnswered = 0x4B41;

// One question for the window's thread, asked with a sent message and answered there.
struct AccessibleCall {
    enum class Kind { Describe, DescribeWithValue, SetValue, DoDefaultAction };
    Kind kind;
    std::wstring text;
    AccessibleFacts facts;
    HRESULT result = E_FAIL;
};

UINT CallMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"Kestrun.AccessibleCall");
    return message;
}

// Any process can send a registered message with any lParam: only the address of a call
// that is being asked from this process is ever taken as one.
class CCallsInFlight {
public:
    static CCallsInFlight& Instance()
    {
        static CCallsInFlight calls;
        return calls;
    }
    void Add(AccessibleCall* call)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_calls.insert(call);
    }
    void Remove(AccessibleCall* call)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_calls.erase(call);
    }
    AccessibleCall* Find(LPARAM lParam)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_calls.find(reinterpret_cast<AccessibleCall*>(lParam));
        return it != m_calls.end() ? *it : nullptr;
    }

private:
    std::mutex m_lock;
    std::unordered_set<AccessibleCall*> m_calls;
};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT ReturnText(const std::wstring& text, BSTR* out)
{
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The panel's UI thread lives in the multithreaded apartment, so a caller in another process
// reaches this object on an RPC thread: only the window handle and the standard object are
// touched here, and every question about the panel goes to the window's thread.
class CWindowAccessible final : public IAccessible, public IOleWindow {
public:
    CWindowAccessible(HWND window, ComPtr<IAccessible> standard) : m_window(window), m_standard(std::move(standard)) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidAccessible))
            *ppv = static_cast<IAccessible*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow))
            *ppv = static_cast<IOleWindow*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: clients of IAccessible call its methods directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

    // IOleWindow: WindowFromAccessibleObject asks for it.
    STDMETHODIMP GetWindow(HWND* window) override
    {
        if (window == nullptr)
            return E_POINTER;
        *window = m_window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IAccessible: what the panel knows.
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override
    {
        if (!IsSelf(child))
            return m_standard->get_accName(child, name);
        if (name == nullptr)
            return E_POINTER;
        AccessibleCall call{AccessibleCall::Kind::Describe};
        if (!Ask(call))
            return E_FAIL;
        if (call.facts.name.empty())
            return m_standard->get_accName(child, name);
        return ReturnText(call.facts.name, name);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!IsSelf(child))
            return m_standard->get_accRole(child, role);
        if (role == nullptr)
            return E_POINTER;
        AccessibleCall call{AccessibleCall::Kind::Describe};
        if (!Ask(call))
            return E_FAIL;
        if (call.facts.role == 0)
            return m_standard->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = call.facts.role;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override
    {
        if (!IsSelf(child))
            return m_standard->get_accState(child, state);
        if (state == nullptr)
            return E_POINTER;
        AccessibleCall call{AccessibleCall::Kind::Describe};
        if (!Ask(call))
            return E_FAIL;
        VARIANT standard;
        ::VariantInit(&standard);
        long flags = 0;
        if (SUCCEEDED(m_standard->get_accState(child, &standard)) && standard.vt == VT_I4)
            flags = standard.lVal;
        ::VariantClear(&standard);
        // The panel has no keyboard interface: nothing on it takes the focus.
        state->vt = VT_I4;
        state->lVal = (flags & ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED)) | call.facts.state;
        return S_OK;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override
    {
        if (!IsSelf(child))
            return m_standard->get_accValue(child, value);
        if (value == nullptr)
            return E_POINTER;
        AccessibleCall call{AccessibleCall::Kind::DescribeWithValue};
        if (!Ask(call))
            return E_FAIL;
        if (!call.facts.hasValue)
            return m_standard->get_accValue(child, value);
        return ReturnText(call.facts.value, value);
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override
    {
        if (!IsSelf(child))
            return m_standard->put_accValue(child, value);
        AccessibleCall call{AccessibleCall::Kind::SetValue};
        call.text = value != nullptr ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
        return Ask(call) ? call.result : E_FAIL;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        if (!IsSelf(child))
            return m_standard->get_accDefaultAction(child, action);
        if (action == nullptr)
            return E_POINTER;
        *action = nullptr;
        AccessibleCall call{AccessibleCall::Kind::Describe};
        if (!Ask(call))
            return E_FAIL;
        if (call.facts.defaultAction.empty())
            return DISP_E_MEMBERNOTFOUND;
        return ReturnText(call.facts.defaultAction, action);
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override
    {
        if (!IsSelf(child))
            return m_standard->accDoDefaultAction(child);
        AccessibleCall call{AccessibleCall::Kind::DoDefaultAction};
        return Ask(call) ? call.result : E_FAIL;
    }

    // IAccessible: what the standard object does well.
    STDMETHODIMP get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    STDMETHODIMP get_accChildCount(long* count) override { return m_standard->get_accChildCount(count); }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** dispatch) override { return m_standard->get_accChild(child, dispatch); }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override { return m_standard->get_accDescription(child, text); }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override { return m_standard->get_accHelp(child, text); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        return m_standard->get_accKeyboardShortcut(child, text);
    }
    STDMETHODIMP get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    STDMETHODIMP get_accSelection(VARIANT* children) override { return m_standard->get_accSelection(children); }
    STDMETHODIMP accSelect(long flags, VARIANT child) override { return m_standard->accSelect(flags, child); }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override { return m_standard->accHitTest(x, y, child); }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override { return m_standard->put_accName(child, name); }

private:
    ~CWindowAccessible() = default;

    // False when the window is gone: a client may hold the object longer than the panel lives.
    bool Ask(AccessibleCall& call) const
    {
        CCallsInFlight::Instance().Add(&call);
        const bool answered = ::SendMessageW(m_window, CallMessage(), 0, reinterpret_cast<LPARAM>(&call)) == kAnswered;
        CCallsInFlight::Instance().Remove(&call);
        return answered;
    }

    std::atomic<ULONG> m_refs{1};
    const HWND m_window;
    const ComPtr<IAccessible> m_standard;
};

void Answer(HWND window, CAccessibleSource& source, AccessibleCall& call)
{
    switch (call.kind) {
    case AccessibleCall::Kind::Describe:
    case AccessibleCall::Kind::DescribeWithValue:
        source.Describe(window, call.kind == AccessibleCall::Kind::DescribeWithValue, call.facts);
        if (!::IsWindowEnabled(window)) {
            // A disabled control does nothing when clicked: it offers no action either.
            call.facts.state |= STATE_SYSTEM_UNAVAILABLE;
            call.facts.defaultAction.clear();
        }
        if (!::IsWindowVisible(window))
            call.facts.state |= STATE_SYSTEM_INVISIBLE;
        call.result = S_OK;
        break;
    case AccessibleCall::Kind::SetValue:
        call.result = source.SetValue(window, call.text);
        break;
    case AccessibleCall::Kind::DoDefaultAction:
        call.result = ::IsWindowEnabled(window) ? source.DoDefaultAction(window) : DISP_E_MEMBERNOTFOUND;
        break;
    }
}

LRESULT GetObjectAnswer(HWND window, WPARAM wParam)
{
    ComPtr<IAccessible> standard;
    if (FAILED(::CreateStdAccessibleObject(window, OBJID_CLIENT, kIidAccessible,
                                           reinterpret_cast<void**>(standard.GetAddressOf()))) || !standard)
        return 0;
    ComPtr<IAccessible> accessible;
    accessible.Attach(new (std::nothrow) CWindowAccessible(window, standard));
    if (!accessible)
        return 0;
    return ::LresultFromObject(kIidAccessible, wParam, accessible.Get());
}

void NotifyStateChanged(HWND window) { ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }

bool IsPushed(HWND window) { return (::SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

LRESULT CALLBACK AccessibleSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* source = reinterpret_cast<CAccessibleSource*>(data);
    if (message == CallMessage()) {
        // The asker waits for the answer, so the call lives until it is given.
        AccessibleCall* call = CCallsInFlight::Instance().Find(lParam);
        if (call == nullptr)
            return 0;
        Answer(window, *source, *call);
        return kAnswered;
    }
    switch (message) {
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            if (LRESULT answer = GetObjectAnswer(window, wParam))
                return answer;
        }
        break;
    case BM_SETSTATE: {
        const bool before = IsPushed(window);
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        if (IsPushed(window) != before)
            NotifyStateChanged(window);
        return result;
    }
    case STM_SETIMAGE: {
        // The indicators show their state by their image.
        const LRESULT previous = ::DefSubclassProc(window, message, wParam, lParam);
        if (previous != ::SendMessageW(window, STM_GETIMAGE, wParam, 0))
            NotifyStateChanged(window);
        return previous;
    }
    case WM_ENABLE: {
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        NotifyStateChanged(window);
        return result;
    }
    case WM_SETTEXT: {
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
        return result;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, AccessibleSubclassProc, kSubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool AttachAccessible(HWND window, CAccessibleSource* source)
{
    return window != nullptr && source != nullptr &&
           ::SetWindowSubclass(window, AccessibleSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(source)) != FALSE;
}

void NotifyValueChanged(HWND window) { ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }
