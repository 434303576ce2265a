#include "audio/PanelEventContext.h"

GUID g_panelEventContext = {};

void WritePanelEventContext()
{
    static const GUID kPanelEventContext = {
        0x4FA3DCD0, 0x3E1B, 0x4BC3, {'4', 'b', 'e', '0', '7', '1', '0', '6'}};
    g_panelEventContext = kPanelEventContext;
}
