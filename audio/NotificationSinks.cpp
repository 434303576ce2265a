#include "audio/NotificationSinks.h"

#include "audio/CoreAudioHelpers.h"
#include "audio/EndpointKeywords.h"
#include "audio/VolumeRefresh.h"
#include "framework/afxwin.h"
#include "audio/AudioMessages.h"

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace {

bool SameContext(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

}  // namespace

// --- CAudioEndpointVolumeCallback ---

STDMETHODIMP CAudioEndpointVolumeCallback::OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA notify)
{
    if (notify == nullptr || !SameContext(notify->guidEventContext, m_eventContext))
        PostVolumeRefresh(0);
    return S_OK;
}

// --- CControlChangeNotify ---

STDMETHODIMP CControlChangeNotify::OnNotify(DWORD senderProcessId, LPCGUID eventContext)
{
    if (eventContext == nullptr || !SameContext(*eventContext, m_eventContext))
        PostVolumeRefresh(1);
    return S_OK;
}

// --- CMMNotificationClient ---

CMMNotificationClient::~CMMNotificationClient()
{
    if (IMMDeviceEnumerator* enumerator = m_enumerator.exchange(nullptr))
        enumerator->Release();
}

HRESULT CMMNotificationClient::EnsureEnumerator(IMMDeviceEnumerator** enumerator)
{
    IMMDeviceEnumerator* current = m_enumerator.load();
    if (current == nullptr) {
        ComPtr<IMMDeviceEnumerator> created;
        const HRESULT hr = CreateDeviceEnumerator(CLSCTX_INPROC_SERVER, created);
        if (FAILED(hr))
            return hr;
        // Two first look-ups may race here: one enumerator is kept, the other released.
        IMMDeviceEnumerator* expected = nullptr;
        if (m_enumerator.compare_exchange_strong(expected, created.Get())) {
            current = created.Detach();
        } else {
            current = expected;
        }
    }
    current->AddRef();
    *enumerator = current;
    return S_OK;
}

HRESULT CMMNotificationClient::LookupDeviceName(LPCWSTR deviceId, std::string& name)
{
    name.clear();
    const HRESULT init = CoInitialize(nullptr);
    HRESULT hr = S_OK;
    {
        ComPtr<IMMDeviceEnumerator> enumerator;
        hr = EnsureEnumerator(enumerator.GetAddressOf());
        ComPtr<IMMDevice> device;
        if (SUCCEEDED(hr)) {
            if (deviceId == nullptr) {
                hr = E_POINTER;  // no default endpoint left
            } else {
                hr = enumerator->GetDevice(deviceId, device.GetAddressOf());
                if (hr == S_OK && !device)
                    hr = E_POINTER;
            }
        }
        std::wstring friendlyName;
        if (hr == S_OK)
            hr = ReadFriendlyName(device.Get(), friendlyName);
        if (hr == S_OK)
            name = ToAnsiText(friendlyName.c_str());
    }
    {
        std::lock_guard<std::mutex> lock(m_deviceNameLock);
        m_deviceName = name;
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return hr;
}

std::string CMMNotificationClient::DeviceName() const
{
    std::lock_guard<std::mutex> lock(m_deviceNameLock);
    return m_deviceName;
}

// An endpoint that arrives or comes back has a new life: what the panel registered through
// its earlier objects is dead. The panel renews that on its own thread.
STDMETHODIMP CMMNotificationClient::OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState)
{
    std::string name;
    LookupDeviceName(deviceId, name);
    if (newState == DEVICE_STATE_ACTIVE)
        PostDeviceArrived();
    return S_OK;
}

STDMETHODIMP CMMNotificationClient::OnDeviceAdded(LPCWSTR deviceId)
{
    std::string name;
    LookupDeviceName(deviceId, name);
    PostDeviceArrived();
    return S_OK;
}

STDMETHODIMP CMMNotificationClient::OnDeviceRemoved(LPCWSTR deviceId)
{
    std::string name;
    LookupDeviceName(deviceId, name);
    return S_OK;
}

STDMETHODIMP CMMNotificationClient::OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                           LPCWSTR deviceId)
{
    // Flow and role are deliberately not looked at: every call is handled on its own.
    std::string name;
    LookupDeviceName(deviceId, name);
    if (MatchesKeywordList(name, KeywordList::SpdifChange))
        AfxPostToMainWnd(WM_OUTPUT_CHANGED, 0, 0);
    if (MatchesKeywordList(name, KeywordList::SpeakerChange))
        AfxPostToMainWnd(WM_OUTPUT_CHANGED, 0, 1);
    // The sliders act on the render default: the panel must hear that endpoint's changes too.
    if (flow == eRender && deviceId != nullptr)
        PostDeviceArrived();
    return S_OK;
}

STDMETHODIMP CMMNotificationClient::OnPropertyValueChanged(LPCWSTR deviceId,
                                                           const PROPERTYKEY key)
{
    std::string name;
    LookupDeviceName(deviceId, name);
    return S_OK;
}
