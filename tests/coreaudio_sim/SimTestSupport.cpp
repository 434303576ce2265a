#include "tests/coreaudio_sim/SimTestSupport.h"

#include "tests/support/Launch.h"

#include <cstddef>

namespace CoreAudioSimTest {

STDMETHODIMP CRecorder::QueryInterface(REFIID iid, void** out)
{
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioEndpointVolumeCallback))
        *out = static_cast<IAudioEndpointVolumeCallback*>(this);
    else if (iid == __uuidof(IMMNotificationClient))
        *out = static_cast<IMMNotificationClient*>(this);
    else if (iid == __uuidof(IControlChangeNotify))
        *out = static_cast<IControlChangeNotify*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP CRecorder::OnNotify(AUDIO_VOLUME_NOTIFICATION_DATA* data)
{
    VolumeNote note{GetCurrentThreadId(), data->guidEventContext, data->bMuted, data->fMasterVolume, {}};
    note.channels.assign(data->afChannelVolumes, data->afChannelVolumes + data->nChannels);
    std::lock_guard<std::mutex> guard(m_mutex);
    m_volume.push_back(note);
    return S_OK;
}

STDMETHODIMP CRecorder::OnNotify(DWORD senderProcessId, LPCGUID context)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_control.push_back(ControlNote{GetCurrentThreadId(), senderProcessId, context == nullptr, context ? *context : GUID_NULL});
    return S_OK;
}

void CRecorder::AddDevice(DeviceNote note)
{
    note.threadId = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_device.push_back(note);
}

STDMETHODIMP CRecorder::OnDeviceStateChanged(LPCWSTR id, DWORD state)
{
    AddDevice(DeviceNote{DeviceNote::StateChanged, 0, id == nullptr, id ? id : L"", eRender, eConsole, state});
    return S_OK;
}

STDMETHODIMP CRecorder::OnDeviceAdded(LPCWSTR id)
{
    AddDevice(DeviceNote{DeviceNote::Added, 0, id == nullptr, id ? id : L"", eRender, eConsole, 0});
    return S_OK;
}

STDMETHODIMP CRecorder::OnDeviceRemoved(LPCWSTR id)
{
    AddDevice(DeviceNote{DeviceNote::Removed, 0, id == nullptr, id ? id : L"", eRender, eConsole, 0});
    return S_OK;
}

STDMETHODIMP CRecorder::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id)
{
    AddDevice(DeviceNote{DeviceNote::DefaultChanged, 0, id == nullptr, id ? id : L"", flow, role, 0});
    return S_OK;
}

STDMETHODIMP CRecorder::OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY key)
{
    AddDevice(DeviceNote{DeviceNote::PropertyChanged, 0, id == nullptr, id ? id : L"", eRender, eConsole, key.pid});
    return S_OK;
}

std::vector<VolumeNote> CRecorder::Volume()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_volume;
}

std::vector<DeviceNote> CRecorder::Device()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_device;
}

std::vector<ControlNote> CRecorder::Control()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_control;
}

void SimTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(CoreAudioSim::Reset());
    m_recorder.Attach(new CRecorder());
}

void SimTest::TearDown()
{
    m_recorder.Reset();
    CoUninitialize();
}

ComPtr<IMMDeviceEnumerator> SimTest::Enumerator()
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator));
    EXPECT_EQ(S_OK, hr);
    return enumerator;
}

void SimTest::Load(const std::string& scenario)
{
    std::string error;
    ASSERT_TRUE(CoreAudioSim::LoadScenarioText(scenario, &error)) << error;
}

ComPtr<IMMDevice> SimTest::Device(const std::wstring& id)
{
    ComPtr<IMMDevice> device;
    EXPECT_EQ(S_OK, Enumerator()->GetDevice(id.c_str(), &device));
    return device;
}

ComPtr<IAudioEndpointVolume> SimTest::Volume(const std::wstring& id)
{
    ComPtr<IAudioEndpointVolume> volume;
    ComPtr<IMMDevice> device = Device(id);
    if (device) {
        EXPECT_EQ(S_OK, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
    }
    return volume;
}

std::wstring IdOf(IMMDevice* device)
{
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id)) || !id)
        return L"";
    std::wstring text = id;
    CoTaskMemFree(id);
    return text;
}

int RunControlTool(const std::wstring& arguments, std::string* output)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring tool = path;
    tool = tool.substr(0, tool.find_last_of(L"\\/") + 1) + L"coreaudioctl.exe";

    const std::string exe = testsupport::Narrow(tool);
    const testsupport::RunResult run = testsupport::Run(
        {.exe = exe, .commandLine = "\"" + exe + "\" " + testsupport::Narrow(arguments), .flags = CREATE_NO_WINDOW},
        30000, true);
    if (!run.started)
        return -1;
    if (output)
        *output = run.output;
    return run.finished ? static_cast<int>(run.exitCode) : -1;
}

}  // namespace CoreAudioSimTest
