// The three Core Audio notification sinks. Core Audio calls them on its own threads; each
// callback only posts a message to the application's main window (the panel), which does the
// work later on its own thread.
#pragma once
#include "audio/ComSink.h"

#include <windows.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <devicetopology.h>

#include <atomic>
#include <mutex>
#include <string>

// Endpoint volume and mute changes: posts WM_VOLUME_REFRESH, wParam 0, unless the change
// carries m_eventContext (the panel's own change).
class CAudioEndpointVolumeCallback final
    : public CComSink<CAudioEndpointVolumeCallback, IAudioEndpointVolumeCallback> {
public:
    CAudioEndpointVolumeCallback() = default;

    STDMETHODIMP OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA notify) override;

    void SetEventContext(const GUID& context) { m_eventContext = context; }

private:
    friend class CComSink<CAudioEndpointVolumeCallback, IAudioEndpointVolumeCallback>;
    ~CAudioEndpointVolumeCallback() = default;  // only Release destroys a sink

    GUID m_eventContext = {};
};

// Hardware control changes found by the topology walk: posts WM_VOLUME_REFRESH, wParam 1,
// unless the change carries m_eventContext. A null context counts as foreign.
class CControlChangeNotify final : public CComSink<CControlChangeNotify, IControlChangeNotify> {
public:
    CControlChangeNotify() = default;

    STDMETHODIMP OnNotify(DWORD senderProcessId, LPCGUID eventContext) override;

    void SetEventContext(const GUID& context) { m_eventContext = context; }

private:
    friend class CComSink<CControlChangeNotify, IControlChangeNotify>;
    ~CControlChangeNotify() = default;

    GUID m_eventContext = {};
};

// Default endpoint changes: posts WM_OUTPUT_CHANGED with lParam 0 when the new default's name
// carries an S/PDIF keyword and then lParam 1 when it carries a Speaker keyword (case-sensitive).
// An endpoint added, one that becomes active and a new render default also post
// WM_AUDIO_DEVICE_ARRIVED (coalesced), after the name look-up.
class CMMNotificationClient final : public CComSink<CMMNotificationClient, IMMNotificationClient> {
public:
    CMMNotificationClient() = default;

    STDMETHODIMP OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) override;
    STDMETHODIMP OnDeviceAdded(LPCWSTR deviceId) override;
    STDMETHODIMP OnDeviceRemoved(LPCWSTR deviceId) override;
    STDMETHODIMP OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR deviceId) override;
    STDMETHODIMP OnPropertyValueChanged(LPCWSTR deviceId, const PROPERTYKEY key) override;

    // Reads the endpoint's friendly name, converted to the ANSI code page, into name (empty
    // when any step fails) and returns the HRESULT of the last step taken. Runs on the
    // notifying thread with COM initialised there for the duration of the call. Concurrent
    // callbacks each get their own result; m_deviceName only keeps a copy of the latest.
    HRESULT LookupDeviceName(LPCWSTR deviceId, std::string& name);

    // The name from the most recent look-up, for the record.
    std::string DeviceName() const;

private:
    friend class CComSink<CMMNotificationClient, IMMNotificationClient>;
    ~CMMNotificationClient();
    HRESULT EnsureEnumerator(IMMDeviceEnumerator** enumerator);

    // Created by the first look-up on whichever thread gets there first; owned by the sink.
    std::atomic<IMMDeviceEnumerator*> m_enumerator{nullptr};
    mutable std::mutex m_deviceNameLock;
    std::string m_deviceName;
};
