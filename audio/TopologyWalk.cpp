#include "audio/TopologyWalk.h"

#include "audio/CoreAudioHelpers.h"
#include "audio/DeviceTopologyCompat.h"
#include "audio/NotificationSinks.h"
#include "audio/ProcessLifeObjects.h"

#include <endpointvolume.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// The hardware controls listened to, in the order they are tried on each subunit.
const IID* const kControlInterfaces[] = {
    &__uuidof(IAudioAutoGainControl),
    &__uuidof(IAudioInputSelector),
    &__uuidof(IAudioMute),
    &__uuidof(IAudioVolumeLevel),
};

bool IsSkippedSubunit(UINT index)
{
    return index >= 16 && index <= 19;
}

// A success code with a null object is as good as a failure.
HRESULT Checked(HRESULT hr, const void* object)
{
    return (SUCCEEDED(hr) && object == nullptr) ? E_POINTER : hr;
}

}  // namespace

HRESULT GetHardwareDeviceTopology(IMMDevice* device, IDeviceTopology** topology)
{
    if (device == nullptr || topology == nullptr)
        return E_POINTER;
    ComPtr<IDeviceTopology> endpointTopology;
    HRESULT hr = device->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr,
                                  reinterpret_cast<void**>(endpointTopology.GetAddressOf()));
    hr = Checked(hr, endpointTopology.Get());
    if (FAILED(hr))
        return hr;
    ComPtr<IConnector> endpointConnector;
    hr = endpointTopology->GetConnector(0, endpointConnector.GetAddressOf());
    hr = Checked(hr, endpointConnector.Get());
    if (FAILED(hr))
        return hr;
    ComPtr<IConnector> adapterConnector;
    hr = endpointConnector->GetConnectedTo(adapterConnector.GetAddressOf());
    hr = Checked(hr, adapterConnector.Get());
    if (FAILED(hr))
        return hr;
    ComPtr<IPart> adapterPart;
    hr = adapterConnector.As(&adapterPart);
    hr = Checked(hr, adapterPart.Get());
    if (FAILED(hr))
        return hr;
    ComPtr<IDeviceTopology> adapterTopology;
    hr = GetPartTopology(adapterPart.Get(), adapterTopology.GetAddressOf());
    hr = Checked(hr, adapterTopology.Get());
    if (FAILED(hr))
        return hr;
    *topology = adapterTopology.Detach();
    return hr;
}

HRESULT RegisterHardwareControlNotify(CControlChangeNotify* sink, LPCWSTR endpointId,
                                      const GUID& eventContext)
{
    if (sink == nullptr || endpointId == nullptr)
        return E_POINTER;
    sink->SetEventContext(eventContext);

    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CreateDeviceEnumerator(CLSCTX_ALL, enumerator);
    if (FAILED(hr))
        return hr;
    ComPtr<IMMDevice> device;
    hr = enumerator->GetDevice(endpointId, device.GetAddressOf());
    hr = Checked(hr, device.Get());
    if (FAILED(hr))
        return hr;
    ComPtr<IDeviceTopology> adapterTopology;
    hr = GetHardwareDeviceTopology(device.Get(), adapterTopology.GetAddressOf());
    if (FAILED(hr))
        return hr;
    UINT count = 0;
    hr = adapterTopology->GetSubunitCount(&count);
    if (FAILED(hr))
        return hr;

    hr = S_OK;
    bool registeredAny = false;
    for (UINT i = 0; i < count; ++i) {
        if (IsSkippedSubunit(i))
            continue;
        ComPtr<SubunitInterface> subunit;
        hr = adapterTopology->GetSubunit(i, subunit.GetAddressOf());
        hr = Checked(hr, subunit.Get());
        if (FAILED(hr))
            break;
        ComPtr<IPart> part;
        hr = subunit.As(&part);
        hr = Checked(hr, part.Get());
        if (FAILED(hr))
            break;
        for (const IID* control : kControlInterfaces) {
            ComPtr<IUnknown> controlInterface;
            const HRESULT activated = part->Activate(
                CLSCTX_ALL, *control, reinterpret_cast<void**>(controlInterface.GetAddressOf()));
            if (activated != S_OK) {
                if (IsEqualIID(*control, __uuidof(IAudioVolumeLevel)))
                    hr = activated;
                continue;
            }
            hr = part->RegisterControlChangeCallback(*control, sink);
            if (hr == S_OK) {
                KeepForProcessLife(part.Detach());  // its registration lasts until process end
                registeredAny = true;
                break;
            }
        }
    }
    if (registeredAny)
        KeepForProcessLife(adapterTopology.Detach());  // the registered parts belong to it
    return hr;
}
