// The panel's notification-area icon: its record, the one path to the shell, the tip that
// tells the panel's state, and what a click or a key on the icon does. The panel dialog's
// tray members are thin wrappers around these.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

constexpr UINT TRAY_ICON_ID = 128;
constexpr UINT TRAY_ICON_FLAGS = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The product's name: the tip's first line in every language.
constexpr wchar_t TRAY_ICON_TIP[] = L"Lumirel USB Audio Device";
// The menu opens this far above the pointer, at 96 DPI.
constexpr int TRAY_MENU_RAISE = 20;
// Version 3 brings keyboard selection and the context-menu key; version 4 would repack the
// callback's parameters.
constexpr UINT TRAY_ICON_VERSION = NOTIFYICON_VERSION;

// Fills the fields the shell reads (size, window, ID, flags, message, icon, tip: the product's
// name alone); the rest of the record is zeroed.
void FillTrayIconData(NOTIFYICONDATAW& data, HWND hWnd, HINSTANCE hInstance);

// Puts the product's name and, on the line below, stateLine into the tip, cut to the 127
// characters the shell keeps (never inside a UTF-16 pair). Returns whether the tip changed.
bool SetTrayTip(NOTIFYICONDATAW& data, const std::wstring& stateLine);

// Every Shell_NotifyIconW call of the program goes through here.
BOOL NotifyTrayIcon(DWORD message, NOTIFYICONDATAW& data);
// NIM_ADD, then the callback version for an icon the shell took. Returns NIM_ADD's result.
BOOL AddTrayIconToShell(NOTIFYICONDATAW& data);

// What the mouse or the keyboard began on the icon. From version 3 on the shell follows a left
// click with NIN_SELECT and a right click with WM_CONTEXTMENU; those must not act a second time,
// while the same messages from the keyboard must act. Enter brings two NIN_KEYSELECT, Space one.
struct TrayMouseTrail {
    bool leftPressed = false;
    bool rightPressed = false;
    bool keySelected = false;
    DWORD keySelectTick = 0;  // when the last NIN_KEYSELECT acted
};

// WM_TRAY_NOTIFY for the panel hPanel, arriving at tick `now`. trayShown records what the last
// left click or keyboard selection on the icon did (true: it showed the panel), not whether the
// panel is visible. A NIN_KEYSELECT within the double-click time of one that acted is the same
// key press. Returns 1.
LRESULT HandleTrayNotify(HWND hPanel, WPARAM iconId, LPARAM mouseMessage, bool& trayShown, TrayMouseTrail& trail,
                         DWORD now);
