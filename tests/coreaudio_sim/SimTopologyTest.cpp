// The device topology walk: endpoint connector to adapter part to subunits and their controls,
// registration outcomes, control change callbacks and the request logs.
#include "tests/coreaudio_sim/SimTestSupport.h"

namespace CoreAudioSimTest {

// The automatic gain control as Windows lays it out (mingw-w64's declaration differs). Kept
// out of the anonymous namespace: there, with no implementation in sight, the compiler may
// treat calls through it as unreachable.
struct IAutoGainAbi : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL enable, LPCGUID context) = 0;
};

namespace {

const char kTopologyScenario[] =
    "endpoint T render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
    "subunit volume\n"                 // 0
    "subunit mute,volume\n"            // 1
    "subunit agc,mute fail=agc\n"      // 2
    "subunit none\n"                   // 3
    "subunit selector fail=selector\n" // 4
    "endpoint E render active 2 Empty adapter\n"
    "endpoint C render active 2 Broken connector\n"
    "fail connector\n"
    "subunit mute\n"
    "endpoint F render active 2 Uncountable\n"
    "fail subunitcount\n";

const IID* const kControls[4] = {&__uuidof(IAudioAutoGainControl), &__uuidof(IAudioInputSelector), &__uuidof(IAudioMute),
                                 &__uuidof(IAudioVolumeLevel)};

class SimTopologyTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        Load(kTopologyScenario);
    }

    // Endpoint -> connector 0 -> adapter connector -> IPart -> adapter topology.
    HRESULT Hardware(const std::wstring& id, ComPtr<IDeviceTopology>& hardware)
    {
        ComPtr<IDeviceTopology> topology;
        ComPtr<IConnector> connector, adapter;
        ComPtr<IPart> part;
        HRESULT hr = Device(id)->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology);
        if (SUCCEEDED(hr))
            hr = topology->GetConnector(0, &connector);
        if (SUCCEEDED(hr))
            hr = connector->GetConnectedTo(&adapter);
        if (SUCCEEDED(hr))
            hr = adapter.As(&part);
        if (SUCCEEDED(hr))
            hr = part->GetTopologyObjects(&hardware);
        return hr;
    }

    ComPtr<IPart> Subunit(IDeviceTopology* hardware, UINT index)
    {
        ComPtr<ISubUnit> subunit;
        ComPtr<IPart> part;
        EXPECT_EQ(S_OK, hardware->GetSubunit(index, &subunit));
        if (subunit) {
            EXPECT_EQ(S_OK, subunit.As(&part));
        }
        return part;
    }
};

TEST_F(SimTopologyTest, WalkReachesTheAdapterAndItsSubunits)
{
    ComPtr<IDeviceTopology> endpointTopology;
    ASSERT_EQ(S_OK, Device(L"T")->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &endpointTopology));
    UINT count = 99;
    EXPECT_EQ(S_OK, endpointTopology->GetSubunitCount(&count));
    EXPECT_EQ(0u, count);
    ComPtr<IConnector> connector;
    EXPECT_EQ(E_INVALIDARG, endpointTopology->GetConnector(1, &connector));

    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    ASSERT_EQ(S_OK, hardware->GetSubunitCount(&count));
    EXPECT_EQ(5u, count);
    ComPtr<IPart> part = Subunit(hardware.Get(), 1);
    ASSERT_TRUE(part);
    PartType type = ::Connector;
    EXPECT_EQ(S_OK, part->GetPartType(&type));
    EXPECT_EQ(::Subunit, type);
    UINT controls = 0;
    EXPECT_EQ(S_OK, part->GetControlInterfaceCount(&controls));
    EXPECT_EQ(2u, controls);

    ComPtr<ISubUnit> beyond;
    EXPECT_EQ(E_INVALIDARG, hardware->GetSubunit(5, &beyond));
    EXPECT_EQ(nullptr, beyond.Get());

    ComPtr<IDeviceTopology> empty;
    ASSERT_EQ(S_OK, Hardware(L"E", empty));
    EXPECT_EQ(S_OK, empty->GetSubunitCount(&count));
    EXPECT_EQ(0u, count);

    EXPECT_EQ(kNotFound, Hardware(L"C", empty));
    ASSERT_EQ(S_OK, Hardware(L"F", empty));
    EXPECT_EQ(E_FAIL, empty->GetSubunitCount(&count));
}

TEST_F(SimTopologyTest, ControlsActivateAndRegisterAsConfigured)
{
    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    // Per subunit, per control (agc, selector, mute, volume): activation and registration.
    struct Expect {
        HRESULT activate[4];
        HRESULT registration[4];
    } expected[5] = {
        {{E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE, S_OK}, {E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE, S_OK}},
        {{E_NOINTERFACE, E_NOINTERFACE, S_OK, S_OK}, {E_NOINTERFACE, E_NOINTERFACE, S_OK, S_OK}},
        {{S_OK, E_NOINTERFACE, S_OK, E_NOINTERFACE}, {E_FAIL, E_NOINTERFACE, S_OK, E_NOINTERFACE}},
        {{E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE}, {E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE}},
        {{E_NOINTERFACE, S_OK, E_NOINTERFACE, E_NOINTERFACE}, {E_NOINTERFACE, E_FAIL, E_NOINTERFACE, E_NOINTERFACE}},
    };
    for (UINT s = 0; s < 5; ++s) {
        ComPtr<IPart> part = Subunit(hardware.Get(), s);
        ASSERT_TRUE(part);
        for (int c = 0; c < 4; ++c) {
            ComPtr<IUnknown> control;
            EXPECT_EQ(expected[s].activate[c], part->Activate(CLSCTX_ALL, *kControls[c], &control)) << "subunit " << s << " control " << c;
            EXPECT_EQ(expected[s].activate[c] == S_OK, control != nullptr);
            EXPECT_EQ(expected[s].registration[c], part->RegisterControlChangeCallback(*kControls[c], m_recorder.Get()))
                << "subunit " << s << " control " << c;
        }
    }
    // The log names each registration with its subunit, interface and outcome.
    auto registrations = CoreAudioSim::ReadRegistrations();
    ASSERT_EQ(20u, registrations.size());
    EXPECT_EQ(CoreAudioSim::kRegControlChange, registrations[9].kind);
    EXPECT_EQ(2u, registrations[8].subunit);
    EXPECT_EQ(__uuidof(IAudioAutoGainControl), registrations[8].iid);
    EXPECT_EQ(E_FAIL, registrations[8].result);
    EXPECT_EQ(L"T", registrations[8].endpointId);

    for (UINT s = 0; s < 5; ++s)
        Subunit(hardware.Get(), s)->UnregisterControlChangeCallback(m_recorder.Get());
}

TEST_F(SimTopologyTest, RequestedSubunitIndicesAreLogged)
{
    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    CoreAudioSim::ClearLogs();
    for (UINT index : {0u, 1u, 2u, 4u, 7u}) {
        ComPtr<ISubUnit> subunit;
        hardware->GetSubunit(index, &subunit);
    }
    auto requests = CoreAudioSim::ReadSubunitRequests();
    ASSERT_EQ(5u, requests.size());
    const UINT indices[] = {0, 1, 2, 4, 7};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(indices[i], requests[i].index);
        EXPECT_EQ(L"T", requests[i].endpointId);
        EXPECT_EQ(i < 4 ? S_OK : E_INVALIDARG, requests[i].result);
    }
}

TEST_F(SimTopologyTest, HardwareAndPartChangesReachTheControlCallback)
{
    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    ComPtr<IPart> part = Subunit(hardware.Get(), 1);
    ASSERT_TRUE(part);
    ASSERT_EQ(S_OK, part->RegisterControlChangeCallback(__uuidof(IAudioMute), m_recorder.Get()));

    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(L"T", 1));            // no context
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(L"T", 0, kMixer));    // another subunit
    ASSERT_EQ(0, RunControlTool(L"hw-change T 1 --context {11111111-2222-3333-4444-555555555555}"));
    ComPtr<IAudioMute> mute;
    ASSERT_EQ(S_OK, part->Activate(CLSCTX_ALL, __uuidof(IAudioMute), &mute));
    EXPECT_EQ(S_OK, mute->SetMute(TRUE, &kPanel));
    EXPECT_EQ(S_FALSE, mute->SetMute(TRUE, &kPanel));
    ASSERT_TRUE(CoreAudioSim::WaitForDelivery());

    auto notes = m_recorder->Control();
    ASSERT_EQ(3u, notes.size());
    EXPECT_TRUE(notes[0].nullContext);
    EXPECT_NE(GetCurrentThreadId(), notes[0].threadId);
    EXPECT_FALSE(notes[1].nullContext);
    EXPECT_EQ(kMixer, notes[1].context);
    EXPECT_NE(GetCurrentProcessId(), notes[1].senderProcessId);
    EXPECT_EQ(kPanel, notes[2].context);
    EXPECT_EQ(GetCurrentProcessId(), notes[2].senderProcessId);
    BOOL muted = FALSE;
    EXPECT_EQ(S_OK, mute->GetMute(&muted));
    EXPECT_TRUE(muted);

    EXPECT_EQ(E_INVALIDARG, CoreAudioSim::HardwareChange(L"T", 9));
    EXPECT_EQ(S_OK, part->UnregisterControlChangeCallback(m_recorder.Get()));
    EXPECT_EQ(kNotFound, part->UnregisterControlChangeCallback(m_recorder.Get()));
}

TEST_F(SimTopologyTest, AutoGainControlHasTheWindowsLayout)
{
    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    ComPtr<IPart> part = Subunit(hardware.Get(), 2);
    ASSERT_TRUE(part);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, part->Activate(CLSCTX_ALL, __uuidof(IAudioAutoGainControl), &unknown));
    auto* agc = reinterpret_cast<IAutoGainAbi*>(unknown.Get());
    BOOL enabled = TRUE;
    EXPECT_EQ(S_OK, agc->GetEnabled(&enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(S_OK, agc->SetEnabled(TRUE, &kPanel));
    EXPECT_EQ(S_OK, agc->GetEnabled(&enabled));
    EXPECT_TRUE(enabled);
}

TEST_F(SimTopologyTest, ObjectsOfARemovedEndpointFailCleanly)
{
    ComPtr<IDeviceTopology> hardware;
    ASSERT_EQ(S_OK, Hardware(L"T", hardware));
    ComPtr<IPart> part = Subunit(hardware.Get(), 1);
    ComPtr<IAudioMute> mute;
    ASSERT_EQ(S_OK, part->Activate(CLSCTX_ALL, __uuidof(IAudioMute), &mute));
    ComPtr<IAudioEndpointVolume> volume = Volume(L"T");
    ASSERT_EQ(S_OK, CoreAudioSim::Remove(L"T"));
    float level = 0.0f;
    EXPECT_EQ(kDeviceInvalidated, volume->GetChannelVolumeLevelScalar(0, &level));
    EXPECT_EQ(kDeviceInvalidated, volume->SetMute(TRUE, &kMixer));
    EXPECT_EQ(kDeviceInvalidated, volume->RegisterControlChangeNotify(m_recorder.Get()));
    UINT count = 0;
    EXPECT_EQ(kDeviceInvalidated, hardware->GetSubunitCount(&count));
    BOOL muted = FALSE;
    EXPECT_EQ(kDeviceInvalidated, mute->GetMute(&muted));
    EXPECT_EQ(kDeviceInvalidated, part->RegisterControlChangeCallback(__uuidof(IAudioMute), m_recorder.Get()));
}

}  // namespace
}  // namespace CoreAudioSimTest
