#include "audio/SinkStartup.h"

#include "audio/AudioEndpointControl.h"
#include "audio/CoreAudioHelpers.h"
#include "audio/NotificationSinks.h"
#include "audio/PanelEventContext.h"
#include "audio/ProcessLifeObjects.h"
#include "audio/TopologyWalk.h"
#include "res/OutputIds.h"

#include <audioclient.h>

#include <vector>

using Microsoft::WRL::ComPtr;

CAudioEndpointVolumeCallback* g_volumeSink = nullptr;
CControlChangeNotify* g_controlChangeSink = nullptr;
CMMNotificationClient* g_deviceSinks[2] = {nullptr, nullptr};
int g_deviceSinkCount = 0;

namespace {

// An endpoint volume interface that carries the volume sink's registration, by endpoint ID
// (empty when the ID could not be read). The interface itself is kept for the process's life
// (ProcessLifeObjects) until an invalidated one is replaced. Touched on the UI thread only.
struct HeldVolume {
    std::wstring endpointId;
    IAudioEndpointVolume* volume;
};

std::vector<HeldVolume>& HeldVolumes()
{
    static auto* held = new std::vector<HeldVolume>();  // never destroyed, like what it lists
    return *held;
}

HeldVolume* FindHeld(const std::wstring& endpointId)
{
    auto& held = HeldVolumes();
    for (auto it = held.rbegin(); !endpointId.empty() && it != held.rend(); ++it) {
        if (it->endpointId == endpointId)
            return &*it;
    }
    return nullptr;
}

bool Invalidated(IAudioEndpointVolume* volume)
{
    UINT channels = 0;
    return volume->GetChannelCount(&channels) == AUDCLNT_E_DEVICE_INVALIDATED;
}

// The start-up walk over the endpoints. A renewal registers only where no registration is
// held for the endpoint or the one held has been invalidated, and gives up the dead object.
HRESULT RegisterOnEndpoints(CAudioEndpointVolumeCallback* sink, bool renewal, UINT* registered)
{
    if (registered != nullptr)
        *registered = 0;
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CreateDeviceEnumerator(CLSCTX_ALL, enumerator);
    if (FAILED(hr))
        return hr;
    ComPtr<IMMDeviceCollection> collection;
    const DWORD states = DEVICE_STATE_ACTIVE | DEVICE_STATE_DISABLED | DEVICE_STATE_UNPLUGGED;
    hr = enumerator->EnumAudioEndpoints(eAll, states, collection.GetAddressOf());
    if (SUCCEEDED(hr) && !collection)
        hr = E_POINTER;
    if (FAILED(hr))
        return hr;
    UINT count = 0;
    hr = collection->GetCount(&count);
    if (FAILED(hr))
        return hr;

    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(collection->Item(i, device.GetAddressOf())) || !device)
            break;
        std::wstring endpointId;
        ReadEndpointId(device.Get(), endpointId);
        HeldVolume* held = FindHeld(endpointId);
        if (renewal && (endpointId.empty() || (held != nullptr && !Invalidated(held->volume))))
            continue;
        ComPtr<IAudioEndpointVolume> volume;
        if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                    reinterpret_cast<void**>(volume.GetAddressOf()))) ||
            !volume)
            break;
        volume->RegisterControlChangeNotify(sink);
        if (registered != nullptr)
            ++*registered;
        IAudioEndpointVolume* kept = volume.Detach();
        KeepForProcessLife(kept);  // carries the registration until process end
        if (renewal && held != nullptr) {
            ReleaseInvalidated(held->volume);
            held->volume = kept;
        } else {
            HeldVolumes().push_back(HeldVolume{endpointId, kept});
        }
    }
    return S_OK;
}

}  // namespace

HRESULT RegisterEndpointVolumeNotify(CAudioEndpointVolumeCallback* sink, const GUID& eventContext,
                                     UINT* registered)
{
    if (registered != nullptr)
        *registered = 0;
    if (sink == nullptr)
        return E_POINTER;
    sink->SetEventContext(eventContext);
    return RegisterOnEndpoints(sink, false, registered);
}

HRESULT RenewEndpointVolumeNotify(CAudioEndpointVolumeCallback* sink, UINT* registered)
{
    if (registered != nullptr)
        *registered = 0;
    if (sink == nullptr)
        return E_POINTER;
    return RegisterOnEndpoints(sink, true, registered);
}

HRESULT RegisterDeviceNotify(CMMNotificationClient* sink)
{
    if (sink == nullptr)
        return E_POINTER;
    ComPtr<IMMDeviceEnumerator> enumerator;
    const HRESULT hr = CreateDeviceEnumerator(CLSCTX_ALL, enumerator);
    if (FAILED(hr))
        return hr;
    return enumerator->RegisterEndpointNotificationCallback(sink);
}

namespace {

void AddDeviceSink()
{
    CMMNotificationClient* sink = new CMMNotificationClient();  // lives until process end
    if (g_deviceSinkCount < 2)
        g_deviceSinks[g_deviceSinkCount++] = sink;
    RegisterDeviceNotify(sink);
}

}  // namespace

void StartNotificationSinks(int outputId, const CAudioEndpointControl& audio)
{
    WritePanelEventContext();

    g_volumeSink = new CAudioEndpointVolumeCallback();  // lives until process end
    RegisterEndpointVolumeNotify(g_volumeSink, g_panelEventContext);

    g_controlChangeSink = new CControlChangeNotify();  // lives until process end

    const std::wstring* endpointId = nullptr;
    if (outputId == OUTPUT_SPDIF)
        endpointId = &audio.SpdifEndpointId();
    else if (outputId == OUTPUT_SPEAKER)
        endpointId = &audio.SpeakerEndpointId();
    g_deviceSinkCount = 0;
    if (endpointId != nullptr &&
        RegisterHardwareControlNotify(g_controlChangeSink, endpointId->c_str(),
                                      g_panelEventContext) == S_OK)
        AddDeviceSink();
    AddDeviceSink();
}

void RenewNotificationSinks()
{
    RenewEndpointVolumeNotify(g_volumeSink);
    if (g_controlChangeSink != nullptr)
        RenewHardwareControlNotify(g_controlChangeSink, g_panelEventContext);
}
