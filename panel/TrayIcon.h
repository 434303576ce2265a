// The panel's notification-area icon: its record, the one path to the shell, and what a
// click on it does. The panel dialog's tray members are thin wrappers around these.
#pragma once
#include <windows.h>
#include <shellapi.h>

constexpr UINT TRAY_ICON_ID = 128;
constexpr UINT TRAY_ICON_FLAGS = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr char TRAY_ICON_TIP[] = "Lumirel USB Audio Device";
// The menu opens this far above the pointer, at 96 DPI.
constexpr int TRAY_MENU_RAISE = 20;

// Fills the fields the shell reads (size, window, ID, flags, message, icon, tip); the rest
// of the record is zeroed.
void FillTrayIconData(NOTIFYICONDATAA& data, HWND hWnd, HINSTANCE hInstance);

// Every Shell_NotifyIconA call of the program goes through here.
BOOL NotifyTrayIcon(DWORD message, NOTIFYICONDATAA& data);

// WM_TRAY_NOTIFY for the panel hPanel. trayShown records what the last left click on
// the icon did (true: it showed the panel), not whether the panel is visible. Returns 1.
LRESULT HandleTrayNotify(HWND hPanel, WPARAM iconId, LPARAM mouseMessage, bool& trayShown);
