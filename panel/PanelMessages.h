// Every window message the panel accepts. Each is declared by the layer that posts it; the
// tray's callback message is the panel's own, delivered by the shell.
#pragma once
#include <windows.h>

#include "audio/AudioMessages.h"
#include "controls/SliderMessages.h"
#include "driver/DriverMessages.h"
#include "res/OutputIds.h"

#define WM_TRAY_NOTIFY            0x0467  // wParam: icon ID, lParam: mouse message
#define WM_TRAY_TIP_REFRESH       0x0470  // posted by the panel to itself: rewrite the tray tip
