// The walk from an endpoint across its connector to the adapter's device topology, which
// registers the control change sink with the adapter's hardware controls.
#pragma once
#include <windows.h>
#include <mmdeviceapi.h>
#include <devicetopology.h>

class CControlChangeNotify;

// Endpoint topology, connector 0, the connector it is connected to, that connector's part,
// and the part's topology object. Returns the HRESULT of the last step taken; *topology is set
// only when every step succeeded.
HRESULT GetHardwareDeviceTopology(IMMDevice* device, IDeviceTopology** topology);

// Registers sink with every subunit of the endpoint's adapter, at most once per subunit, for
// the first of IAudioAutoGainControl, IAudioInputSelector, IAudioMute, IAudioVolumeLevel that
// both activates and registers. Subunits 16 to 19 are never requested. Returns S_OK when there
// was nothing to examine or the last examined subunit was registered; otherwise the code of
// the last step taken. Registered parts and the adapter topology are kept for the process's
// life; nothing is ever unregistered.
HRESULT RegisterHardwareControlNotify(CControlChangeNotify* sink, LPCWSTR endpointId,
                                      const GUID& eventContext);

// After an endpoint came back: when the walk that registered last holds parts that Windows has
// invalidated (or holds none after such a renewal found the endpoint still away), gives them
// and their adapter topology up and walks the same endpoint again. S_FALSE when nothing was
// due (no walk ever registered, or its registrations live); else the walk's result.
HRESULT RenewHardwareControlNotify(CControlChangeNotify* sink, const GUID& eventContext);

