#include "audio/TopologyWalk.h"

#include "audio/CoreAudioHelpers.h"
#include "audio/DeviceTopologyCompat.h"
#include "audio/NotificationSinks.h"
#include "audio/ProcessLifeObjects.h"

#include <audioclient.h>
#include <endpointvolume.h>
#include <wrl/client.h>

#include <string>
#include <vector>

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

// What the walk that registered last holds, kept for the process's life (ProcessLifeObjects)
// until invalidated. Touched on the UI thread only.
struct HeldWalk {
    std::wstring endpointId;  // empty until a walk registered something
    std::vector<IPart*> parts;
    IDeviceTopology* adapterTopology = nullptr;
};

HeldWalk& LastWalk()
{
    static auto* walk = new HeldWalk();  // never destroyed, like what it lists
    return *walk;
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
    HeldWalk held;
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
                held.parts.push_back(part.Get());
                KeepForProcessLife(part.Detach());  // its registration lasts until process end
                registeredAny = true;
                break;
            }
        }
    }
    if (registeredAny) {
        held.endpointId = endpointId;
        held.adapterTopology = adapterTopology.Get();
        KeepForProcessLife(adapterTopology.Detach());  // the registered parts belong to it
        LastWalk() = std::move(held);
    }
    return hr;
}

HRESULT RenewHardwareControlNotify(CControlChangeNotify* sink, const GUID& eventContext)
{
    HeldWalk& walk = LastWalk();
    if (sink == nullptr || walk.endpointId.empty())
        return S_FALSE;
    UINT localId = 0;
    if (!walk.parts.empty() && walk.parts.front()->GetLocalId(&localId) != AUDCLNT_E_DEVICE_INVALIDATED)
        return S_FALSE;
    for (IPart* part : walk.parts)
        ReleaseInvalidated(part);
    walk.parts.clear();
    ReleaseInvalidated(walk.adapterTopology);
    walk.adapterTopology = nullptr;
    // A walk that finds the endpoint still away leaves the record empty, and the next arrival
    // tries again.
    const std::wstring endpointId = walk.endpointId;
    return RegisterHardwareControlNotify(sink, endpointId.c_str(), eventContext);
}
