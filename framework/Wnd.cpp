#include "framework/Wnd.h"

#include <unordered_map>

namespace {
// Handle-to-object map. Windows are created and used on the user-interface thread only.
std::unordered_map<HWND, CWnd*>& HandleMap()
{
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

thread_local MSG t_currentMessage{};

bool IsMainWindow(const CWnd* pWnd)
{
    return AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd == pWnd;
}
}

CWnd::~CWnd()
{
    // A main window whose object goes without its window ever being created (or after it
    // was detached) must not leave the application pointing at freed memory.
    if (IsMainWindow(this))
        AfxGetApp()->m_pMainWnd = nullptr;
    // A window that outlives its object must not keep calling into freed memory.
    if (m_hWnd != nullptr) {
        if (m_pfnSuper != nullptr)
            UnsubclassWindow();
        else
            Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto it = HandleMap().find(hWnd);
    return it != HandleMap().end() ? it->second : nullptr;
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    m_hWnd = hWnd;
    HandleMap()[hWnd] = this;
    if (IsMainWindow(this))
        AfxSetMainWndHandle(hWnd);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        HandleMap().erase(hWnd);
        // By handle, not by pointer: the pointer is already cleared while the main window
        // is being destroyed.
        AfxForgetMainWndHandle(hWnd);
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    // A wide procedure keeps the window Unicode: the texts set on it never pass through the
    // ANSI code page.
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper != nullptr && m_hWnd != nullptr)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

const MSG* CWnd::GetCurrentMessage() { return &t_currentMessage; }

LRESULT CWnd::Default()
{
    return DefWindowProc(t_currentMessage.message, t_currentMessage.wParam, t_currentMessage.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (ProcessWindowMessage(message, wParam, lParam, result))
        return result;
    if (ReflectToChild(message, wParam, lParam, &result))
        return result;
    // Commands no window handled go on to the application.
    if (message == WM_COMMAND && AfxGetApp() != nullptr &&
        AfxGetApp()->ProcessWindowMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    HWND hChild = nullptr;
    UINT reflected = 0;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        hChild = reinterpret_cast<HWND>(lParam);
        reflected = WM_REFLECT_BASE + WM_CTLCOLOR;
    } else if (message == WM_DRAWITEM) {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (dis != nullptr && dis->CtlType != ODT_MENU)
            hChild = dis->hwndItem;
        reflected = WM_REFLECT_BASE + WM_DRAWITEM;
    }
    if (hChild == nullptr || hChild == m_hWnd)
        return FALSE;
    CWnd* pChild = FromHandlePermanent(hChild);
    if (pChild == nullptr)
        return FALSE;
    LRESULT result = 0;
    if (!pChild->ProcessWindowMessage(reflected, wParam, lParam, result))
        return FALSE;
    // A control-colour answer of no brush means "not handled": let the default run.
    if (reflected == WM_REFLECT_BASE + WM_CTLCOLOR && result == 0)
        return FALSE;
    *pResult = result;
    return TRUE;
}

void CWnd::OnFinalNcDestroy()
{
    if (IsMainWindow(this))
        AfxGetApp()->m_pMainWnd = nullptr;
    if (m_pfnSuper != nullptr)
        UnsubclassWindow();
    else
        Detach();
    PostNcDestroy();
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD style = GetExStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect) + 1);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    CCurrentMessageScope scope(hWnd, message, wParam, lParam);
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        pWnd->OnFinalNcDestroy();
    return result;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
    }
    return FALSE;
}

CCurrentMessageScope::CCurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    : m_saved(t_currentMessage)
{
    t_currentMessage = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
}

CCurrentMessageScope::~CCurrentMessageScope() { t_currentMessage = m_saved; }
