// Callbacks: arrival on a simulator thread, contexts, device notifications, changes made by
// another process through coreaudioctl.exe, and survival of a garbled shared block.
#include "tests/coreaudio_sim/SimTestSupport.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace CoreAudioSimTest {
namespace {

class SimNotificationTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        // These tests read the callbacks in the order of the changes, which only serial
        // delivery promises; ConcurrentDelivery below covers the default.
        ASSERT_TRUE(CoreAudioSim::SetSerialDelivery(true));
        CoreAudioSim::SimState state;
        ASSERT_TRUE(CoreAudioSim::ReadState(state));
        ASSERT_EQ(2u, state.endpoints.size());
        m_spdif = state.endpoints[0].id;
        m_speakers = state.endpoints[1].id;
        m_enumerator = Enumerator();
        m_volume = Volume(m_spdif);
        ASSERT_TRUE(m_volume);
        ASSERT_EQ(S_OK, m_volume->RegisterControlChangeNotify(m_recorder.Get()));
        ASSERT_EQ(S_OK, m_enumerator->RegisterEndpointNotificationCallback(m_recorder.Get()));
    }
    void TearDown() override
    {
        if (m_volume)
            m_volume->UnregisterControlChangeNotify(m_recorder.Get());
        if (m_enumerator)
            m_enumerator->UnregisterEndpointNotificationCallback(m_recorder.Get());
        m_volume.Reset();
        m_enumerator.Reset();
        SimTest::TearDown();
    }
    void Deliver() { ASSERT_TRUE(CoreAudioSim::WaitForDelivery()); }

    std::vector<DeviceNote> DefaultChanges()
    {
        std::vector<DeviceNote> notes;
        for (const DeviceNote& note : m_recorder->Device()) {
            if (note.kind == DeviceNote::DefaultChanged)
                notes.push_back(note);
        }
        return notes;
    }

    std::wstring m_spdif;
    std::wstring m_speakers;
    ComPtr<IMMDeviceEnumerator> m_enumerator;
    ComPtr<IAudioEndpointVolume> m_volume;
};

TEST_F(SimNotificationTest, ForeignVolumeChangeArrivesOnASimulatorThreadWithItsContext)
{
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"SPDIF Interface (Lumirel USB Audio Device)", 1, 0.3f, kMixer));
    Deliver();
    auto notes = m_recorder->Volume();
    ASSERT_EQ(1u, notes.size());
    EXPECT_NE(GetCurrentThreadId(), notes[0].threadId);
    EXPECT_EQ(kMixer, notes[0].context);
    EXPECT_EQ(std::vector<float>({0.8f, 0.3f}), notes[0].channels);
    EXPECT_FLOAT_EQ(0.8f, notes[0].master);
    EXPECT_FALSE(notes[0].muted);
}

TEST_F(SimNotificationTest, OwnChangeIsEchoedOffThreadWithTheCallersContextAndOnlyWhenSomethingChanged)
{
    ASSERT_EQ(S_OK, m_volume->SetChannelVolumeLevelScalar(0, 0.7f, &kPanel));
    ASSERT_EQ(S_OK, m_volume->SetMute(TRUE, nullptr));
    ASSERT_EQ(S_OK, m_volume->SetChannelVolumeLevelScalar(0, 0.7f, &kPanel));  // same level: no notification
    ASSERT_EQ(S_FALSE, m_volume->SetMute(TRUE, &kPanel));
    Deliver();
    auto notes = m_recorder->Volume();
    ASSERT_EQ(2u, notes.size());
    EXPECT_NE(GetCurrentThreadId(), notes[0].threadId);
    EXPECT_EQ(kPanel, notes[0].context);
    EXPECT_EQ(0.7f, notes[0].channels[0]);
    EXPECT_EQ(GUID_NULL, notes[1].context);  // a null context arrives as GUID_NULL
    EXPECT_TRUE(notes[1].muted);
}

TEST_F(SimNotificationTest, VolumeCallbacksFollowTheirEndpointAndStopWhenUnregistered)
{
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(m_speakers, 0, 0.1f, kMixer));
    Deliver();
    EXPECT_TRUE(m_recorder->Volume().empty());

    ASSERT_EQ(S_OK, m_volume->UnregisterControlChangeNotify(m_recorder.Get()));
    EXPECT_EQ(kNotFound, m_volume->UnregisterControlChangeNotify(m_recorder.Get()));
    ASSERT_EQ(S_OK, CoreAudioSim::SetMute(m_spdif, true, kMixer));
    Deliver();
    EXPECT_TRUE(m_recorder->Volume().empty());

    auto registrations = CoreAudioSim::ReadRegistrations();
    ASSERT_GE(registrations.size(), 3u);
    EXPECT_EQ(CoreAudioSim::kRegEndpointVolume, registrations[0].kind);
    EXPECT_EQ(m_spdif, registrations[0].endpointId);
    EXPECT_EQ(CoreAudioSim::kRegNotificationClient, registrations[1].kind);
    EXPECT_TRUE(registrations[2].unregister);
}

TEST_F(SimNotificationTest, DefaultChangeIsReportedOncePerRole)
{
    ASSERT_EQ(S_OK, CoreAudioSim::SetDefault(L"1", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll));
    Deliver();
    auto notes = DefaultChanges();
    ASSERT_EQ(3u, notes.size());
    for (int role = 0; role < 3; ++role) {
        EXPECT_EQ(eRender, notes[role].flow);
        EXPECT_EQ(static_cast<ERole>(role), notes[role].role);
        EXPECT_EQ(m_speakers, notes[role].id);
        EXPECT_NE(GetCurrentThreadId(), notes[role].threadId);
    }
    ComPtr<IMMDevice> device;
    ASSERT_EQ(S_OK, m_enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device));
    EXPECT_EQ(m_speakers, IdOf(device.Get()));

    EXPECT_EQ(E_INVALIDARG, CoreAudioSim::SetDefault(L"1", CoreAudioSim::kFlowCapture, CoreAudioSim::kRoleConsole));
}

// Records how many of its callbacks run at the same moment, and on which threads.
class COverlapClient : public IMMNotificationClient {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refCount; }  // lives on the test's stack
    STDMETHODIMP OnDefaultDeviceChanged(EDataFlow, ERole, LPCWSTR) override
    {
        int now = ++m_inside;
        int seen = m_most.load();
        while (now > seen && !m_most.compare_exchange_weak(seen, now)) {
        }
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_threads.push_back(GetCurrentThreadId());
        }
        Sleep(50);
        --m_inside;
        return S_OK;
    }
    STDMETHODIMP OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    STDMETHODIMP OnDeviceAdded(LPCWSTR) override { return S_OK; }
    STDMETHODIMP OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    STDMETHODIMP OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

    std::atomic<ULONG> m_refCount{1};
    std::atomic<int> m_inside{0};
    std::atomic<int> m_most{0};
    std::mutex m_mutex;
    std::vector<DWORD> m_threads;
};

TEST_F(SimNotificationTest, CallbacksOfOneClientRunConcurrentlyOnSeveralThreads)
{
    ASSERT_TRUE(CoreAudioSim::SetSerialDelivery(false));  // the default, as Windows delivers
    COverlapClient client;
    ASSERT_EQ(S_OK, m_enumerator->RegisterEndpointNotificationCallback(&client));
    ASSERT_EQ(S_OK, CoreAudioSim::SetDefault(L"1", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll));
    Deliver();
    EXPECT_EQ(S_OK, m_enumerator->UnregisterEndpointNotificationCallback(&client));
    EXPECT_EQ(3u, client.m_threads.size());
    EXPECT_GE(client.m_most.load(), 2);
    std::sort(client.m_threads.begin(), client.m_threads.end());
    EXPECT_GE(std::unique(client.m_threads.begin(), client.m_threads.end()) - client.m_threads.begin(), 2);
    EXPECT_EQ(std::count(client.m_threads.begin(), client.m_threads.end(), GetCurrentThreadId()), 0);
}

TEST_F(SimNotificationTest, EveryChangeReachesAWatcherThatFallsFarBehind)
{
    // The first callback stalls this process's delivery while the changes pile up.
    std::atomic<int> calls{0};
    struct CSlowSink : IAudioEndpointVolumeCallback {
        std::atomic<int>* calls;
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override
        {
            *out = (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioEndpointVolumeCallback)) ? this : nullptr;
            return *out ? S_OK : E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
        STDMETHODIMP OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA) override
        {
            if ((*calls)++ == 0)
                Sleep(300);
            return S_OK;
        }
    } slow;
    slow.calls = &calls;
    ASSERT_EQ(S_OK, m_volume->RegisterControlChangeNotify(&slow));
    const int kChanges = 3000;  // several times what the shared log holds at once
    for (int i = 0; i < kChanges; ++i)
        ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"0", 0, (i % 2) ? 0.25f : 0.75f, kMixer));
    Deliver();
    EXPECT_EQ(S_OK, m_volume->UnregisterControlChangeNotify(&slow));
    EXPECT_EQ(kChanges, calls.load());
    EXPECT_EQ(static_cast<size_t>(kChanges), m_recorder->Volume().size());
    for (const CoreAudioSim::ListenerInfo& listener : CoreAudioSim::ReadListeners()) {
        if (listener.processId == GetCurrentProcessId()) {
            EXPECT_EQ(0u, listener.lost);
        }
    }
}

TEST_F(SimNotificationTest, UnpluggingTheDefaultMovesItAndTheLastOneLeavesNone)
{
    ASSERT_EQ(S_OK, CoreAudioSim::Unplug(L"0"));
    Deliver();
    auto device = m_recorder->Device();
    ASSERT_EQ(4u, device.size());
    EXPECT_EQ(DeviceNote::StateChanged, device[0].kind);
    EXPECT_EQ(m_spdif, device[0].id);
    EXPECT_EQ(DWORD(DEVICE_STATE_UNPLUGGED), device[0].state);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(DeviceNote::DefaultChanged, device[i].kind);
        EXPECT_EQ(m_speakers, device[i].id);
    }

    ASSERT_EQ(S_OK, CoreAudioSim::Unplug(L"1"));
    Deliver();
    auto notes = DefaultChanges();
    ASSERT_EQ(6u, notes.size());
    for (int i = 3; i < 6; ++i)
        EXPECT_TRUE(notes[i].nullId);
    ComPtr<IMMDevice> none;
    EXPECT_EQ(kNotFound, m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &none));

    ASSERT_EQ(S_OK, CoreAudioSim::Plug(m_spdif));
    Deliver();
    notes = DefaultChanges();
    ASSERT_EQ(9u, notes.size());
    EXPECT_EQ(m_spdif, notes[8].id);
    ASSERT_EQ(S_OK, m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &none));
}

TEST_F(SimNotificationTest, RemoveAndRenameReachTheClient)
{
    ASSERT_EQ(S_OK, CoreAudioSim::Rename(L"1", L"Speaker Two"));
    ASSERT_EQ(S_OK, CoreAudioSim::Remove(L"Speaker Two"));
    Deliver();
    auto device = m_recorder->Device();
    ASSERT_EQ(3u, device.size());
    EXPECT_EQ(DeviceNote::PropertyChanged, device[0].kind);
    EXPECT_EQ(14u, device[0].state);  // PKEY_Device_FriendlyName's pid
    EXPECT_EQ(DeviceNote::StateChanged, device[1].kind);
    EXPECT_EQ(DeviceNote::Removed, device[2].kind);
    EXPECT_EQ(m_speakers, device[2].id);
    ComPtr<IMMDevice> gone;
    EXPECT_EQ(kNotFound, m_enumerator->GetDevice(m_speakers.c_str(), &gone));
}

TEST_F(SimNotificationTest, AReplugEndsTheLifeOfWhatWasHeldAndOfItsRegistrations)
{
    // Held from the first life: the device, its property store, the volume registered in SetUp
    // and subunit 0 registered for its control changes.
    ComPtr<IMMDevice> device = Device(m_spdif);
    ComPtr<IPropertyStore> store;
    ASSERT_EQ(S_OK, device->OpenPropertyStore(STGM_READ, &store));
    ComPtr<IPart> part;
    {
        ComPtr<IDeviceTopology> topology, hardware;
        ComPtr<IConnector> connector, adapter;
        ComPtr<IPart> adapterPart;
        ComPtr<ISubUnit> subunit;
        ASSERT_EQ(S_OK, device->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
        ASSERT_EQ(S_OK, topology->GetConnector(0, &connector));
        ASSERT_EQ(S_OK, connector->GetConnectedTo(&adapter));
        ASSERT_EQ(S_OK, adapter.As(&adapterPart));
        ASSERT_EQ(S_OK, adapterPart->GetTopologyObjects(&hardware));
        ASSERT_EQ(S_OK, hardware->GetSubunit(0, &subunit));
        ASSERT_EQ(S_OK, subunit.As(&part));
        ASSERT_EQ(S_OK, part->RegisterControlChangeCallback(__uuidof(IAudioVolumeLevel), m_recorder.Get()));
    }

    ASSERT_EQ(S_OK, CoreAudioSim::Replug(m_spdif));
    Deliver();
    std::vector<DWORD> states;
    for (const DeviceNote& note : m_recorder->Device()) {
        if (note.kind == DeviceNote::StateChanged && note.id == m_spdif)
            states.push_back(note.state);
    }
    EXPECT_EQ((std::vector<DWORD>{DEVICE_STATE_NOTPRESENT, DEVICE_STATE_ACTIVE}), states);
    EXPECT_EQ(m_spdif, DefaultChanges().back().id);  // a returning device gets its roles back

    DWORD state = 0;
    UINT localId = 0;
    BOOL mute = FALSE;
    const HRESULT calls[] = {
        device->GetState(&state), store->GetCount(&state),
        m_volume->GetMute(&mute), m_volume->RegisterControlChangeNotify(m_recorder.Get()), part->GetLocalId(&localId),
    };
    for (size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(kDeviceInvalidated, calls[i]) << "call " << i;

    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(m_spdif, 0, 0.3f, kMixer));
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(m_spdif, 0));
    Deliver();
    EXPECT_TRUE(m_recorder->Volume().empty());
    EXPECT_TRUE(m_recorder->Control().empty());
    CoreAudioSim::LiveObjects live;
    ASSERT_TRUE(CoreAudioSim::ReadLiveObjects(live));
    EXPECT_EQ(4, live.count[CoreAudioSim::kLiveDeadObjects]);  // device, store, volume, part
    EXPECT_EQ(0, live.count[CoreAudioSim::kLiveVolumeCallbacks] + live.count[CoreAudioSim::kLiveControlCallbacks]);

    // What is obtained in the new life works and hears the mixer.
    m_volume = Volume(m_spdif);
    ASSERT_EQ(S_OK, m_volume->RegisterControlChangeNotify(m_recorder.Get()));
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(m_spdif, 0, 0.6f, kMixer));
    Deliver();
    EXPECT_EQ(1u, m_recorder->Volume().size());
}

TEST_F(SimNotificationTest, TheControlToolReplugsResumesAndAddsInAnyState)
{
    std::string output;
    ASSERT_EQ(0, RunControlTool(L"replug 1 2", &output)) << output;
    ASSERT_EQ(0, RunControlTool(L"resume", &output)) << output;  // both demo endpoints are the maker's
    ASSERT_EQ(0, RunControlTool(L"add-as unplugged {late} render 2 Late Headphones", &output)) << output;
    EXPECT_NE(0, RunControlTool(L"resume NoSuchDevice"));
    Deliver();
    std::vector<std::pair<std::wstring, DWORD>> states;
    for (const DeviceNote& note : m_recorder->Device()) {
        if (note.kind == DeviceNote::StateChanged)
            states.emplace_back(note.id, note.state);
    }
    const std::vector<std::pair<std::wstring, DWORD>> expected = {
        {m_speakers, DEVICE_STATE_NOTPRESENT}, {m_speakers, DEVICE_STATE_ACTIVE},
        {m_speakers, DEVICE_STATE_NOTPRESENT}, {m_speakers, DEVICE_STATE_ACTIVE},
        {m_spdif, DEVICE_STATE_NOTPRESENT},    {m_speakers, DEVICE_STATE_NOTPRESENT},
        {m_spdif, DEVICE_STATE_ACTIVE},        {m_speakers, DEVICE_STATE_ACTIVE},
    };
    EXPECT_EQ(expected, states);
    EXPECT_EQ(m_spdif, DefaultChanges().back().id);
    CoreAudioSim::SimState state;
    ASSERT_TRUE(CoreAudioSim::ReadState(state));
    ASSERT_EQ(3u, state.endpoints.size());
    EXPECT_EQ(DWORD(DEVICE_STATE_UNPLUGGED), state.endpoints[2].state);
    EXPECT_EQ(DeviceNote::Added, m_recorder->Device().back().kind);
}

TEST_F(SimNotificationTest, AddedEndpointIsAnnouncedAndTakesAnEmptyDefault)
{
    CoreAudioSim::EndpointInfo microphone;
    microphone.id = L"{0.0.1.00000000}.{mic}";
    microphone.name = L"Lumirel S/PDIF In";
    microphone.flow = CoreAudioSim::kFlowCapture;
    microphone.channels = 1;
    ASSERT_EQ(S_OK, CoreAudioSim::AddEndpoint(microphone));
    EXPECT_EQ(E_INVALIDARG, CoreAudioSim::AddEndpoint(microphone));  // the ID is taken now
    Deliver();
    auto device = m_recorder->Device();
    ASSERT_EQ(4u, device.size());
    EXPECT_EQ(DeviceNote::Added, device[0].kind);
    EXPECT_EQ(microphone.id, device[0].id);
    for (int role = 0; role < 3; ++role) {
        EXPECT_EQ(eCapture, device[1 + role].flow);
        EXPECT_EQ(microphone.id, device[1 + role].id);
    }
    // The render defaults keep their endpoint.
    ComPtr<IMMDevice> render;
    ASSERT_EQ(S_OK, m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &render));
    EXPECT_EQ(m_spdif, IdOf(render.Get()));
}

TEST_F(SimNotificationTest, ControlToolInAnotherProcessReachesCallbacksHere)
{
    std::string output;
    ASSERT_EQ(0, RunControlTool(L"set-level 0 1 0.25 --context {11111111-2222-3333-4444-555555555555}", &output)) << output;
    EXPECT_EQ("ok set-level\n", output);
    Deliver();
    auto notes = m_recorder->Volume();
    ASSERT_EQ(1u, notes.size());
    EXPECT_EQ(kMixer, notes[0].context);
    EXPECT_EQ(0.25f, notes[0].channels[1]);

    ASSERT_EQ(0, RunControlTool(L"set-mute \"SPDIF Interface (Lumirel USB Audio Device)\" 1"));
    Deliver();
    notes = m_recorder->Volume();
    ASSERT_EQ(2u, notes.size());
    EXPECT_TRUE(notes[1].muted);
    EXPECT_NE(GUID_NULL, notes[1].context);
    EXPECT_NE(kPanel, notes[1].context);

    ASSERT_EQ(0, RunControlTool(L"set-default Speakers --role multimedia"));
    Deliver();
    auto defaults = DefaultChanges();
    ASSERT_EQ(1u, defaults.size());
    EXPECT_EQ(eMultimedia, defaults[0].role);
    EXPECT_EQ(m_speakers, defaults[0].id);

    ASSERT_EQ(0, RunControlTool(L"list", &output));
    EXPECT_NE(std::string::npos, output.find("levels=0.8,0.25 mute=1")) << output;
    EXPECT_NE(std::string::npos, output.find("default render multimedia " + std::string(m_speakers.begin(), m_speakers.end())));

    auto log = CoreAudioSim::ReadCallLog();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log[0].viaControl);
    EXPECT_NE(GetCurrentProcessId(), log[0].processId);

    EXPECT_EQ(1, RunControlTool(L"set-level nosuchendpoint 0 0.5"));
    EXPECT_EQ(1, RunControlTool(L"set-level 0 7 0.5"));
    EXPECT_EQ(2, RunControlTool(L"set-level 0 0 loud"));
    EXPECT_EQ(2, RunControlTool(L"frobnicate"));

    // A script runs its lines in one process and stops at the first that fails.
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"coreaudioctl-script.txt";
    std::ofstream(script.c_str(), std::ios::binary) << "# the mixer\r\nset-mute 0 0\n\nset-level 0 0 loud\nset-mute 0 1\n";
    EXPECT_EQ(2, RunControlTool(L"script \"" + script + L"\"", &output));
    EXPECT_NE(std::string::npos, output.find("ok set-mute\n")) << output;
    EXPECT_NE(std::string::npos, output.find("error script line 4")) << output;
    ASSERT_EQ(0, RunControlTool(L"list", &output));
    EXPECT_NE(std::string::npos, output.find("levels=0.8,0.25 mute=0")) << output;
    DeleteFileW(script.c_str());
}

TEST_F(SimNotificationTest, GarbledSharedStateIsReadWithinBounds)
{
    const uint32_t seeds[] = {1u, 7u, 0xDEADBEEFu, 0x12345678u};
    for (uint32_t seed : seeds) {
        CoreAudioSim::ScribbleSharedState(seed);

        CoreAudioSim::SimState state;
        ASSERT_TRUE(CoreAudioSim::ReadState(state));
        EXPECT_LE(state.endpoints.size(), CoreAudioSim::kMaxEndpoints);
        for (const auto& endpoint : state.endpoints) {
            EXPECT_LT(endpoint.id.size(), CoreAudioSim::kMaxIdChars);
            EXPECT_LT(endpoint.name.size(), CoreAudioSim::kMaxNameChars);
            EXPECT_LE(endpoint.channels, CoreAudioSim::kMaxChannels);
            EXPECT_LE(endpoint.subunits.size(), CoreAudioSim::kMaxSubunits);
            for (float level : endpoint.levels)
                EXPECT_TRUE(level >= 0.0f && level <= 1.0f);
        }

        ComPtr<IMMDeviceCollection> collection;
        ASSERT_EQ(S_OK, m_enumerator->EnumAudioEndpoints(eAll, DEVICE_STATEMASK_ALL, &collection));
        UINT count = 0;
        collection->GetCount(&count);
        EXPECT_LE(count, CoreAudioSim::kMaxEndpoints);
        for (UINT i = 0; i < count; ++i) {
            ComPtr<IMMDevice> device;
            ASSERT_EQ(S_OK, collection->Item(i, &device));
            ComPtr<IPropertyStore> store;
            if (device->OpenPropertyStore(STGM_READ, &store) == S_OK) {
                PROPVARIANT value;
                if (store->GetValue(kFriendlyName, &value) == S_OK)
                    PropVariantClear(&value);
            }
            ComPtr<IAudioEndpointVolume> volume;
            if (device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume) == S_OK) {
                UINT channels = 0;
                if (volume->GetChannelCount(&channels) == S_OK) {
                    EXPECT_LE(channels, CoreAudioSim::kMaxChannels);
                    for (UINT c = 0; c <= channels; ++c) {
                        float level = 0.5f;
                        if (volume->GetChannelVolumeLevelScalar(c, &level) == S_OK) {
                            EXPECT_TRUE(level >= 0.0f && level <= 1.0f);
                        }
                    }
                }
            }
            ComPtr<IDeviceTopology> topology;
            ComPtr<IConnector> connector, adapter;
            ComPtr<IPart> part;
            ComPtr<IDeviceTopology> hardware;
            UINT subunits = 0;
            if (device->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology) == S_OK &&
                topology->GetConnector(0, &connector) == S_OK && connector->GetConnectedTo(&adapter) == S_OK &&
                adapter.As(&part) == S_OK && part->GetTopologyObjects(&hardware) == S_OK &&
                hardware->GetSubunitCount(&subunits) == S_OK) {
                EXPECT_LE(subunits, CoreAudioSim::kMaxSubunits);
                for (UINT s = 0; s <= subunits; ++s) {
                    ComPtr<ISubUnit> subunit;
                    hardware->GetSubunit(s, &subunit);
                }
            }
        }
        for (int role = 0; role < 3; ++role) {
            ComPtr<IMMDevice> device;
            HRESULT hr = m_enumerator->GetDefaultAudioEndpoint(eRender, static_cast<ERole>(role), &device);
            EXPECT_TRUE(hr == S_OK || hr == kNotFound);
        }
        std::string output;
        EXPECT_EQ(0, RunControlTool(L"list", &output)) << "seed " << seed;
        EXPECT_EQ(0, RunControlTool(L"log"));
    }

    // A reset repairs the block, and the watcher of this process still delivers. The garbled
    // block lost the endpoint's life, so what was held before is invalid, as after a replug.
    ASSERT_TRUE(CoreAudioSim::Reset());
    m_volume = Volume(m_spdif);
    ASSERT_EQ(S_OK, m_volume->RegisterControlChangeNotify(m_recorder.Get()));
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(m_spdif, 0, 0.6f, kMixer));
    Deliver();
    auto notes = m_recorder->Volume();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(0.6f, notes.back().channels[0]);
}

}  // namespace
}  // namespace CoreAudioSimTest
