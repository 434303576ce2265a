#include "tests/audio/AudioTestSupport.h"

#include "framework/afxwin.h"
#include "audio/AudioMessages.h"
#include "audio/DeviceTopologyCompat.h"
#include "audio/VolumeRefresh.h"
#include "sim/coreaudio/SimControl.h"

#include <endpointvolume.h>
#include <devicetopology.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

using Microsoft::WRL::ComPtr;

namespace {

CWinApp theApp;

class AudioTestEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        // Loads the simulator into this process, which waiting for its deliveries needs.
        ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                         IID_PPV_ARGS(m_enumerator.GetAddressOf())));
        m_hwnd = CreateWindowExA(0, "STATIC", "audio test main window", 0, 0, 0, 0, 0,
                                 HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, m_hwnd);
        theApp.m_pMainWnd = &m_wnd;
        m_wnd.Attach(m_hwnd);
    }

    void TearDown() override
    {
        m_wnd.Detach();
        theApp.m_pMainWnd = nullptr;
        DestroyWindow(m_hwnd);
        m_enumerator.Reset();
    }

private:
    ComPtr<IMMDeviceEnumerator> m_enumerator;
    HWND m_hwnd = nullptr;
    CWnd m_wnd;
};

void UnregisterFromTopology(IMMDevice* device, IControlChangeNotify* sink)
{
    ComPtr<IDeviceTopology> endpointTopology;
    ComPtr<IConnector> connector, adapterConnector;
    ComPtr<IPart> adapterPart;
    ComPtr<IDeviceTopology> adapter;
    UINT count = 0;
    if (FAILED(device->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(endpointTopology.GetAddressOf()))) ||
        FAILED(endpointTopology->GetConnector(0, connector.GetAddressOf())) ||
        FAILED(connector->GetConnectedTo(adapterConnector.GetAddressOf())) ||
        FAILED(adapterConnector.As(&adapterPart)) ||
        FAILED(GetPartTopology(adapterPart.Get(), adapter.GetAddressOf())) ||
        FAILED(adapter->GetSubunitCount(&count)))
        return;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<SubunitInterface> subunit;
        ComPtr<IPart> part;
        if (SUCCEEDED(adapter->GetSubunit(i, subunit.GetAddressOf())) &&
            SUCCEEDED(subunit.As(&part)))
            part->UnregisterControlChangeCallback(sink);
    }
}

}  // namespace

// Registered before gtest_main runs the tests; gtest owns and deletes it.
[[maybe_unused]] testing::Environment* const g_audioEnvironment =
    testing::AddGlobalTestEnvironment(new AudioTestEnvironment());

std::vector<LPARAM> OutputChanges(const std::vector<PostedMessage>& posted)
{
    std::vector<LPARAM> result;
    for (const PostedMessage& m : posted) {
        if (m.message == WM_OUTPUT_CHANGED)
            result.push_back(m.lParam);
    }
    return result;
}

std::vector<WPARAM> VolumeRefreshes(const std::vector<PostedMessage>& posted)
{
    std::vector<WPARAM> result;
    for (const PostedMessage& m : posted) {
        if (m.message == WM_VOLUME_REFRESH)
            result.push_back(m.wParam);
    }
    return result;
}

std::vector<PostedMessage> CollectPosted()
{
    // A batch counts as delivered once all its callbacks have returned, and the sinks post
    // from inside them: after the wait everything they posted is in the queue already.
    EXPECT_TRUE(CoreAudioSim::WaitForDelivery(5000));
    std::vector<PostedMessage> posted;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_VOLUME_REFRESH || msg.message == WM_OUTPUT_CHANGED || msg.message == WM_AUDIO_DEVICE_ARRIVED)
            posted.push_back({msg.message, msg.wParam, msg.lParam});
        // Taken, as the panel's handlers do.
        if (msg.message == WM_VOLUME_REFRESH)
            ClearVolumeRefreshPending(msg.wParam);
        else if (msg.message == WM_AUDIO_DEVICE_ARRIVED)
            ClearDeviceArrivedPending();
        else
            DispatchMessageA(&msg);
    }
    return posted;
}

void LoadScenario(const std::string& text)
{
    std::string error;
    ASSERT_TRUE(CoreAudioSim::LoadScenarioText(text, &error)) << error;
}

void UnregisterEverywhere(IUnknown* sink)
{
    if (sink == nullptr)
        return;
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                IID_PPV_ARGS(enumerator.GetAddressOf()))))
        return;
    ComPtr<IMMNotificationClient> client;
    if (SUCCEEDED(sink->QueryInterface(IID_PPV_ARGS(client.GetAddressOf()))))
        enumerator->UnregisterEndpointNotificationCallback(client.Get());
    ComPtr<IAudioEndpointVolumeCallback> volumeSink;
    sink->QueryInterface(IID_PPV_ARGS(volumeSink.GetAddressOf()));
    ComPtr<IControlChangeNotify> controlSink;
    sink->QueryInterface(IID_PPV_ARGS(controlSink.GetAddressOf()));

    ComPtr<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(eAll, DEVICE_STATEMASK_ALL,
                                              collection.GetAddressOf())) ||
        FAILED(collection->GetCount(&count)))
        return;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(collection->Item(i, device.GetAddressOf())))
            continue;
        if (volumeSink) {
            ComPtr<IAudioEndpointVolume> volume;
            if (SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                           reinterpret_cast<void**>(volume.GetAddressOf()))))
                volume->UnregisterControlChangeNotify(volumeSink.Get());
        }
        if (controlSink)
            UnregisterFromTopology(device.Get(), controlSink.Get());
    }
}
