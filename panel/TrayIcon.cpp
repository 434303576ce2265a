#include "panel/TrayIcon.h"

#include "framework/DisplayScale.h"
#include "framework/ScopedHandle.h"
#include "framework/UiText.h"
#include "framework/afxwin.h"
#include "panel/PanelMessages.h"
#include "res/resource.h"

#include <cstring>

static_assert(TRAY_ICON_FLAGS == 7, "message, icon and tip");
static_assert(sizeof(TRAY_ICON_TIP) <= sizeof(NOTIFYICONDATAW{}.szTip), "the tip fits the record");

namespace {

constexpr size_t kTipCapacity = sizeof(NOTIFYICONDATAW{}.szTip) / sizeof(wchar_t);  // with the NUL

void TrackTrayMenu(HWND hPanel, POINT at)
{
    CMenuHandle menu(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    if (!menu.IsValid())
        return;
    HMENU popup = ::GetSubMenu(menu.Get(), 0);
    if (popup == nullptr)
        return;
    // "Vexmora" is the maker's name; "Exit" is said in the user's language.
    const std::wstring exit = LoadUiText(IDS_MENU_EXIT);
    if (!exit.empty())
        ::ModifyMenuW(popup, ID_MENU_EXIT, MF_BYCOMMAND | MF_STRING, ID_MENU_EXIT, exit.c_str());
    // A menu whose owner is not the foreground window stays open when the user clicks
    // elsewhere; the posted WM_NULL is the other half of the documented cure.
    ::SetForegroundWindow(hPanel);
    // A chosen item arrives at the panel as WM_COMMAND once the menu has closed.
    // The menu opens by the tray, so the raise follows the taskbar's scale.
    ::TrackPopupMenu(popup, 0, at.x, at.y - ScaleLength(TRAY_MENU_RAISE, TaskbarDpi()), 0, hPanel, nullptr);
    ::PostMessageA(hPanel, WM_NULL, 0, 0);
}

// The menu key reaches the icon with no pointer near it: the menu opens at the icon. A shell
// that cannot say where the icon is (Wine's) leaves the pointer as the best guess.
POINT IconCorner(HWND hPanel, UINT iconId)
{
    POINT at{};
    ::GetCursorPos(&at);
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = hPanel;
    icon.uID = iconId;
    RECT rect{};
    if (::Shell_NotifyIconGetRect(&icon, &rect) == S_OK)
        at = POINT{rect.left, rect.top};
    return at;
}

void Toggle(HWND hPanel, bool& trayShown, bool activate)
{
    ::ShowWindow(hPanel, trayShown ? SW_HIDE : SW_SHOW);
    trayShown = !trayShown;
    // A user who came by keyboard (and a screen reader with them) lands on the panel.
    if (trayShown && activate)
        ::SetForegroundWindow(hPanel);
}

}  // namespace

void FillTrayIconData(NOTIFYICONDATAW& data, HWND hWnd, HINSTANCE hInstance)
{
    std::memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(NOTIFYICONDATAW);
    data.hWnd = hWnd;
    data.uID = TRAY_ICON_ID;
    data.uFlags = TRAY_ICON_FLAGS;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = ::LoadIconA(hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    std::memcpy(data.szTip, TRAY_ICON_TIP, sizeof(TRAY_ICON_TIP));
}

bool SetTrayTip(NOTIFYICONDATAW& data, const std::wstring& stateLine)
{
    std::wstring tip = TRAY_ICON_TIP;
    if (!stateLine.empty())
        tip += L"\n" + stateLine;
    if (tip.size() > kTipCapacity - 1) {
        size_t keep = kTipCapacity - 1;
        if (IS_HIGH_SURROGATE(tip[keep - 1]))
            --keep;
        tip.resize(keep);
    }
    if (tip == data.szTip)
        return false;
    std::memset(data.szTip, 0, sizeof(data.szTip));
    std::memcpy(data.szTip, tip.c_str(), tip.size() * sizeof(wchar_t));
    return true;
}

BOOL NotifyTrayIcon(DWORD message, NOTIFYICONDATAW& data)
{
    return ::Shell_NotifyIconW(message, &data);
}

BOOL AddTrayIconToShell(NOTIFYICONDATAW& data)
{
    const BOOL added = NotifyTrayIcon(NIM_ADD, data);
    if (added) {
        // The version travels in the record only for this call; every other call leaves the
        // field zero, as the shell's timeout would otherwise read it.
        data.uVersion = TRAY_ICON_VERSION;
        NotifyTrayIcon(NIM_SETVERSION, data);
        data.uVersion = 0;
    }
    return added;
}

LRESULT HandleTrayNotify(HWND hPanel, WPARAM iconId, LPARAM mouseMessage, bool& trayShown, TrayMouseTrail& trail,
                         DWORD now)
{
    const bool ours = iconId == TRAY_ICON_ID;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        if (ours) {
            trail.leftPressed = true;
            Toggle(hPanel, trayShown, false);
        }
        break;
    case WM_LBUTTONDBLCLK:
        if (ours)
            trail.leftPressed = true;  // its NIN_SELECT is the mouse's, and a double click does nothing
        break;
    case NIN_SELECT:
    case NIN_KEYSELECT:
        if (!ours)
            break;
        if (mouseMessage == NIN_SELECT && trail.leftPressed) {
            trail.leftPressed = false;  // the tail of a click that has already acted
        } else if (mouseMessage == NIN_KEYSELECT && trail.keySelected && now - trail.keySelectTick < ::GetDoubleClickTime()) {
            // Enter's second NIN_KEYSELECT: acting again would hide what the first showed.
        } else {
            if (mouseMessage == NIN_KEYSELECT) {
                trail.keySelected = true;
                trail.keySelectTick = now;
            }
            Toggle(hPanel, trayShown, true);
        }
        break;
    case WM_RBUTTONDOWN: {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        if (ours) {
            // Set before the menu's loop, in which the shell's WM_CONTEXTMENU for this click arrives.
            trail.rightPressed = true;
            TrackTrayMenu(hPanel, cursor);
        }
        break;
    }
    case WM_RBUTTONDBLCLK:
        if (ours)
            trail.rightPressed = true;
        break;
    case WM_CONTEXTMENU:
        if (!ours)
            break;
        if (trail.rightPressed)
            trail.rightPressed = false;
        else
            TrackTrayMenu(hPanel, IconCorner(hPanel, TRAY_ICON_ID));
        break;
    default:
        break;
    }
    return 1;
}
