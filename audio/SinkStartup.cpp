#include "audio/SinkStartup.h"

#include "audio/AudioEndpointControl.h"
#include "audio/CoreAudioHelpers.h"
#include "audio/NotificationSinks.h"
#include "audio/PanelEventContext.h"
#include "audio/ProcessLifeObjects.h"
#include "audio/TopologyWalk.h"
#include "res/OutputIds.h"

using Microsoft::WRL::ComPtr;

CAudioEndpointVolumeCallback* g_volumeSink = nullptr;
CControlChangeNotify* g_controlChangeSink = nullptr;
CMMNotificationClient* g_deviceSinks[2] = {nullptr, nullptr};
int g_deviceSinkCount = 0;

HRESULT RegisterEndpointVolumeNotify(CAudioEndpointVolumeCallback* sink, const GUID& eventContext,
                                     UINT* registered)
{
    if (registered != nullptr)
        *registered = 0;
    if (sink == nullptr)
        return E_POINTER;
    sink->SetEventContext(eventContext);

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
        ComPtr<IAudioEndpointVolume> volume;
        if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                    reinterpret_cast<void**>(volume.GetAddressOf()))) ||
            !volume)
            break;
        volume->RegisterControlChangeNotify(sink);
        if (registered != nullptr)
            ++*registered;
        KeepForProcessLife(volume.Detach());  // carries the registration until process end
    }
    return S_OK;
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
