// What the notification sinks post to the application's main window. Posted, never sent.
#pragma once
#include <windows.h>

#define WM_VOLUME_REFRESH         0x040C  // wParam: 0 endpoint volume sink, 1 control change sink
#define WM_OUTPUT_CHANGED         0x0466  // lParam: 0 S/PDIF, 1 Speaker
// An endpoint was added or became active, or a new render default was chosen: the objects the
// panel registered through may have died with an earlier life of that endpoint. No parameters.
#define WM_AUDIO_DEVICE_ARRIVED   0x0468
