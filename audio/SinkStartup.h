// Creating and registering the notification sinks at start-up.
#pragma once
#include <windows.h>

class CAudioEndpointControl;
class CAudioEndpointVolumeCallback;
class CControlChangeNotify;
class CMMNotificationClient;

// The process-wide sinks. Each holds the reference it was created with, which is never
// released: the sinks live until the process ends. Null until the start-up creates them.
extern CAudioEndpointVolumeCallback* g_volumeSink;
extern CControlChangeNotify* g_controlChangeSink;
extern CMMNotificationClient* g_deviceSinks[2];
extern int g_deviceSinkCount;

// Copies eventContext into the sink, then registers it with the IAudioEndpointVolume of every
// endpoint of every data flow in the states active, disabled and unplugged, in collection order,
// until the first item or activation that fails. Each endpoint volume interface carrying a
// registration is kept for the process's life. Returns the enumeration's failure or S_OK;
// registered (optional) receives how many registrations were attempted.
HRESULT RegisterEndpointVolumeNotify(CAudioEndpointVolumeCallback* sink, const GUID& eventContext,
                                     UINT* registered = nullptr);

// After an endpoint arrived or came back: registers sink, in the same way and order, on every
// endpoint that has no registration held or whose held one Windows has invalidated, and gives
// up the invalidated endpoint volume it replaces. registered receives how many were made.
HRESULT RenewEndpointVolumeNotify(CAudioEndpointVolumeCallback* sink, UINT* registered = nullptr);

// Registers sink for endpoint notifications through a short-lived enumerator; returns the
// creation or registration HRESULT.
HRESULT RegisterDeviceNotify(CMMNotificationClient* sink);

// The start-up sequence: writes g_panelEventContext, creates and registers the volume sink,
// creates the control change sink, runs the topology walk for the start-up output's endpoint
// (OUTPUT_SPDIF or OUTPUT_SPEAKER only) and registers one device sink after a successful walk
// plus one in every case.
void StartNotificationSinks(int outputId, const CAudioEndpointControl& audio);

// The WM_AUDIO_DEVICE_ARRIVED work, on the UI thread: the volume sink's registrations, then
// the topology walk again if its registrations died. The sinks themselves stay as they are.
void RenewNotificationSinks();
