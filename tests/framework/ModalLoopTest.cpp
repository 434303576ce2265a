// The framework's modal loop against Windows' own (Wine's DialogBoxIndirectParamA, in the
// same process, on the same templates and the same owner): every case runs both, and the
// framework must show what the dialog manager shows, except where framework/README.md says
// it departs on purpose. The box a case opens from inside the first one is a second dialog
// of the same kind or a real message box (MessageBoxA, or the framework's AfxMessageBox
// with the first box as the main window, as the panel's driver warnings are).
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
#include "tests/support/DialogWindows.h"

namespace {

constexpr UINT WM_OPEN_INNER = WM_APP + 20;  // wParam: the Inner to open
constexpr UINT WM_PING = WM_APP + 21;
constexpr WPARAM kQuitCode = 42;

enum class Impl { Framework, Windows };  // what runs the first box and a nested dialog
enum class Inner { Dialog, MessageBox, AfxMessageBox };
enum class Script {
    EndInInit,               // OK from the initialisation
    OkWhileOpen,             // OK once the box shows
    QuitWhileInnerOpen,      // WM_QUIT while a second box, opened from the first, runs
    EndOuterWhileInnerOpen,  // the first box ends itself while the second one runs
    OkInnerThenOuter,        // OK in the second box, then in the first
    WarnWhileNestedOpen,     // a nested dialog runs; the first box raises a message box for itself
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
    InnerOwner,                // GW_OWNER of the last box opened: 1 the first box, 2 the nested dialog
    BoxDisabledWhileInner,     // the first box takes no input while the last one is open
    PostedHandledInsideInner,  // a message posted to the first box is handled while the last one is open
    InnerResult,               // what the call that opened the last box returned
    BoxEnabledAfterInner,      // once the last box has returned
    BoxActiveAfterInner,
    kFieldCount
};
constexpr const char* kFieldNames[kFieldCount] = {
    "result", "ever shown", "visible while open", "owned by the owner", "owner disabled while open",
    "inner box open after the outer one ended", "owner enabled after", "owner active after", "WM_QUIT re-posted",
    "owner of the last box", "first box disabled while the last is open",
    "posted message handled inside the last box's loop", "result of the last box",
    "first box enabled after the last returned", "first box active after the last returned"};
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
    std::atomic<HWND> inner{nullptr};    // a second dialog
    std::atomic<HWND> lastBox{nullptr};  // the last box opened, once the probe has seen it
    std::atomic<int> pingSeen{-1};       // -1 until handled, then whether the last box was open
    Observed* o = nullptr;               // the "after" fields, written by the first inner call to return
    bool afterTaken = false;
};

bool OpensInner(Script s) { return s != Script::EndInInit && s != Script::OkWhileOpen; }

void OnPing(RunState& run) { run.pingSeen = ::IsWindowVisible(run.lastBox.load()) ? 1 : 0; }

// Runs on the UI thread from the first box's handler, around every inner call.
void RecordAfterInner(RunState& run, HWND box, long long result)
{
    if (run.afterTaken)
        return;
    run.afterTaken = true;
    (*run.o)[InnerResult] = result;
    (*run.o)[BoxEnabledAfterInner] = ::IsWindowEnabled(box) != FALSE;
    (*run.o)[BoxActiveAfterInner] = ::GetActiveWindow() == box;
}

// A message box raised for the first box, which is the main window meanwhile as the panel is.
int OpenMessageBox(Inner kind, HWND box, CWnd* pMain)
{
    CWinApp* app = AfxGetApp();
    CWnd* previous = app->m_pMainWnd;
    app->m_pMainWnd = pMain;
    int result = kind == Inner::AfxMessageBox ? AfxMessageBox("probe warning", MB_OK)
                                              : ::MessageBoxA(box, "probe warning", "probe", MB_OK);
    app->m_pMainWnd = previous;
    return result;
}

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
    LRESULT OnOpenInner(WPARAM kind, LPARAM)
    {
        long long result;
        if (static_cast<Inner>(kind) == Inner::Dialog) {
            CProbeDlg inner(IDD_TEST_HIDDEN, this, m_run, true);
            result = inner.DoModal();
        } else {
            result = OpenMessageBox(static_cast<Inner>(kind), m_hWnd, this);
        }
        RecordAfterInner(m_run, m_hWnd, result);
        return 0;
    }
    LRESULT OnPing(WPARAM, LPARAM)
    {
        ::OnPing(m_run);
        return 0;
    }
    BEGIN_MSG_MAP(CProbeDlg)
        MESSAGE_HANDLER(WM_OPEN_INNER, OnOpenInner)
        MESSAGE_HANDLER(WM_PING, OnPing)
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
        long long result;
        if (static_cast<Inner>(wParam) == Inner::Dialog) {
            ProcContext inner{ctx->run, true};
            result = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), Template(IDD_TEST_HIDDEN), hDlg,
                                               ProbeProc, reinterpret_cast<LPARAM>(&inner));
        } else {
            // The framework's object for the dialog manager's box, so that it can be the main window.
            CWnd main;
            main.Attach(hDlg);
            result = OpenMessageBox(static_cast<Inner>(wParam), hDlg, &main);
            main.Detach();
        }
        RecordAfterInner(*ctx->run, hDlg, result);
        return TRUE;
    }
    case WM_PING:
        OnPing(*reinterpret_cast<ProcContext*>(::GetWindowLongPtrA(hDlg, DWLP_USER))->run);
        return TRUE;
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

// A message box is the thread's visible dialog-class window that is none of the probe's dialogs.
HWND WaitMessageBox(DWORD thread, HWND box, HWND inner)
{
    for (int i = 0; i < 300; ++i, ::Sleep(10)) {
        for (HWND h : paneltest::VisibleDialogs(thread))
            if (h != box && h != inner)
                return h;
    }
    return nullptr;
}

Observed RunOnce(Impl impl, UINT templ, Script script, Inner last, HWND hOwner)
{
    Observed o{};
    RunState run;
    run.script = script;
    run.o = &o;
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
            HWND nested = nullptr;
            if (script == Script::WarnWhileNestedOpen) {
                ::PostMessageA(box, WM_OPEN_INNER, static_cast<WPARAM>(Inner::Dialog), 0);
                nested = WaitVisible(run.inner);
            }
            ::PostMessageA(box, WM_OPEN_INNER, static_cast<WPARAM>(last), 0);
            target = last == Inner::Dialog ? WaitVisible(run.inner) : WaitMessageBox(uiThread, box, nested);
            run.lastBox = target;
            HWND owner = ::GetWindow(target, GW_OWNER);
            o[InnerOwner] = owner == nullptr ? 0 : owner == box ? 1 : owner == nested ? 2 : 3;
            o[BoxDisabledWhileInner] = !::IsWindowEnabled(box);
            ::PostMessageA(box, WM_PING, 0, 0);
            for (int i = 0; i < 300 && run.pingSeen < 0; ++i)
                ::Sleep(10);
            o[PostedHandledInsideInner] = run.pingSeen.load();
        }
        switch (script) {
        case Script::OkWhileOpen:
            ::PostMessageA(target, WM_COMMAND, IDOK, 0);
            break;
        case Script::OkInnerThenOuter:
        case Script::WarnWhileNestedOpen:
            ::PostMessageA(target, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 300 && ::IsWindow(target); ++i)  // the second box has ended
                ::Sleep(10);
            if (script == Script::WarnWhileNestedOpen)
                ::PostMessageA(run.inner.load(), WM_COMMAND, IDOK, 0);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            break;
        case Script::QuitWhileInnerOpen:
            ::PostThreadMessageA(uiThread, WM_QUIT, kQuitCode, 0);
            break;
        case Script::EndOuterWhileInnerOpen:
            ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            // Posted after the cancel: once the ping is handled, so was the cancel.
            run.pingSeen = -1;
            ::PostMessageA(box, WM_PING, 0, 0);
            for (int i = 0; i < 300 && run.pingSeen < 0; ++i)
                ::Sleep(10);
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
            ::PostMessageA(run.lastBox.load(), WM_COMMAND, IDOK, 0);
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
    Inner last;
    std::vector<std::pair<Field, long long>> reference;     // what Windows shows (README's claims)
    std::vector<std::pair<Field, long long>> frameworkOwn;  // where the framework departs on purpose
};

TEST(ModalLoopVsWindows, TheFrameworkShowsWhatTheDialogManagerShows)
{
    const Case cases[] = {
        {"OK from the initialisation, hidden template", IDD_TEST_HIDDEN, Script::EndInInit, Inner::Dialog,
         {{Result, IDOK}, {EverShown, 0}, {OwnerEnabledAfter, 1}}, {}},
        // The dialog manager shows a visible template after WM_INITDIALOG even when the
        // initialisation has ended it; the panel must not flash when it ends at start-up.
        {"OK from the initialisation, visible template", IDD_TEST, Script::EndInInit, Inner::Dialog,
         {{Result, IDOK}, {EverShown, 1}, {OwnerEnabledAfter, 1}}, {{EverShown, 0}}},
        {"OK once shown, hidden template", IDD_TEST_HIDDEN, Script::OkWhileOpen, Inner::Dialog,
         {{Result, IDOK}, {EverShown, 1}, {VisibleWhileOpen, 1}, {OwnedByOwner, 1}, {OwnerDisabledWhileOpen, 1},
          {OwnerEnabledAfter, 1}, {OwnerActiveAfter, 1}, {QuitReposted, 0}},
         {}},
        // Windows ends both boxes without EndDialog: the result is whatever was stored last
        // and the owner stays disabled. The framework returns -1 and gives the owner back
        // and activates it, as the application framework does.
        {"WM_QUIT while a nested box runs", IDD_TEST_HIDDEN, Script::QuitWhileInnerOpen, Inner::Dialog,
         {{VisibleWhileOpen, 1}, {OwnerDisabledWhileOpen, 1}, {OwnerEnabledAfter, 0}, {QuitReposted, kQuitCode},
          {BoxEnabledAfterInner, 0}},
         {{Result, -1}, {OwnerEnabledAfter, 1}, {OwnerActiveAfter, 1}, {InnerResult, -1}, {BoxEnabledAfterInner, 1},
          {BoxActiveAfterInner, 1}}},
        {"the box ends itself while a nested box runs", IDD_TEST_HIDDEN, Script::EndOuterWhileInnerOpen, Inner::Dialog,
         {{Result, IDCANCEL}, {VisibleWhileOpen, 1}, {InnerOpenAfterOuterEnded, 1}, {OwnerEnabledAfter, 1},
          {OwnerActiveAfter, 1}},
         {}},
        // The panel's driver warnings: the message box's loop handles what is posted to the box
        // meanwhile, which is how one default change could stack warnings.
        {"OK in a message box opened from the box", IDD_TEST_HIDDEN, Script::OkInnerThenOuter, Inner::MessageBox,
         {{Result, IDOK}, {InnerOwner, 1}, {BoxDisabledWhileInner, 1}, {PostedHandledInsideInner, 1},
          {InnerResult, IDOK}, {BoxEnabledAfterInner, 1}, {BoxActiveAfterInner, 1}, {OwnerEnabledAfter, 1},
          {OwnerActiveAfter, 1}},
         {}},
        {"OK in the framework's message box opened from the box", IDD_TEST_HIDDEN, Script::OkInnerThenOuter,
         Inner::AfxMessageBox,
         {{Result, IDOK}, {InnerOwner, 1}, {BoxDisabledWhileInner, 1}, {PostedHandledInsideInner, 1},
          {InnerResult, IDOK}, {BoxEnabledAfterInner, 1}, {BoxActiveAfterInner, 1}, {OwnerEnabledAfter, 1},
          {OwnerActiveAfter, 1}},
         {}},
        // The message box ends without EndDialog and leaves the box disabled, as a dialog does;
        // the framework's loop then ends as in the nested-dialog case, but does not activate the
        // owner: the box was no longer the active window.
        {"WM_QUIT while a message box runs", IDD_TEST_HIDDEN, Script::QuitWhileInnerOpen, Inner::MessageBox,
         {{InnerOwner, 1}, {BoxDisabledWhileInner, 1}, {PostedHandledInsideInner, 1}, {BoxEnabledAfterInner, 0},
          {QuitReposted, kQuitCode}, {OwnerEnabledAfter, 0}, {OwnerActiveAfter, 0}},
         {{Result, -1}, {OwnerEnabledAfter, 1}}},
        // A warning while the about box runs. The dialog manager enables a message box's owner
        // when it ends, so a box owned by the first one gives it back while the nested dialog
        // still runs; the framework's message box is owned by the main window's last active
        // pop-up instead, and the first box stays disabled.
        {"a message box for the box while a nested dialog runs", IDD_TEST_HIDDEN, Script::WarnWhileNestedOpen,
         Inner::MessageBox, {{InnerOwner, 1}, {PostedHandledInsideInner, 1}, {BoxEnabledAfterInner, 1}}, {}},
        {"the framework's message box while a nested dialog runs", IDD_TEST_HIDDEN, Script::WarnWhileNestedOpen,
         Inner::AfxMessageBox,
         {{InnerOwner, 2}, {BoxDisabledWhileInner, 1}, {PostedHandledInsideInner, 1}, {InnerResult, IDOK},
          {BoxEnabledAfterInner, 0}, {Result, IDOK}, {OwnerEnabledAfter, 1}},
         {}},
    };

    HWND hOwner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hOwner, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Observed windows = RunOnce(Impl::Windows, c.templ, c.script, c.last, hOwner);
        Observed framework = RunOnce(Impl::Framework, c.templ, c.script, c.last, hOwner);
        for (const auto& [field, value] : c.reference)
            EXPECT_EQ(windows[field], value) << "in the dialog manager's loop: " << kFieldNames[field];
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
