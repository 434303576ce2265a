#include "framework/DisplayScale.h"

namespace {

template <typename Fn>
Fn User32Entry(const char* name)
{
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    return user32 != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

UINT DeviceDpi(HWND hWnd)
{
    HDC hDC = ::GetDC(hWnd);
    if (hDC == nullptr)
        return kBaseDpi;
    const int dpi = ::GetDeviceCaps(hDC, LOGPIXELSX);
    ::ReleaseDC(hWnd, hDC);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT WindowDpi(HWND hWnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && hWnd != nullptr) {
        const UINT dpi = getDpiForWindow(hWnd);
        if (dpi != 0)
            return dpi;
    }
    return DeviceDpi(hWnd);
}

UINT TaskbarDpi()
{
    // The taskbar sits on the primary monitor, whose DPI is the system's; its own window
    // says so directly where the shell has one.
    HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    return taskbar != nullptr ? WindowDpi(taskbar) : DeviceDpi(nullptr);
}

int ScaleLength(int length, UINT dpi)
{
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

RECT ScaleRect(const RECT& rc, UINT dpi)
{
    const int left = ScaleLength(rc.left, dpi);
    const int top = ScaleLength(rc.top, dpi);
    return RECT{left, top, left + ScaleLength(rc.right - rc.left, dpi), top + ScaleLength(rc.bottom - rc.top, dpi)};
}

int SystemMetricForDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Entry<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi != nullptr)
        return forDpi(index, dpi);
    // Older systems scale their metrics with the one system DPI.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(DeviceDpi(nullptr)));
}

bool KeepDialogLayoutOnDpiChange(HWND hDialog)
{
    // DIALOG_DPI_CHANGE_BEHAVIORS: DDC_DISABLE_ALL is 1.
    constexpr int kDisableAll = 1;
    using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehavior = User32Entry<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    return setBehavior != nullptr && setBehavior(hDialog, kDisableAll, kDisableAll) != FALSE;
}
