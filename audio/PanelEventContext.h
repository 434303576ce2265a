// The event context that marks every volume and mute change made by the panel itself, so the
// sinks can tell the panel's own changes from changes made elsewhere.
#pragma once
#include <windows.h>

// All zero until WritePanelEventContext runs during start-up; never changes afterwards.
extern GUID g_panelEventContext;

// {4FA3DCD0-3E1B-4BC3-3462-653037313036}: Data4 is the ASCII text "4be07106".
void WritePanelEventContext();
