#include "audio/CoreAudioHelpers.h"

// Defines PKEY_Device_FriendlyName here; mingw-w64's uuid library does not carry it.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>
#include <propidl.h>

using Microsoft::WRL::ComPtr;

HRESULT CreateDeviceEnumerator(DWORD classContext, ComPtr<IMMDeviceEnumerator>& enumerator)
{
    enumerator.Reset();
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, classContext,
                                  IID_PPV_ARGS(enumerator.GetAddressOf()));
    if (SUCCEEDED(hr) && !enumerator)
        hr = E_POINTER;
    return hr;
}

HRESULT ReadFriendlyName(IMMDevice* device, std::wstring& name)
{
    name.clear();
    if (device == nullptr)
        return E_POINTER;
    ComPtr<IPropertyStore> store;
    HRESULT hr = device->OpenPropertyStore(STGM_READ, store.GetAddressOf());
    if (hr != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    if (!store)
        return E_POINTER;

    PROPVARIANT value;
    PropVariantInit(&value);
    hr = store->GetValue(PKEY_Device_FriendlyName, &value);
    if (hr == S_OK) {
        if (value.vt == VT_LPWSTR && value.pwszVal != nullptr)
            name = value.pwszVal;
        else
            hr = E_UNEXPECTED;
    } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
    }
    PropVariantClear(&value);
    return hr;
}

HRESULT ReadEndpointId(IMMDevice* device, std::wstring& id)
{
    if (device == nullptr)
        return E_POINTER;
    LPWSTR raw = nullptr;
    HRESULT hr = device->GetId(&raw);
    if (SUCCEEDED(hr) && raw == nullptr)
        hr = E_POINTER;
    if (SUCCEEDED(hr))
        id = raw;
    CoTaskMemFree(raw);
    return hr;
}

HRESULT ActivateDefaultEndpointVolume(ComPtr<IAudioEndpointVolume>& volume)
{
    volume.Reset();
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CreateDeviceEnumerator(CLSCTX_INPROC_SERVER, enumerator);
    if (FAILED(hr))
        return hr;
    ComPtr<IMMDevice> device;
    hr = enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.GetAddressOf());
    if (FAILED(hr))
        return hr;
    if (!device)
        return E_POINTER;
    hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                          reinterpret_cast<void**>(volume.GetAddressOf()));
    if (SUCCEEDED(hr) && !volume)
        hr = E_POINTER;
    if (FAILED(hr))
        volume.Reset();
    return hr;
}
