// What the driver library's event callback posts to the application's main window.
// Posted, never sent.
#pragma once
#include <windows.h>

#define WM_DRIVER_FORMAT_CHANGED  0x0464
#define WM_DRIVER_DEVICE_EVENT    0x0465
