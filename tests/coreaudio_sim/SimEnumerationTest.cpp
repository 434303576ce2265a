// Enumeration, defaults, devices, properties, endpoint volume and the scenario format.
#include "tests/coreaudio_sim/SimTestSupport.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace CoreAudioSimTest {
namespace {

const char kMixedScenario[] =
    "endpoint R1 render active 2 Render One\n"
    "endpoint R2 render unplugged 2 Render Two\n"
    "endpoint C1 capture active 1 Capture One\n"
    "endpoint C2 capture disabled 1 Capture Two\n"
    "endpoint R3 render notpresent 2 Render Three\n";

std::vector<std::wstring> Enumerate(IMMDeviceEnumerator* enumerator, EDataFlow flow, DWORD mask, HRESULT* result = nullptr)
{
    std::vector<std::wstring> ids;
    ComPtr<IMMDeviceCollection> collection;
    HRESULT hr = enumerator->EnumAudioEndpoints(flow, mask, &collection);
    if (result)
        *result = hr;
    if (FAILED(hr))
        return ids;
    UINT count = 0;
    collection->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (collection->Item(i, &device) == S_OK)
            ids.push_back(IdOf(device.Get()));
    }
    return ids;
}

using SimEnumerationTest = SimTest;

TEST_F(SimEnumerationTest, CoCreateInstanceLoadsTheSimulator)
{
    ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();
    ASSERT_TRUE(enumerator);
    EXPECT_NE(nullptr, GetModuleHandleW(L"KestrunCoreAudioSim.dll"));
}

TEST_F(SimEnumerationTest, DemoHasTheTwoLumirelOutputsWithSpdifAsDefault)
{
    CoreAudioSim::SimState state;
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    ASSERT_EQ(2u, state.endpoints.size());
    EXPECT_EQ(L"SPDIF Interface (Lumirel USB Audio Device)", state.endpoints[0].name);
    EXPECT_EQ(L"Speakers (Lumirel USB Audio Device)", state.endpoints[1].name);
    for (const auto& endpoint : state.endpoints) {
        EXPECT_EQ(DWORD(DEVICE_STATE_ACTIVE), endpoint.state);
        EXPECT_EQ(std::vector<float>({0.8f, 0.8f}), endpoint.levels);
        EXPECT_FALSE(endpoint.mute);
        EXPECT_FALSE(endpoint.subunits.empty());
    }
    for (int role = 0; role < 3; ++role) {
        ComPtr<IMMDevice> device;
        ASSERT_EQ(S_OK, Enumerator()->GetDefaultAudioEndpoint(eRender, static_cast<ERole>(role), &device));
        EXPECT_EQ(state.endpoints[0].id, IdOf(device.Get()));
    }
}

TEST_F(SimEnumerationTest, EnumerationFiltersByFlowAndStateMaskInScenarioOrder)
{
    Load(kMixedScenario);
    struct Case {
        EDataFlow flow;
        DWORD mask;
        std::vector<std::wstring> expected;
    } cases[] = {
        {eRender, DEVICE_STATE_ACTIVE, {L"R1"}},
        {eAll, DEVICE_STATE_ACTIVE, {L"R1", L"C1"}},
        {eAll, 0xB, {L"R1", L"R2", L"C1", L"C2"}},
        {eCapture, DEVICE_STATEMASK_ALL, {L"C1", L"C2"}},
        {eRender, DEVICE_STATE_NOTPRESENT, {L"R3"}},
        {eAll, DEVICE_STATEMASK_ALL, {L"R1", L"R2", L"C1", L"C2", L"R3"}},
        {eCapture, DEVICE_STATE_UNPLUGGED, {}},
    };
    ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();
    for (const Case& c : cases) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(c.expected, Enumerate(enumerator.Get(), c.flow, c.mask, &hr)) << "flow " << c.flow << " mask " << c.mask;
        EXPECT_EQ(S_OK, hr);
    }
    HRESULT hr = S_OK;
    Enumerate(enumerator.Get(), eAll, 0, &hr);
    EXPECT_EQ(E_INVALIDARG, hr);
    Enumerate(enumerator.Get(), eAll, 0x10, &hr);
    EXPECT_EQ(E_INVALIDARG, hr);
    Enumerate(enumerator.Get(), static_cast<EDataFlow>(3), DEVICE_STATE_ACTIVE, &hr);
    EXPECT_EQ(E_INVALIDARG, hr);

    ComPtr<IMMDeviceCollection> collection;
    ASSERT_EQ(S_OK, enumerator->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &collection));
    ComPtr<IMMDevice> beyond;
    EXPECT_EQ(E_INVALIDARG, collection->Item(2, &beyond));
    EXPECT_EQ(nullptr, beyond.Get());
}

TEST_F(SimEnumerationTest, DefaultEndpointPerFlowAndRole)
{
    Load("endpoint R1 render active 2 A\n"
         "endpoint R2 render active 2 B\n"
         "endpoint C1 capture active 1 Mic\n"
         "default render console R1\n"
         "default render multimedia R2\n"
         "default render communications 0\n"
         "default capture all none\n");
    ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();
    const std::wstring expected[3] = {L"R1", L"R2", L"R1"};
    for (int role = 0; role < 3; ++role) {
        ComPtr<IMMDevice> device;
        ASSERT_EQ(S_OK, enumerator->GetDefaultAudioEndpoint(eRender, static_cast<ERole>(role), &device));
        EXPECT_EQ(expected[role], IdOf(device.Get()));
    }
    IMMDevice* none = reinterpret_cast<IMMDevice*>(1);
    EXPECT_EQ(kNotFound, enumerator->GetDefaultAudioEndpoint(eCapture, eMultimedia, &none));
    EXPECT_EQ(nullptr, none);
    ComPtr<IMMDevice> device;
    EXPECT_EQ(E_INVALIDARG, enumerator->GetDefaultAudioEndpoint(eAll, eConsole, &device));
    EXPECT_EQ(E_INVALIDARG, enumerator->GetDefaultAudioEndpoint(eRender, static_cast<ERole>(3), &device));
}

TEST_F(SimEnumerationTest, GetDeviceFindsKnownIdsOnlyAndHeldDevicesOutliveRemoval)
{
    Load(kMixedScenario);
    ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();
    ComPtr<IMMDevice> device;
    EXPECT_EQ(kNotFound, enumerator->GetDevice(L"nonexistent", &device));
    EXPECT_EQ(E_POINTER, enumerator->GetDevice(nullptr, &device));
    ASSERT_EQ(S_OK, enumerator->GetDevice(L"R2", &device));
    DWORD state = 0;
    EXPECT_EQ(S_OK, device->GetState(&state));
    EXPECT_EQ(DWORD(DEVICE_STATE_UNPLUGGED), state);

    ASSERT_EQ(S_OK, CoreAudioSim::Remove(L"R2"));
    ComPtr<IMMDevice> again;
    EXPECT_EQ(kNotFound, enumerator->GetDevice(L"R2", &again));
    ComPtr<IAudioEndpointVolume> volume;
    EXPECT_EQ(kDeviceInvalidated, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
    // Windows invalidates every object of a removed endpoint.
    EXPECT_EQ(kDeviceInvalidated, device->GetState(&state));
    EXPECT_EQ(L"", IdOf(device.Get()));
}

TEST_F(SimEnumerationTest, InterfaceRulesAndReferenceCounts)
{
    ComPtr<IMMDevice> device;
    ASSERT_EQ(S_OK, Enumerator()->GetDefaultAudioEndpoint(eRender, eMultimedia, &device));
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(S_OK, device.As(&first));
    ComPtr<IMMEndpoint> endpoint;
    ASSERT_EQ(S_OK, device.As(&endpoint));
    ASSERT_EQ(S_OK, endpoint.As(&second));
    EXPECT_EQ(first.Get(), second.Get());  // one identity whatever the route
    EDataFlow flow = eAll;
    EXPECT_EQ(S_OK, endpoint->GetDataFlow(&flow));
    EXPECT_EQ(eRender, flow);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, device->QueryInterface(__uuidof(IAudioEndpointVolume), &out));
    EXPECT_EQ(nullptr, out);

    IMMDevice* raw = device.Get();
    ULONG held = raw->AddRef();
    EXPECT_EQ(held - 1, raw->Release());
}

TEST_F(SimEnumerationTest, LiveObjectsAreCountedByKindUntilTheirLastRelease)
{
    using namespace CoreAudioSim;
    LiveObjects before;
    ASSERT_TRUE(ReadLiveObjects(before));
    auto grown = [&](LiveKind kind) {
        LiveObjects now;
        EXPECT_TRUE(ReadLiveObjects(now));
        return now.count[kind] - before.count[kind];
    };
    {
        ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();
        ComPtr<IMMDeviceCollection> collection;
        ASSERT_EQ(S_OK, enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &collection));
        ComPtr<IMMDevice> device, same;
        ASSERT_EQ(S_OK, collection->Item(0, &device));
        ASSERT_EQ(S_OK, device.As(&same));  // a second reference, not a second object
        ComPtr<IAudioEndpointVolume> volume;
        ASSERT_EQ(S_OK, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
        ComPtr<IDeviceTopology> topology;
        ComPtr<IConnector> connector;
        ASSERT_EQ(S_OK, device->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
        ASSERT_EQ(S_OK, topology->GetConnector(0, &connector));
        ASSERT_EQ(S_OK, volume->RegisterControlChangeNotify(m_recorder.Get()));
        EXPECT_EQ(1, grown(kLiveEnumerator));
        EXPECT_EQ(1, grown(kLiveCollection));
        EXPECT_EQ(1, grown(kLiveDevice));
        EXPECT_EQ(1, grown(kLiveEndpointVolume));
        EXPECT_EQ(1, grown(kLiveEndpointTopology));
        EXPECT_EQ(1, grown(kLiveConnector));
        EXPECT_EQ(1, grown(kLiveVolumeCallbacks));
        LiveObjects now;
        ASSERT_TRUE(ReadLiveObjects(now));
        EXPECT_EQ(6, now.Objects() - before.Objects());

        // Another process reads this count once the watcher has published it.
        ASSERT_EQ(S_OK, SetChannelLevel(L"0", 0, 0.3f, kMixer));
        ASSERT_TRUE(WaitForDelivery());
        std::string output;
        ASSERT_EQ(0, RunControlTool(L"objects " + std::to_wstring(GetCurrentProcessId()), &output));
        EXPECT_NE(std::string::npos, output.find("endpoint-volume=" + std::to_string(now.count[kLiveEndpointVolume]))) << output;
        ASSERT_EQ(S_OK, volume->UnregisterControlChangeNotify(m_recorder.Get()));
    }
    LiveObjects after;
    ASSERT_TRUE(ReadLiveObjects(after));
    for (uint32_t k = 0; k < kLiveKindCount; ++k)
        EXPECT_EQ(before.count[k], after.count[k]) << LiveKindName(static_cast<LiveKind>(k));
}

TEST_F(SimEnumerationTest, FriendlyNameIsACoTaskMemString)
{
    Load("endpoint N render active 2 Name With Spaces (Lumirel)\n"
         "endpoint Q render active 2 Nameless\n"
         "fail noname\n"
         "endpoint P render active 2 Locked\n"
         "fail properties\n");
    ComPtr<IMMDeviceEnumerator> enumerator = Enumerator();

    ComPtr<IPropertyStore> store;
    ASSERT_EQ(S_OK, Device(L"N")->OpenPropertyStore(STGM_READ, &store));
    PROPVARIANT value;
    ASSERT_EQ(S_OK, store->GetValue(kFriendlyName, &value));
    ASSERT_EQ(VT_LPWSTR, value.vt);
    EXPECT_STREQ(L"Name With Spaces (Lumirel)", value.pwszVal);
    EXPECT_EQ(S_OK, PropVariantClear(&value));

    ComPtr<IPropertyStore> nameless;
    ASSERT_EQ(S_OK, Device(L"Q")->OpenPropertyStore(STGM_READ, &nameless));
    ASSERT_EQ(S_OK, nameless->GetValue(kFriendlyName, &value));
    EXPECT_EQ(VT_EMPTY, value.vt);

    ComPtr<IPropertyStore> locked;
    EXPECT_EQ(E_FAIL, Device(L"P")->OpenPropertyStore(STGM_READ, &locked));
    EXPECT_EQ(nullptr, locked.Get());
}

TEST_F(SimEnumerationTest, EndpointVolumeLevelsMuteAndChannelCount)
{
    Load("endpoint S render active 2 Stereo\n"
         "level 0 0.8\n"
         "level 1 0.4\n"
         "endpoint M render active 1 Mono\n"
         "level all 0.5\n");
    ComPtr<IAudioEndpointVolume> stereo = Volume(L"S");
    ComPtr<IAudioEndpointVolume> mono = Volume(L"M");
    ASSERT_TRUE(stereo && mono);

    UINT channels = 0;
    EXPECT_EQ(S_OK, mono->GetChannelCount(&channels));
    EXPECT_EQ(1u, channels);
    float level = -1.0f;
    EXPECT_EQ(S_OK, mono->GetChannelVolumeLevelScalar(0, &level));
    EXPECT_EQ(0.5f, level);
    EXPECT_EQ(E_INVALIDARG, mono->GetChannelVolumeLevelScalar(1, &level));
    EXPECT_EQ(E_INVALIDARG, mono->SetChannelVolumeLevelScalar(1, 0.3f, &kPanel));

    // The master is the loudest channel; setting it keeps the balance.
    EXPECT_EQ(S_OK, stereo->GetMasterVolumeLevelScalar(&level));
    EXPECT_FLOAT_EQ(0.8f, level);
    EXPECT_EQ(S_OK, stereo->SetMasterVolumeLevelScalar(0.4f, &kPanel));
    float left = 0, right = 0;
    stereo->GetChannelVolumeLevelScalar(0, &left);
    stereo->GetChannelVolumeLevelScalar(1, &right);
    EXPECT_FLOAT_EQ(0.4f, left);
    EXPECT_FLOAT_EQ(0.2f, right);

    const float bad[] = {-0.1f, 1.5f, std::numeric_limits<float>::quiet_NaN()};
    for (float value : bad)
        EXPECT_EQ(E_INVALIDARG, stereo->SetChannelVolumeLevelScalar(0, value, &kPanel)) << value;

    BOOL mute = TRUE;
    EXPECT_EQ(S_OK, stereo->GetMute(&mute));
    EXPECT_FALSE(mute);
    EXPECT_EQ(S_FALSE, stereo->SetMute(FALSE, &kPanel));
    EXPECT_EQ(S_OK, stereo->SetMute(TRUE, &kPanel));
    EXPECT_EQ(S_OK, stereo->GetMute(&mute));
    EXPECT_TRUE(mute);

    // The level is shared state: a second interface on the same endpoint sees the writes.
    EXPECT_EQ(S_OK, stereo->SetChannelVolumeLevelScalar(1, 0.75f, &kPanel));
    EXPECT_EQ(S_OK, Volume(L"S")->GetChannelVolumeLevelScalar(1, &level));
    EXPECT_EQ(0.75f, level);
}

TEST_F(SimEnumerationTest, CallLogKeepsSetCallsInOrderWithTheirContexts)
{
    ComPtr<IMMDevice> device;
    ASSERT_EQ(S_OK, Enumerator()->GetDefaultAudioEndpoint(eRender, eMultimedia, &device));
    ComPtr<IAudioEndpointVolume> volume;
    ASSERT_EQ(S_OK, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr, &volume));
    EXPECT_EQ(S_OK, volume->SetChannelVolumeLevelScalar(1, 0.7f, &kPanel));
    EXPECT_EQ(S_OK, volume->SetChannelVolumeLevelScalar(0, 0.7f, &kPanel));
    EXPECT_EQ(S_OK, volume->SetMute(TRUE, nullptr));
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"Speakers", 0, 0.1f, kMixer));

    auto log = CoreAudioSim::ReadCallLog();
    ASSERT_EQ(4u, log.size());
    const std::wstring spdif = IdOf(device.Get());
    EXPECT_EQ(CoreAudioSim::kCallSetChannelLevel, log[0].kind);
    EXPECT_EQ(1u, log[0].channel);
    EXPECT_EQ(0.7f, log[0].value);
    EXPECT_EQ(kPanel, log[0].context);
    EXPECT_EQ(spdif, log[0].endpointId);
    EXPECT_FALSE(log[0].viaControl);
    EXPECT_EQ(GetCurrentProcessId(), log[0].processId);
    EXPECT_EQ(0u, log[1].channel);
    EXPECT_EQ(CoreAudioSim::kCallSetMute, log[2].kind);
    EXPECT_EQ(GUID_NULL, log[2].context);
    EXPECT_TRUE(log[3].viaControl);
    EXPECT_EQ(kMixer, log[3].context);
    EXPECT_NE(spdif, log[3].endpointId);
}

TEST_F(SimEnumerationTest, ScenarioErrorsNameTheLineAndLeaveTheStateAlone)
{
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "endpoint E" + std::to_string(i) + " render active 2 N\n";
    struct Case {
        std::string text;
        int line;
    } cases[] = {
        {"endpoint X render active 2\n", 1},
        {"level all 0.5\n", 1},
        {"endpoint X sideways active 2 N\n", 1},
        {"endpoint X render asleep 2 N\n", 1},
        {"endpoint X render active 9 N\n", 1},
        {"endpoint X render active 2 N\nlevel 2 0.5\n", 2},
        {"endpoint X render active 2 N\nlevel all 1.5\n", 2},
        {"endpoint X render active 2 N\nsubunits 33 volume\n", 2},
        {"endpoint X render active 2 N\nsubunit volume fail=bogus\n", 2},
        {"endpoint X render active 2 N\nfail everything\n", 2},
        {"endpoint X render active 2 N\nendpoint X render active 2 M\n", 2},
        {"# comment\n\nendpoint X render active 2 N\ndefault render all Y\n", 4},
        {"endpoint X render active 2 N\ndefault capture all X\n", 2},
        {seventeen, 17},
        {"bogus\n", 1},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CoreAudioSim::LoadScenarioText(c.text, &error)) << c.text;
        EXPECT_NE(std::string::npos, error.find("line " + std::to_string(c.line) + ":")) << c.text << " -> " << error;
    }
    CoreAudioSim::SimState state;
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    EXPECT_EQ(2u, state.endpoints.size());  // still the demo
}

TEST_F(SimEnumerationTest, ResetTakesTheScenarioNamedByTheEnvironment)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring good = std::wstring(folder) + L"casim-good.txt";
    const std::wstring broken = std::wstring(folder) + L"casim-broken.txt";
    auto write = [](const std::wstring& path, const char* text) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        CloseHandle(file);
    };
    write(good, "endpoint X capture active 1 Only Microphone\n");
    write(broken, "endpoint X capture active\n");

    CoreAudioSim::SimState state;
    SetEnvironmentVariableW(L"KESTRUN_COREAUDIO_SCENARIO", good.c_str());
    ASSERT_TRUE(CoreAudioSim::Reset());
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    ASSERT_EQ(1u, state.endpoints.size());
    EXPECT_EQ(L"Only Microphone", state.endpoints[0].name);
    EXPECT_EQ(L"X", state.defaults[CoreAudioSim::kFlowCapture][eCommunications]);

    // A scenario that does not parse leaves no endpoints rather than quietly the demo.
    SetEnvironmentVariableW(L"KESTRUN_COREAUDIO_SCENARIO", broken.c_str());
    ASSERT_TRUE(CoreAudioSim::Reset());
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    EXPECT_TRUE(state.endpoints.empty());

    SetEnvironmentVariableW(L"KESTRUN_COREAUDIO_SCENARIO", nullptr);
    ASSERT_TRUE(CoreAudioSim::Reset());
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    EXPECT_EQ(2u, state.endpoints.size());
    DeleteFileW(good.c_str());
    DeleteFileW(broken.c_str());
}

TEST_F(SimEnumerationTest, FailuresCanBeOrderedPerEndpoint)
{
    Load("endpoint V render active 2 A\nfail volume\n"
         "endpoint T render active 2 B\nfail topology\n"
         "endpoint G render active 2 C\nfail getlevel,setlevel\n");
    ComPtr<IAudioEndpointVolume> volume;
    EXPECT_EQ(E_FAIL, Device(L"V")->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));
    EXPECT_EQ(nullptr, volume.Get());
    ComPtr<IDeviceTopology> topology;
    EXPECT_EQ(E_NOINTERFACE, Device(L"T")->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
    EXPECT_EQ(S_OK, Device(L"T")->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume));

    volume = Volume(L"G");
    ASSERT_TRUE(volume);
    float level = 0.5f;
    EXPECT_EQ(E_FAIL, volume->GetChannelVolumeLevelScalar(0, &level));
    EXPECT_EQ(E_FAIL, volume->SetChannelVolumeLevelScalar(0, 0.2f, &kPanel));
    BOOL mute = FALSE;
    EXPECT_EQ(E_FAIL, volume->GetMute(&mute));
    // The mixer is not the failing caller: its change still lands.
    EXPECT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"G", 0, 0.2f, kMixer));
}

}  // namespace
}  // namespace CoreAudioSimTest
