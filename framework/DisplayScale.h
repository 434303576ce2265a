// The one place that knows the display scale: the DPI a window is shown at, and what a
// length or rectangle laid out at 96 DPI becomes there. Everything else asks here.
// Calls newer than Windows 7 are looked up at run time, so the program still loads there.
#pragma once
#include <windows.h>

constexpr UINT kBaseDpi = 96;

// The window's DPI (GetDpiForWindow where the system has it, else its device context's).
UINT WindowDpi(HWND hWnd);
// The DPI of the monitor that holds the taskbar, where the tray icons are drawn.
UINT TaskbarDpi();

// A 96-DPI length at dpi, rounded to the nearest pixel (halves away from zero).
int ScaleLength(int length, UINT dpi);
// A rectangle laid out at 96 DPI, at dpi: its corner and its size scaled each on its own, as
// the artwork is (a control's picture is exactly ScaleLength of its 96-DPI size).
RECT ScaleRect(const RECT& rc, UINT dpi);

// GetSystemMetricsForDpi where present, else the system's metric scaled from its own DPI.
int SystemMetricForDpi(int index, UINT dpi);

// Stops the dialog manager from resizing a dialog and moving its controls on a DPI change
// (per-monitor v2): the caller places everything itself. False where the call is missing.
bool KeepDialogLayoutOnDpiChange(HWND hDialog);
