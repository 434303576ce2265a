// The panel's own window messages. All are posted, never sent.
#pragma once
#include <windows.h>

#define WM_SLIDER_MOVING          0x28D1  // wParam: slider ID, lParam: position
#define WM_SLIDER_MOVED           0x28D2  // wParam: slider ID, lParam: position
#define WM_VOLUME_REFRESH         0x040C  // wParam: 0 endpoint volume sink, 1 control change sink
#define WM_DRIVER_FORMAT_CHANGED  0x0464
#define WM_DRIVER_DEVICE_EVENT    0x0465
#define WM_OUTPUT_CHANGED         0x0466  // lParam: 0 S/PDIF, 1 Speaker
#define WM_TRAY_NOTIFY            0x0467  // wParam: icon ID, lParam: mouse message

// Output identifiers shared by endpoint selection, the topology walk and output switching.
constexpr int OUTPUT_SPDIF = 101024;
constexpr int OUTPUT_SPEAKER = 101025;
constexpr int OUTPUT_NONE = 0;
