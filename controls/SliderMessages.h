// What a volume slider posts to its parent. Posted, never sent.
#pragma once
#include <windows.h>

#define WM_SLIDER_MOVING          0x28D1  // wParam: slider ID, lParam: position
#define WM_SLIDER_MOVED           0x28D2  // wParam: slider ID, lParam: position
