#include "panel/TrayIcon.h"

#include "framework/ScopedHandle.h"
#include "framework/UiText.h"
#include "framework/afxwin.h"
#include "panel/PanelMessages.h"
#include "res/resource.h"

#include <cstring>

// The record as the shell of every supported release reads it, balloon-icon handle included.
static_assert(sizeof(NOTIFYICONDATAA) == 528, "NOTIFYICONDATAA must be the full 528-byte record");
static_assert(TRAY_ICON_FLAGS == 7, "message, icon and tip");
static_assert(sizeof(TRAY_ICON_TIP) <= sizeof(NOTIFYICONDATAA{}.szTip), "the tip fits the record");

namespace {

void TrackTrayMenu(HWND hPanel, POINT cursor)
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
    ::TrackPopupMenu(popup, 0, cursor.x, cursor.y - TRAY_MENU_RAISE, 0, hPanel, nullptr);
    ::PostMessageA(hPanel, WM_NULL, 0, 0);
}

}  // namespace

void FillTrayIconData(NOTIFYICONDATAA& data, HWND hWnd, HINSTANCE hInstance)
{
    std::memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(NOTIFYICONDATAA);
    data.hWnd = hWnd;
    data.uID = TRAY_ICON_ID;
    data.uFlags = TRAY_ICON_FLAGS;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = ::LoadIconA(hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    std::memcpy(data.szTip, TRAY_ICON_TIP, sizeof(TRAY_ICON_TIP));
}

BOOL NotifyTrayIcon(DWORD message, NOTIFYICONDATAA& data)
{
    return ::Shell_NotifyIconA(message, &data);
}

LRESULT HandleTrayNotify(HWND hPanel, WPARAM iconId, LPARAM mouseMessage, bool& trayShown)
{
    if (mouseMessage == WM_LBUTTONDOWN) {
        if (iconId == TRAY_ICON_ID) {
            ::ShowWindow(hPanel, trayShown ? SW_HIDE : SW_SHOW);
            trayShown = !trayShown;
        }
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        if (iconId == TRAY_ICON_ID)
            TrackTrayMenu(hPanel, cursor);
    }
    return 1;
}
