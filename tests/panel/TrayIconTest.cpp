// The tray icon's record, its life in Wine's shell, and the click logic, on a plain
// top-level window standing in for the panel.
#include "panel/TrayIcon.h"
#include "res/resource.h"
#include "tests/support/Pointer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kWindowClass[] = "KestrunTrayTestWindow";

std::vector<WPARAM> g_commands;  // WM_COMMAND wParams the stand-in panel received

LRESULT CALLBACK StandInProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        g_commands.push_back(wParam);
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = StandInProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kWindowClass;
        ::RegisterClassA(&wc);
        // Shown at start, as the panel's template is.
        m_hWnd = ::CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "panel", WS_POPUP | WS_VISIBLE, 10, 10, 100, 60,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_hWnd, nullptr);
        g_commands.clear();
    }
    void TearDown() override
    {
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
    }

    static void Pump()
    {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }

    // Whether the shell holds an icon for this record: it modifies only icons it knows.
    static bool ShellHasIcon(const NOTIFYICONDATAW& data)
    {
        NOTIFYICONDATAW probe = data;
        probe.uFlags = 0;
        return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
    }

    HWND m_hWnd = nullptr;
};

bool AllZero(const void* p, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

TEST_F(TrayTest, RecordHoldsExactlyTheFieldsTheShellReads)
{
    NOTIFYICONDATAW data;
    std::memset(&data, 0xCC, sizeof(data));  // a reused record must not leak old bytes
    FillTrayIconData(data, m_hWnd, ::GetModuleHandleA(nullptr));

    EXPECT_EQ(sizeof(NOTIFYICONDATAW), data.cbSize);  // the full wide record, balloon-icon handle included
    EXPECT_EQ(976u, data.cbSize);
    EXPECT_EQ(m_hWnd, data.hWnd);
    EXPECT_EQ(128u, data.uID);
    EXPECT_EQ(7u, data.uFlags);
    EXPECT_EQ(0x467u, data.uCallbackMessage);
    EXPECT_NE(nullptr, data.hIcon);
    EXPECT_EQ(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128)), data.hIcon);
    EXPECT_STREQ(L"Lumirel USB Audio Device", data.szTip);
    const size_t tipLength = std::wcslen(data.szTip);
    EXPECT_TRUE(AllZero(data.szTip + tipLength, sizeof(data.szTip) - tipLength * sizeof(wchar_t)));
    const auto* afterTip = reinterpret_cast<const unsigned char*>(&data.dwState);
    EXPECT_TRUE(AllZero(afterTip, reinterpret_cast<const unsigned char*>(&data + 1) - afterTip));
}

TEST_F(TrayTest, IconLivesFromAddToDeleteAndASecondAddIsRefused)
{
    NOTIFYICONDATAW data;
    FillTrayIconData(data, m_hWnd, ::GetModuleHandleA(nullptr));
    EXPECT_FALSE(ShellHasIcon(data));
    EXPECT_TRUE(NotifyTrayIcon(NIM_ADD, data));
    EXPECT_TRUE(ShellHasIcon(data));
    // The panel's start-up adds it twice with identical data.
    EXPECT_FALSE(NotifyTrayIcon(NIM_ADD, data));
    EXPECT_TRUE(ShellHasIcon(data));
    EXPECT_TRUE(NotifyTrayIcon(NIM_DELETE, data));
    EXPECT_FALSE(ShellHasIcon(data));
    // After a shell restart the same record brings it back.
    EXPECT_TRUE(NotifyTrayIcon(NIM_ADD, data));
    EXPECT_TRUE(ShellHasIcon(data));
    EXPECT_TRUE(NotifyTrayIcon(NIM_DELETE, data));
}

enum class Step {
    IconLeftClick, OtherIconLeftClick, PowerHide, MenuShow, OtherMouseMessages,
    ShellClick,        // what the shell sends from version 3 on: down, up, NIN_SELECT
    ShellDoubleClick,  // down, up, NIN_SELECT, double click, up, NIN_SELECT
    KeySelect,         // Space: NIN_KEYSELECT
    EnterKey,          // Enter: NIN_KEYSELECT twice, at once
    KeyNinSelect,      // a keyboard selection some shells report as NIN_SELECT alone
};

const UINT kOtherMouseMessages[] = {WM_LBUTTONUP,   WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_MBUTTONDOWN,
                                    WM_RBUTTONUP,   WM_RBUTTONDBLCLK, 0};

struct ToggleCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<bool> visibleAfter;
    std::vector<bool> flagAfter;
};

TEST_F(TrayTest, LeftClickTogglesByTheFlagNotByVisibility)
{
    const ToggleCase cases[] = {
        {"right after start", {Step::IconLeftClick, Step::IconLeftClick, Step::IconLeftClick, Step::IconLeftClick},
         {true, false, true, false}, {true, false, true, false}},
        {"after a power-button hide",
         {Step::IconLeftClick, Step::PowerHide, Step::IconLeftClick, Step::IconLeftClick},
         {true, false, false, true}, {true, true, false, true}},
        {"menu show while shown, then clicks",
         {Step::MenuShow, Step::IconLeftClick, Step::MenuShow, Step::IconLeftClick},
         {true, true, true, false}, {false, true, true, false}},
        {"another icon's clicks and other mouse messages",
         {Step::OtherIconLeftClick, Step::OtherMouseMessages, Step::IconLeftClick, Step::OtherIconLeftClick,
          Step::OtherMouseMessages, Step::IconLeftClick},
         {true, true, true, true, true, false}, {false, false, true, true, true, false}},
        {"the shell's clicks act once each", {Step::ShellClick, Step::ShellClick, Step::ShellClick},
         {true, false, true}, {true, false, true}},
        {"a double click acts as its first press only", {Step::ShellDoubleClick, Step::ShellClick},
         {true, false}, {true, false}},
        {"the keyboard toggles by the same flag",
         {Step::KeySelect, Step::KeySelect, Step::PowerHide, Step::KeyNinSelect, Step::KeyNinSelect, Step::ShellClick},
         {true, false, false, true, false, true}, {true, false, false, true, false, true}},
        {"Enter acts once, as Space does", {Step::EnterKey, Step::EnterKey, Step::KeySelect, Step::EnterKey},
         {true, false, true, false}, {true, false, true, false}},
    };
    for (const ToggleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::ShowWindow(m_hWnd, SW_SHOW);
        bool trayShown = false;
        TrayMouseTrail trail;
        DWORD tick = 0xFFFFFC10;  // steps a second apart; the first Enter straddles the tick count's wrap
        auto notify = [&](WPARAM icon, LPARAM message) {
            return HandleTrayNotify(m_hWnd, icon, message, trayShown, trail, tick);
        };
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            tick += 1000;
            switch (c.steps[i]) {
            case Step::IconLeftClick:
                EXPECT_EQ(1, notify(128, WM_LBUTTONDOWN));
                break;
            case Step::ShellClick:
                for (UINT message : std::initializer_list<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT})
                    EXPECT_EQ(1, notify(128, message));
                break;
            case Step::ShellDoubleClick:
                for (UINT message : std::initializer_list<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK,
                                     WM_LBUTTONUP, NIN_SELECT})
                    EXPECT_EQ(1, notify(128, message));
                break;
            case Step::KeySelect:
                EXPECT_EQ(1, notify(128, NIN_KEYSELECT));
                EXPECT_EQ(1, notify(129, NIN_KEYSELECT));  // another icon's: nothing
                break;
            case Step::EnterKey:
                EXPECT_EQ(1, notify(128, NIN_KEYSELECT));
                tick += 15;
                EXPECT_EQ(1, notify(128, NIN_KEYSELECT));
                break;
            case Step::KeyNinSelect:
                EXPECT_EQ(1, notify(128, NIN_SELECT));
                break;
            case Step::OtherIconLeftClick:
                EXPECT_EQ(1, notify(129, WM_LBUTTONDOWN));
                EXPECT_EQ(1, notify(0, WM_LBUTTONDOWN));
                break;
            case Step::PowerHide:
                ::ShowWindow(m_hWnd, SW_HIDE);
                break;
            case Step::MenuShow:
                ::ShowWindow(m_hWnd, SW_SHOW);
                break;
            case Step::OtherMouseMessages:
                for (UINT message : kOtherMouseMessages)
                    EXPECT_EQ(1, notify(128, message));
                break;
            }
            EXPECT_EQ(c.visibleAfter[i], ::IsWindowVisible(m_hWnd) != FALSE);
            EXPECT_EQ(c.flagAfter[i], trayShown);
        }
    }
}

// What the timer saw while the menu's modal loop ran.
struct MenuSeen {
    bool open = false;
    RECT rect{};
    std::vector<UINT> ids;
    std::vector<std::string> texts;
    HWND foreground = nullptr;
};
MenuSeen g_menu;

void CALLBACK InspectMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menuWindow = ::FindWindowA("#32768", nullptr);
    if (menuWindow == nullptr || !::IsWindowVisible(menuWindow))
        return;
    ::KillTimer(nullptr, id);
    g_menu.open = true;
    g_menu.foreground = ::GetForegroundWindow();
    ::GetWindowRect(menuWindow, &g_menu.rect);
    HMENU hMenu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, 0x01E1 /*MN_GETHMENU*/, 0, 0));
    for (int i = 0; hMenu != nullptr && i < ::GetMenuItemCount(hMenu); ++i) {
        g_menu.ids.push_back(::GetMenuItemID(hMenu, i));
        char text[64] = "";
        ::GetMenuStringA(hMenu, i, text, sizeof(text), MF_BYPOSITION);
        g_menu.texts.push_back(text);
    }
    ::EndMenu();
}

TEST_F(TrayTest, RightClickTracksTheMenu20PixelsAboveThePointer)
{
    ::SetForegroundWindow(m_hWnd);  // before the pointer moves: see KestrunDlgTrayTest
    Pump();
    ASSERT_TRUE(paneltest::PlacePointer(POINT{200, 150}));
    POINT cursor{};
    ::GetCursorPos(&cursor);
    g_menu = MenuSeen{};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
    bool trayShown = false;
    TrayMouseTrail trail;
    EXPECT_EQ(1, HandleTrayNotify(m_hWnd, 128, WM_RBUTTONDOWN, trayShown, trail, ::GetTickCount()));
    ::KillTimer(nullptr, timer);
    Pump();

    ASSERT_TRUE(g_menu.open);
    EXPECT_EQ(cursor.x, g_menu.rect.left);
    EXPECT_EQ(cursor.y - 20, g_menu.rect.top);
    EXPECT_EQ((std::vector<UINT>{ID_MENU_SHOW_PANEL, ID_MENU_EXIT}), g_menu.ids);
    EXPECT_EQ((std::vector<std::string>{"Vexmora", "Exit"}), g_menu.texts);
    EXPECT_TRUE(g_commands.empty());  // closed without a choice
    EXPECT_FALSE(trayShown);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
    HWND leftOver = ::FindWindowA("#32768", nullptr);
    EXPECT_TRUE(leftOver == nullptr || !::IsWindowVisible(leftOver));
}

// A menu whose owner is not the foreground window stays open when the user clicks elsewhere.
// The documented cure: the owner becomes the foreground window before the menu is tracked,
// and is posted WM_NULL once it returns.
TEST_F(TrayTest, RightClickMakesThePanelForegroundAndPostsItANullMessage)
{
    HWND elsewhere = ::CreateWindowExA(0, kWindowClass, "elsewhere", WS_POPUP | WS_VISIBLE, 300, 300, 80, 40, nullptr,
                                       nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(elsewhere, nullptr);
    ::SetForegroundWindow(elsewhere);
    ASSERT_EQ(elsewhere, ::GetForegroundWindow());
    g_menu = MenuSeen{};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
    bool trayShown = false;
    TrayMouseTrail trail;
    HandleTrayNotify(m_hWnd, 128, WM_RBUTTONDOWN, trayShown, trail, ::GetTickCount());
    ::KillTimer(nullptr, timer);

    bool nullPosted = false;
    MSG msg;
    while (::PeekMessageA(&msg, m_hWnd, 0, 0, PM_REMOVE))
        nullPosted |= msg.message == WM_NULL;
    ::DestroyWindow(elsewhere);
    ASSERT_TRUE(g_menu.open);
    EXPECT_EQ(m_hWnd, g_menu.foreground);
    EXPECT_TRUE(nullPosted);
}

TEST_F(TrayTest, RightClickOnAnotherIconOpensNoMenu)
{
    g_menu = MenuSeen{};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, InspectMenu);
    bool trayShown = true;
    TrayMouseTrail trail;
    EXPECT_EQ(1, HandleTrayNotify(m_hWnd, 129, WM_RBUTTONDOWN, trayShown, trail, ::GetTickCount()));
    EXPECT_EQ(1, HandleTrayNotify(m_hWnd, 129, WM_CONTEXTMENU, trayShown, trail, ::GetTickCount()));
    // Had a menu opened, the call would only have returned after the timer closed it.
    Pump();
    ::KillTimer(nullptr, timer);
    EXPECT_FALSE(g_menu.open);
    EXPECT_TRUE(trayShown);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
}

// The shell follows a right click with WM_CONTEXTMENU: one menu per click. The menu key sends
// WM_CONTEXTMENU alone, and that opens it (at the icon where the shell can say where that is;
// Wine's cannot, so there at the pointer).
TEST_F(TrayTest, TheMenuKeyOpensTheMenuAndARightClickOpensItOnce)
{
    bool trayShown = false;
    TrayMouseTrail trail;
    auto menuOpenedBy = [&](std::initializer_list<UINT> messages) {
        g_menu = MenuSeen{};
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, InspectMenu);
        for (UINT message : messages)
            HandleTrayNotify(m_hWnd, 128, message, trayShown, trail, ::GetTickCount());
        Pump();
        ::KillTimer(nullptr, timer);
        return g_menu.open;
    };
    EXPECT_TRUE(menuOpenedBy({WM_RBUTTONDOWN}));
    EXPECT_FALSE(menuOpenedBy({WM_RBUTTONUP, WM_CONTEXTMENU}));  // the same click's
    EXPECT_TRUE(menuOpenedBy({WM_CONTEXTMENU}));
    EXPECT_TRUE(menuOpenedBy({WM_CONTEXTMENU}));
    EXPECT_FALSE(trayShown);
}

// The product's name stays the first line; the state goes below it, cut to what the shell keeps.
TEST_F(TrayTest, TheTipKeepsTheNameOnTopAndFitsTheShell)
{
    const std::wstring name = L"Lumirel USB Audio Device";
    const std::wstring pair = L"\xD83D\xDD0A";  // one character outside the BMP
    struct Case {
        std::wstring line;
        std::wstring tip;
    } cases[] = {
        {L"S/PDIF \x00B7 24-bit / 96 kHz \x00B7 62 %", name + L"\nS/PDIF \x00B7 24-bit / 96 kHz \x00B7 62 %"},
        {L"", name},
        {std::wstring(200, L'a'), name + L"\n" + std::wstring(127 - 25, L'a')},
        {std::wstring(101, L'a') + pair, name + L"\n" + std::wstring(101, L'a')},  // the pair would end at 128
        {std::wstring(100, L'a') + pair, name + L"\n" + std::wstring(100, L'a') + pair},
    };
    NOTIFYICONDATAW data;
    FillTrayIconData(data, m_hWnd, ::GetModuleHandleA(nullptr));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.size());
        const bool changed = std::wstring(data.szTip) != c.tip;
        EXPECT_EQ(changed, SetTrayTip(data, c.line));
        EXPECT_EQ(c.tip, data.szTip);
        EXPECT_LE(std::wcslen(data.szTip), 127u);
        EXPECT_FALSE(SetTrayTip(data, c.line));  // nothing new: nothing for the shell
    }
    // A long tip replaced by a short one leaves nothing of itself behind the terminator.
    SetTrayTip(data, L"x");
    const size_t length = std::wcslen(data.szTip);
    EXPECT_TRUE(AllZero(data.szTip + length, sizeof(data.szTip) - length * sizeof(wchar_t)));
}

}  // namespace
