// Posting WM_VOLUME_REFRESH without flooding the panel. A burst of changes made elsewhere (a
// program ramping the volume, a hardware knob spun fast) notifies once per step; each posted
// refresh costs the panel three Core Audio look-ups, so a long burst would hold the user's
// clicks behind thousands of them. A sink therefore posts a refresh of its kind only while
// none of that kind is waiting; the panel clears the mark before it reads, so a change that
// arrives during the read posts again and the panel ends on the final state.
#pragma once
#include <windows.h>

// kind: the wParam, 0 from the endpoint volume sink, 1 from the control change sink.
void PostVolumeRefresh(WPARAM kind);
// Called by the WM_VOLUME_REFRESH handler before it reads; other kinds are ignored.
void ClearVolumeRefreshPending(WPARAM kind);

// WM_AUDIO_DEVICE_ARRIVED the same way: a resume brings several endpoints back at once, and
// one renewal after the last of them serves them all.
void PostDeviceArrived();
void ClearDeviceArrivedPending();
