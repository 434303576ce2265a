// The framework's modal loop against Windows' own (Wine's DialogBoxIndirectParamA, in the
// same process, on the same templates and the same owner): every case runs both, and the
// framework must show what the dialog manager shows, except where framework/README.md says
// it departs on purpose.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/afxwin.h"
#include "FrameworkTestIds.h"

namespace {

constexpr UINT WM_OPEN_INNER = WM_APP + 20;
constexpr WPARAM kQuitCode = 42;

enum class Impl { Framework, Windows };
enum class Script {
    EndInInit,               // OK from the initialisation
    OkWhileOpen,             // OK once the box shows
    QuitWhileInnerOpen,      // WM_QUIT while a second box, opened from the first, runs
    EndOuterWhileInnerOpen,  // the first box ends itself while the second one runs
};

enum Field {
    Result,                    // what the modal call returned
    EverShown,                 // the box was shown at any moment, if only for a flash
    VisibleWhileOpen,          // the box is visible while its loop waits
    OwnedByOwner,              // GW_OWNER of the box
    OwnerDisabledWhileOpen,    // the owner takes no input meanwhile
    InnerOpenAfterOuterEnded,  // ending the first box leaves the second one running
    OwnerEnabledAfter,
    OwnerActiveAfter,          // activation returned to the owner, not elsewhere
    QuitReposted,              // wParam of the WM_QUIT left in the queue, 0 for none
    kFieldCount
};
constexpr const char* kFieldNames[kFieldCount] = {
    "result", "ever shown", "visible while open", "owned by the owner", "owner disabled while open",
    "inner box open after the outer one ended", "owner enabled after", "owner active after", "WM_QUIT re-posted"};
using Observed = std::array<long long, kFieldCount>;

std::set<HWND> g_shown;  // UI thread only: the hook runs there

LRESULT CALLBACK ShowHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if ((cwp->message == WM_SHOWWINDOW && cwp->wParam) ||
            (cwp->message == WM_WINDOWPOSCHANGING &&
             (reinterpret_cast<const WINDOWPOS*>(cwp->lParam)->flags & SWP_SHOWWINDOW)))
            g_shown.insert(cwp->hwnd);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct RunState {
    Script script;
    std::atomic<HWND> box{nullptr};
    std::atomic<HWND> inner{nullptr};
};

bool OpensInner(Script s) { return s == Script::QuitWhileInnerOpen || s == Script::EndOuterWhileInnerOpen; }

// The framework's side.
class CProbeDlg : public CDialog {
public:
    CProbeDlg(UINT id, CWnd* pOwner, RunState& run, bool inner) : CDialog(id, pOwner), m_run(run), m_inner(inner) {}

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        (m_inner ? m_run.inner : m_run.box) = m_hWnd;
        if (!m_inner && m_run.script == Script::EndInInit)
            OnOK();
        return TRUE;
    }
    LRESULT OnOpenInner(WPARAM, LPARAM)
    {
        CProbeDlg inner(IDD_TEST_HIDDEN, this, m_run, true);
        inner.DoModal();
        return 0;
    }
    BEGIN_MSG_MAP(CProbeDlg)
        MESSAGE_HANDLER(WM_OPEN_INNER, OnOpenInner)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()

private:
    RunState& m_run;
    bool m_inner;
};

// Windows' side: the same script in a dialog procedure.
struct ProcContext {
    RunState* run;
    bool inner;
};

LPCDLGTEMPLATEA Template(UINT id)
{
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    return static_cast<LPCDLGTEMPLATEA>(::LockResource(::LoadResource(hInst, hRes)));
}

INT_PTR CALLBACK ProbeProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
        auto* ctx = reinterpret_cast<ProcContext*>(lParam);
        (ctx->inner ? ctx->run->inner : ctx->run->box) = hDlg;
        if (!ctx->inner && ctx->run->script == Script::EndInInit)
            ::EndDialog(hDlg, IDOK);
        return TRUE;
    }
    case WM_OPEN_INNER: {
        auto* ctx = reinterpret_cast<ProcContext*>(::GetWindowLongPtrA(hDlg, DWLP_USER));
        ProcContext inner{ctx->run, true};
        ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), Template(IDD_TEST_HIDDEN), hDlg, ProbeProc,
                                  reinterpret_cast<LPARAM>(&inner));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

HWND WaitVisible(const std::atomic<HWND>& w)
{
    for (int i = 0; i < 300; ++i, ::Sleep(10)) {
        HWND h = w.load();
        if (h != nullptr && ::IsWindowVisible(h))
            return h;
    }
    return w.load();
}

Observed RunOnce(Impl impl, UINT templ, Script script, HWND hOwner)
{
    Observed o{};
    RunState run;
    run.script = script;
    g_shown.clear();
    ::SetForegroundWindow(hOwner);
    ::SetActiveWindow(hOwner);
    const DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> done{false};

    // Watches and ends the box from outside, as the user or another thread would.
    std::thread probe([&] {
        if (script == Script::EndInInit)
            return;
        HWND box = WaitVisible(run.box);
        o[VisibleWhileOpen] = box != nullptr && ::IsWindowVisible(box);
        o[OwnedByOwner] = box != nullptr && ::GetWindow(box, GW_OWNER) == hOwner;
        o[OwnerDisabledWhileOpen] = !::IsWindowEnabled(hOwner);
        HWND target = box;
        if (OpensInner(script)) {
            ::PostMessageA(box, WM_OPEN_INNER, 0, 0);
            target = WaitVisible(run.inner);
        }
        switch (script) {
        case Script::OkWhileOpen:
            ::PostMessageA(target, WM_COMMAND, IDOK, 0);
            break;
        case Script::QuitWhileInnerOpen:
            ::PostThreadMessageA(uiThread, WM_QUIT, kQuitCode, 0);
            break;
        case Script::EndOuterWhileInnerOpen:
            ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            ::Sleep(300);
            o[InnerOpenAfterOuterEnded] = ::IsWindow(target) && ::IsWindowVisible(target);
            ::PostMessageA(target, WM_COMMAND, IDOK, 0);
            break;
        default:
            break;
        }
        // A box that did not end as it should is ended with another code, so that the
        // result shows it instead of a hang.
        for (int i = 0; i < 300 && !done; ++i)
            ::Sleep(10);
        if (!done) {
            ::PostMessageA(run.inner.load(), WM_COMMAND, IDOK, 0);
            ::PostMessageA(box, WM_COMMAND, IDIGNORE, 0);
        }
    });

    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, ShowHook, nullptr, uiThread);
    if (impl == Impl::Framework) {
        CWnd owner;
        owner.Attach(hOwner);
        CProbeDlg dlg(templ, &owner, run, false);
        o[Result] = dlg.DoModal();
        owner.Detach();
    } else {
        ProcContext ctx{&run, false};
        o[Result] = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), Template(templ), hOwner, ProbeProc,
                                              reinterpret_cast<LPARAM>(&ctx));
    }
    done = true;
    ::UnhookWindowsHookEx(hook);
    o[EverShown] = g_shown.count(run.box.load()) != 0;
    o[OwnerEnabledAfter] = ::IsWindowEnabled(hOwner) != FALSE;
    o[OwnerActiveAfter] = ::GetActiveWindow() == hOwner;
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        o[QuitReposted] = static_cast<long long>(msg.wParam);
    probe.join();
    // Windows leaves the owner disabled after a WM_QUIT; the next case starts afresh.
    ::EnableWindow(hOwner, TRUE);
    return o;
}

struct Case {
    const char* name;
    UINT templ;
    Script script;
    std::vector<std::pair<Field, long long>> reference;     // what Windows shows (README's claims)
    std::vector<std::pair<Field, long long>> frameworkOwn;  // where the framework departs on purpose
};

TEST(ModalLoopVsWindows, TheFrameworkShowsWhatTheDialogManagerShows)
{
    const Case cases[] = {
        {"OK from the initialisation, hidden template", IDD_TEST_HIDDEN, Script::EndInInit,
         {{Result, IDOK}, {EverShown, 0}, {OwnerEnabledAfter, 1}}, {}},
        // The dialog manager shows a visible template after WM_INITDIALOG even when the
        // initialisation has ended it; the panel must not flash when it ends at start-up.
        {"OK from the initialisation, visible template", IDD_TEST, Script::EndInInit,
         {{Result, IDOK}, {EverShown, 1}, {OwnerEnabledAfter, 1}}, {{EverShown, 0}}},
        {"OK once shown, hidden template", IDD_TEST_HIDDEN, Script::OkWhileOpen,
         {{Result, IDOK}, {EverShown, 1}, {VisibleWhileOpen, 1}, {OwnedByOwner, 1}, {OwnerDisabledWhileOpen, 1},
          {OwnerEnabledAfter, 1}, {OwnerActiveAfter, 1}, {QuitReposted, 0}},
         {}},
        // Windows ends both boxes without EndDialog: the result is whatever was stored last
        // and the owner stays disabled. The framework returns -1 and gives the owner back
        // and activates it, as the application framework does.
        {"WM_QUIT while a nested box runs", IDD_TEST_HIDDEN, Script::QuitWhileInnerOpen,
         {{VisibleWhileOpen, 1}, {OwnerDisabledWhileOpen, 1}, {OwnerEnabledAfter, 0}, {QuitReposted, kQuitCode}},
         {{Result, -1}, {OwnerEnabledAfter, 1}, {OwnerActiveAfter, 1}}},
        {"the box ends itself while a nested box runs", IDD_TEST_HIDDEN, Script::EndOuterWhileInnerOpen,
         {{Result, IDCANCEL}, {VisibleWhileOpen, 1}, {InnerOpenAfterOuterEnded, 1}, {OwnerEnabledAfter, 1},
          {OwnerActiveAfter, 1}},
         {}},
    };

    HWND hOwner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hOwner, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Observed windows = RunOnce(Impl::Windows, c.templ, c.script, hOwner);
        Observed framework = RunOnce(Impl::Framework, c.templ, c.script, hOwner);
        for (const auto& [field, value] : c.reference)
            EXPECT_EQ(windows[field], value) << "Windows: " << kFieldNames[field];
        for (int f = 0; f < kFieldCount; ++f) {
            long long expected = windows[f];
            for (const auto& [field, value] : c.frameworkOwn)
                if (field == f)
                    expected = value;
            EXPECT_EQ(framework[f], expected) << "framework: " << kFieldNames[f];
        }
    }
    ::DestroyWindow(hOwner);
}

}  // namespace
