// The tray icon on the real panel, driven through the panel tests' harness: the icon's life
// in Wine's shell from start to each way of ending, and what its clicks do.
#include "PanelHarness.h"
#include "panel/PanelMessages.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/support/UsbDevice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Whether the shell holds the panel's icon: it modifies only icons it knows.
bool ShellHasPanelIcon(HWND panel)
{
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = panel;
    probe.uID = 128;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// Wine's shell drops a window's icons as the window is destroyed, which Windows does not:
// whether the panel left its icon behind shows only while it is being destroyed.
struct DestroyProbe {
    bool seen = false;
    bool iconPresent = false;
};
DestroyProbe g_destroy;

// Called once the panel has handled WM_DESTROY; its window still exists then.
LRESULT CALLBACK ProbeAtDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_DESTROY && ::GetDlgItem(sent->hwnd, IDC_LBL_OS_VERSION) != nullptr) {
        g_destroy.seen = true;
        g_destroy.iconPresent = ShellHasPanelIcon(sent->hwnd);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class IconAtDestroy {
public:
    IconAtDestroy()
    {
        g_destroy = DestroyProbe{};
        m_hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, ProbeAtDestroy, nullptr, ::GetCurrentThreadId());
    }
    ~IconAtDestroy() { ::UnhookWindowsHookEx(m_hook); }
    IconAtDestroy(const IconAtDestroy&) = delete;
    IconAtDestroy& operator=(const IconAtDestroy&) = delete;

private:
    HHOOK m_hook;
};

// Whatever the initialisation posted to the panel has been handled before a test looks.
void AwaitInitialisation(PanelHarness& h)
{
    h.Flush();
}

TEST(PanelTray, ExitWhileHiddenRemovesTheIconAndEnds)
{
    PanelHarness h;
    IconAtDestroy probe;  // the panel runs on this thread
    HWND panelSeen = nullptr;
    bool iconWhileRunning = false;
    const INT_PTR result = h.Run([&](CKestrunDlg&, HWND panel) {
        AwaitInitialisation(h);
        panelSeen = panel;
        iconWhileRunning = ShellHasPanelIcon(panel);
        ::SendMessageA(panel, WM_TRAY_NOTIFY, 128, WM_LBUTTONDOWN);
        ::SendMessageA(panel, WM_TRAY_NOTIFY, 128, WM_LBUTTONDOWN);
        EXPECT_FALSE(::IsWindowVisible(panel));
        // The harness then chooses Exit.
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(iconWhileRunning);
    ASSERT_NE(nullptr, panelSeen);
    EXPECT_FALSE(::IsWindow(panelSeen));
    EXPECT_TRUE(g_destroy.seen);
    EXPECT_FALSE(g_destroy.iconPresent);
}

TEST(PanelTray, ExitChosenFromTheTrayMenu)
{
    PanelHarness h;
    IconAtDestroy probe;
    HWND panelSeen = nullptr;
    const INT_PTR result = h.Run([&](CKestrunDlg&, HWND panel) {
        AwaitInitialisation(h);
        panelSeen = panel;
        // Where the menu opens is TrayIconTest's to check: the menu activates the panel, and
        // Wine then re-reads the pointer from the X server, where a pointer left by an earlier
        // program may still be.
        ::PostMessageA(panel, WM_TRAY_NOTIFY, 128, WM_RBUTTONDOWN);
        HWND menu = nullptr;
        for (int i = 0; i < 500 && (menu == nullptr || !::IsWindowVisible(menu)); ++i) {
            ::Sleep(10);
            menu = ::FindWindowA("#32768", nullptr);
        }
        ASSERT_NE(nullptr, menu);
        // Second item, "Exit", from the keyboard.
        ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        for (int i = 0; i < 500 && ::IsWindow(panel); ++i)
            ::Sleep(10);
        EXPECT_FALSE(::IsWindow(panel));  // ended by the menu, before the harness's own Exit
    });
    EXPECT_EQ(IDOK, result);
    ASSERT_NE(nullptr, panelSeen);
    EXPECT_TRUE(g_destroy.seen);
    EXPECT_FALSE(g_destroy.iconPresent);
}

// A restarted shell has no icons; the panel adds its own again when told.
TEST(PanelTray, TaskbarCreatedAddsTheIconAgain)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg&, HWND panel) {
        AwaitInitialisation(h);
        ASSERT_TRUE(ShellHasPanelIcon(panel));
        NOTIFYICONDATAA lost{};
        lost.cbSize = sizeof(lost);
        lost.hWnd = panel;
        lost.uID = 128;
        ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &lost));
        ASSERT_FALSE(ShellHasPanelIcon(panel));

        const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
        ASSERT_NE(0u, taskbarCreated);
        EXPECT_EQ(taskbarCreated, CKestrunDlg::TaskbarCreatedMessage());
        ::SendMessageA(panel, taskbarCreated, 0, 0);
        EXPECT_TRUE(ShellHasPanelIcon(panel));
        // Hidden panels hear it too.
        ::ShowWindow(panel, SW_HIDE);
        EXPECT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &lost));
        ::SendMessageA(panel, taskbarCreated, 0, 0);
        EXPECT_TRUE(ShellHasPanelIcon(panel));
        // WM_NULL, which the harness and EndDialog use, adds nothing.
        EXPECT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &lost));
        EXPECT_FALSE(ShellHasPanelIcon(panel));
        ::SendMessageA(panel, WM_NULL, 0, 0);
        EXPECT_FALSE(ShellHasPanelIcon(panel));
        ::SendMessageA(panel, taskbarCreated, 0, 0);
    });
}


TEST(PanelTray, AbsentDeviceEndsWithoutLeavingTheIcon)
{
    IconAtDestroy probe;
    INT_PTR result = 0;
    {
        paneltest::UsbDeviceUnplugged absent;
        ASSERT_TRUE(absent.Ok());
        PanelRunOptions options;
        options.endsAtStartup = true;
        PanelHarness h(options);
        result = h.Run([&](CKestrunDlg&, HWND) {});
    }
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(g_destroy.seen);
    EXPECT_FALSE(g_destroy.iconPresent);
}

TEST(PanelTray, SystemCloseEndsWithoutLeavingTheIcon)
{
    PanelHarness h;
    IconAtDestroy probe;
    const INT_PTR result = h.Run([&](CKestrunDlg&, HWND panel) {
        AwaitInitialisation(h);
        EXPECT_TRUE(ShellHasPanelIcon(panel));
        ::SendMessageA(panel, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (int i = 0; i < 500 && ::IsWindow(panel); ++i)
            ::Sleep(10);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(g_destroy.seen);
    EXPECT_FALSE(g_destroy.iconPresent);
}

// Below the product's name the tip says what the panel shows, and follows each change, whether
// the panel made it or it came from elsewhere.
TEST(PanelTray, TheTipFollowsAFormatChangeAndAMute)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        AwaitInitialisation(h);
        h.Flush();  // the tip's update, posted once the start-up settled
        auto tip = [&] { return std::wstring(dlg.m_trayIconData.szTip); };
        const std::wstring top = L"Lumirel USB Audio Device\n";
        EXPECT_EQ(tip(), top + L"S/PDIF \x00B7 16-bit / 44.1 kHz \x00B7 80 %");

        ::SendMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_RATE_96K, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(panel, IDC_RATE_96K)));
        ASSERT_TRUE(h.WaitForDriverCallbacks(1));
        h.Flush();  // the driver's event, then the update it posted
        h.Flush();
        EXPECT_EQ(tip(), top + L"S/PDIF \x00B7 16-bit / 96 kHz \x00B7 80 %");

        CoreAudioSim::SetMute(L"SPDIF Interface (Lumirel USB Audio Device)", true, MixerContext());
        h.SettleAudio();
        h.Flush();
        EXPECT_EQ(tip(), top + L"S/PDIF \x00B7 16-bit / 96 kHz \x00B7 muted");
        EXPECT_TRUE(ShellHasPanelIcon(panel));  // the shell took every rewrite of the record
        EXPECT_EQ(0u, dlg.m_trayIconData.uVersion);  // the version goes with its own call only
    });
}

// Win+B, the arrows and Enter or Space: the same rule as a left click, and the panel is
// activated so that a screen reader lands on it. A click's own NIN_SELECT does not act again.
TEST(PanelTray, TheKeyboardSelectionTogglesThePanelAndAClickActsOnce)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg&, HWND panel) {
        AwaitInitialisation(h);
        auto notify = [&](std::initializer_list<UINT> messages) {
            for (UINT message : messages)
                EXPECT_EQ(1, ::SendMessageA(panel, WM_TRAY_NOTIFY, 128, message));
            return ::IsWindowVisible(panel) != FALSE;
        };
        // Enter: the shell sends two, which act once. Shown already: the flag now says "shown".
        EXPECT_TRUE(notify({NIN_KEYSELECT, NIN_KEYSELECT}));
        ::Sleep(::GetDoubleClickTime() + 50);  // a later press, not the same one
        EXPECT_FALSE(notify({NIN_KEYSELECT}));
        ::Sleep(::GetDoubleClickTime() + 50);
        EXPECT_TRUE(notify({NIN_KEYSELECT}));
        EXPECT_EQ(panel, ::GetForegroundWindow());
        EXPECT_FALSE(notify({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}));
        EXPECT_TRUE(notify({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}));
        EXPECT_FALSE(notify({NIN_SELECT}));  // a shell that reports the keyboard's selection so
    });
}

}  // namespace
