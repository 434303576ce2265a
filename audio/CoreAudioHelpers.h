// Small Core Audio steps shared by the endpoint control, the sinks and the topology walk.
// Each treats a call that claims success but hands back nothing as a failure, so callers never
// dereference a null interface or string.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <wrl/client.h>

#include <string>

HRESULT CreateDeviceEnumerator(DWORD classContext,
                               Microsoft::WRL::ComPtr<IMMDeviceEnumerator>& enumerator);

// Opens the property store for reading and reads PKEY_Device_FriendlyName. Returns S_OK only
// when both calls returned exactly S_OK and the value is a non-null wide string; any other
// outcome leaves name empty. The property value and store are released before returning.
HRESULT ReadFriendlyName(IMMDevice* device, std::wstring& name);

// IMMDevice::GetId copied into an owned string; id is unchanged on failure.
HRESULT ReadEndpointId(IMMDevice* device, std::wstring& id);

// The default render endpoint for eMultimedia and its IAudioEndpointVolume, both with
// CLSCTX_INPROC_SERVER, looked up anew on every call.
HRESULT ActivateDefaultEndpointVolume(Microsoft::WRL::ComPtr<IAudioEndpointVolume>& volume);
