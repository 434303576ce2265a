// Helpers for the Core Audio simulator tests: COM set-up, a recording sink for every callback
// kind, and running coreaudioctl.exe as a second process.
#pragma once

#include "sim/coreaudio/SimControl.h"

#include <gtest/gtest.h>

#include <devicetopology.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <propsys.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace CoreAudioSimTest {

using Microsoft::WRL::ComPtr;

constexpr CLSID kClsidEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490L);
constexpr HRESULT kDeviceInvalidated = static_cast<HRESULT>(0x88890004L);
constexpr GUID kMixer = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID kPanel = {0x4FA3DCD0, 0x3E1B, 0x4BC3, {'4', 'b', 'e', '0', '7', '1', '0', '6'}};

struct VolumeNote {
    DWORD threadId;
    GUID context;
    BOOL muted;
    float master;
    std::vector<float> channels;
};

struct DeviceNote {
    enum Kind { StateChanged, Added, Removed, DefaultChanged, PropertyChanged } kind;
    DWORD threadId;
    bool nullId;
    std::wstring id;
    EDataFlow flow;
    ERole role;
    DWORD state;
};

struct ControlNote {
    DWORD threadId;
    DWORD senderProcessId;
    bool nullContext;
    GUID context;
};

// One object implementing all three callback interfaces, recording what arrives.
class CRecorder : public IAudioEndpointVolumeCallback, public IMMNotificationClient, public IControlChangeNotify {
public:
    virtual ~CRecorder() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }
    // IAudioEndpointVolumeCallback / IControlChangeNotify share the name OnNotify.
    STDMETHODIMP OnNotify(AUDIO_VOLUME_NOTIFICATION_DATA* data) override;
    STDMETHODIMP OnNotify(DWORD senderProcessId, LPCGUID context) override;
    STDMETHODIMP OnDeviceStateChanged(LPCWSTR id, DWORD state) override;
    STDMETHODIMP OnDeviceAdded(LPCWSTR id) override;
    STDMETHODIMP OnDeviceRemoved(LPCWSTR id) override;
    STDMETHODIMP OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override;
    STDMETHODIMP OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY key) override;

    std::vector<VolumeNote> Volume();
    std::vector<DeviceNote> Device();
    std::vector<ControlNote> Control();
    ULONG RefCount() const { return m_refCount; }

private:
    void AddDevice(DeviceNote note);
    std::atomic<ULONG> m_refCount{1};
    std::mutex m_mutex;
    std::vector<VolumeNote> m_volume;
    std::vector<DeviceNote> m_device;
    std::vector<ControlNote> m_control;
};

// COM for the test thread and a fresh simulator state for every test.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    ComPtr<IMMDeviceEnumerator> Enumerator();
    // Loads a scenario and fails the test when it does not parse.
    void Load(const std::string& scenario);
    ComPtr<IMMDevice> Device(const std::wstring& id);
    ComPtr<IAudioEndpointVolume> Volume(const std::wstring& id);

    ComPtr<CRecorder> m_recorder;
};

// Runs coreaudioctl.exe (beside the test executable) with arguments; returns its exit code
// and what it printed.
int RunControlTool(const std::wstring& arguments, std::string* output = nullptr);

std::wstring IdOf(IMMDevice* device);

}  // namespace CoreAudioSimTest
