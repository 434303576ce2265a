#include "audio/TopologyWalk.h"

#include "audio/NotificationSinks.h"
#include "audio/PanelEventContext.h"
#include "audio/ProcessLifeObjects.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/audio/AudioTestSupport.h"

#include <endpointvolume.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <set>

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kEndpoint[] = L"{spdif}";
const char kEndpointLine[] = "endpoint {spdif} render active 2 SPDIF Interface (Lumirel)\n";

struct Registration {
    uint32_t subunit;
    IID iid;
    bool succeeded;
};

class TopologyWalkTest : public testing::Test {
protected:
    void SetUp() override { WritePanelEventContext(); }

    void TearDown() override
    {
        UnregisterEverywhere(m_sink);
        m_sink->Release();
    }

    HRESULT Walk(const std::string& subunitLines)
    {
        LoadScenario(std::string(kEndpointLine) + subunitLines);
        return RegisterHardwareControlNotify(m_sink, kEndpoint, g_panelEventContext);
    }

    // Registration attempts on the adapter's parts, in the order they were made.
    static std::vector<Registration> Attempts()
    {
        std::vector<Registration> result;
        for (const auto& r : CoreAudioSim::ReadRegistrations()) {
            if (r.kind == CoreAudioSim::kRegControlChange && !r.unregister)
                result.push_back({r.subunit, r.iid, r.result == S_OK});
        }
        return result;
    }

    static std::set<uint32_t> Registered()
    {
        std::set<uint32_t> result;
        for (const Registration& r : Attempts()) {
            if (r.succeeded)
                result.insert(r.subunit);
        }
        return result;
    }

    static std::vector<uint32_t> RequestedSubunits()
    {
        std::vector<uint32_t> result;
        for (const auto& request : CoreAudioSim::ReadSubunitRequests())
            result.push_back(request.index);
        return result;
    }

    CControlChangeNotify* m_sink = new CControlChangeNotify();
};

TEST_F(TopologyWalkTest, AdapterWithoutSubunitsSucceeds)
{
    EXPECT_EQ(S_OK, Walk(""));
    EXPECT_TRUE(Attempts().empty());
    EXPECT_TRUE(RequestedSubunits().empty());
}

TEST_F(TopologyWalkTest, SubunitsSixteenToNineteenAreNeverRequested)
{
    EXPECT_EQ(S_OK, Walk("subunits 22 volume\n"));
    const std::vector<uint32_t> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 21};
    EXPECT_EQ(expected, RequestedSubunits());
    EXPECT_EQ(std::set<uint32_t>(expected.begin(), expected.end()), Registered());
}

// With 17 to 20 subunits the last examined one is number 15.
TEST_F(TopologyWalkTest, ResultComesFromSubunitFifteenWhenSixteenToNineteenExist)
{
    for (int count = 17; count <= 20; ++count) {
        SCOPED_TRACE(count);
        const std::string tail = "subunits " + std::to_string(count - 16) + " none\n";
        EXPECT_EQ(S_OK, Walk("subunits 15 none\nsubunit mute\n" + tail));
        EXPECT_EQ(std::set<uint32_t>{15}, Registered());
        EXPECT_NE(S_OK, Walk("subunit mute\nsubunits 15 none\n" + tail));
        EXPECT_EQ(std::set<uint32_t>{0}, Registered());
        UnregisterEverywhere(m_sink);
    }
}

TEST_F(TopologyWalkTest, EachSubunitIsRegisteredForTheFirstControlThatWorks)
{
    EXPECT_EQ(S_OK, Walk("subunit mute,volume\n"
                         "subunit agc,mute fail=agc\n"
                         "subunit selector,volume\n"
                         "subunit volume\n"));
    const auto attempts = Attempts();
    ASSERT_EQ(5u, attempts.size());
    EXPECT_EQ(0u, attempts[0].subunit);
    EXPECT_TRUE(IsEqualIID(__uuidof(IAudioMute), attempts[0].iid));
    EXPECT_TRUE(attempts[0].succeeded);
    // The refused gain control is followed by the mute on the same subunit.
    EXPECT_EQ(1u, attempts[1].subunit);
    EXPECT_TRUE(IsEqualIID(__uuidof(IAudioAutoGainControl), attempts[1].iid));
    EXPECT_FALSE(attempts[1].succeeded);
    EXPECT_EQ(1u, attempts[2].subunit);
    EXPECT_TRUE(IsEqualIID(__uuidof(IAudioMute), attempts[2].iid));
    EXPECT_TRUE(attempts[2].succeeded);
    EXPECT_EQ(2u, attempts[3].subunit);
    EXPECT_TRUE(IsEqualIID(__uuidof(IAudioInputSelector), attempts[3].iid));
    EXPECT_EQ(3u, attempts[4].subunit);
    EXPECT_TRUE(IsEqualIID(__uuidof(IAudioVolumeLevel), attempts[4].iid));
}

// Each registered part and, with them, the adapter topology are held until the process ends;
// nothing is held after a walk that registered nothing.
TEST_F(TopologyWalkTest, KeepsRegisteredPartsAndTheirTopology)
{
    size_t before = KeptObjectCount();
    ASSERT_EQ(S_OK, Walk("subunit volume\nsubunit none\nsubunit mute\n"));
    EXPECT_EQ(before + 3, KeptObjectCount());
    UnregisterEverywhere(m_sink);

    before = KeptObjectCount();
    EXPECT_NE(S_OK, Walk("subunit none\nsubunit none\n"));
    EXPECT_EQ(before, KeptObjectCount());
}

TEST_F(TopologyWalkTest, LastSubunitWithoutControlsFailsTheWalkButKeepsEarlierRegistrations)
{
    const HRESULT hr = Walk("subunit volume\nsubunit mute\nsubunit none\n");
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ((std::set<uint32_t>{0, 1}), Registered());
}

struct LastSubunitCase {
    const char* lastSubunit;
    HRESULT result;
};

// The last examined subunit decides the result: a refused registration of its volume level
// gives the registration's code; a refused mute is followed by the volume level's activation,
// whose failure becomes the result.
TEST_F(TopologyWalkTest, LastSubunitsLastStepIsTheResult)
{
    const LastSubunitCase cases[] = {
        {"subunit volume fail=volume\n", E_FAIL},
        {"subunit mute fail=mute\n", E_NOINTERFACE},
        {"subunit agc fail=agc\n", E_NOINTERFACE},
        {"subunit mute,volume fail=mute\n", S_OK},
    };
    for (const LastSubunitCase& c : cases) {
        SCOPED_TRACE(c.lastSubunit);
        EXPECT_EQ(c.result, Walk(std::string("subunit volume\n") + c.lastSubunit));
        EXPECT_EQ(c.result == S_OK ? (std::set<uint32_t>{0, 1}) : (std::set<uint32_t>{0}),
                  Registered());
        UnregisterEverywhere(m_sink);
    }
}

struct BrokenPathCase {
    const char* scenarioTail;
    const char* what;
};

// A failure before the subunit loop ends the walk with no registration.
TEST_F(TopologyWalkTest, FailuresBeforeTheLoopEndTheWalk)
{
    const BrokenPathCase cases[] = {
        {"subunit volume\nfail topology\n", "no device topology"},
        {"subunit volume\nfail connector\n", "connector not connected"},
        {"subunit volume\nfail subunitcount\n", "subunit count unreadable"},
    };
    for (const BrokenPathCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(FAILED(Walk(c.scenarioTail)));
        EXPECT_TRUE(Attempts().empty());
        EXPECT_TRUE(RequestedSubunits().empty());
    }
}

struct LoopFaultCase {
    CoreAudioSim::SimFault fault;
    CoreAudioSim::FaultMode mode;
    HRESULT result;
};

// A step inside the subunit loop that fails, or succeeds with nothing, ends the walk with that
// step's code; the subunit registered before it stays registered and held, the rest are
// never requested.
TEST_F(TopologyWalkTest, AFailureInsideTheSubunitLoopEndsTheWalkAndKeepsEarlierRegistrations)
{
    const HRESULT injected = static_cast<HRESULT>(0x80071234L);
    const LoopFaultCase cases[] = {
        {CoreAudioSim::kFaultGetSubunit, CoreAudioSim::kFaultFail, injected},
        {CoreAudioSim::kFaultGetSubunit, CoreAudioSim::kFaultNull, E_POINTER},
        {CoreAudioSim::kFaultSubunitPart, CoreAudioSim::kFaultFail, injected},
        {CoreAudioSim::kFaultSubunitPart, CoreAudioSim::kFaultNull, E_POINTER},
    };
    for (const LoopFaultCase& c : cases) {
        SCOPED_TRACE(std::string(CoreAudioSim::FaultName(c.fault)) + (c.mode == CoreAudioSim::kFaultNull ? " null" : " fail"));
        LoadScenario(std::string(kEndpointLine) + "subunits 3 volume\n");
        CoreAudioSim::FaultSpec setting;
        setting.mode = c.mode;
        setting.hr = injected;
        setting.skip = 1;  // subunit 0 goes through
        ASSERT_TRUE(CoreAudioSim::InjectFault(c.fault, setting));
        const size_t kept = KeptObjectCount();
        EXPECT_EQ(c.result, RegisterHardwareControlNotify(m_sink, kEndpoint, g_panelEventContext));
        CoreAudioSim::ClearFaults();
        EXPECT_EQ((std::set<uint32_t>{0}), Registered());
        EXPECT_EQ((std::vector<uint32_t>{0, 1}), RequestedSubunits());
        EXPECT_EQ(kept + 2, KeptObjectCount());  // subunit 0's part and the adapter topology
        UnregisterEverywhere(m_sink);
    }
}

TEST_F(TopologyWalkTest, VanishedEndpointFailsAtOnce)
{
    LoadScenario(std::string(kEndpointLine) + "subunit volume\n");
    EXPECT_TRUE(FAILED(RegisterHardwareControlNotify(m_sink, L"{no-such-endpoint}",
                                                     g_panelEventContext)));
    ASSERT_EQ(S_OK, CoreAudioSim::Remove(kEndpoint));
    EXPECT_TRUE(FAILED(RegisterHardwareControlNotify(m_sink, kEndpoint, g_panelEventContext)));
    EXPECT_TRUE(FAILED(RegisterHardwareControlNotify(m_sink, L"", g_panelEventContext)));
    EXPECT_TRUE(Attempts().empty());
    EXPECT_TRUE(RequestedSubunits().empty());
}

TEST_F(TopologyWalkTest, HardwareChangesReachThePanelUnlessTheyCarryItsContext)
{
    CollectPosted();
    ASSERT_EQ(S_OK, Walk("subunit mute\nsubunit volume\n"));
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(kEndpoint, 1, GUID_NULL));
    EXPECT_EQ((std::vector<WPARAM>{1}), VolumeRefreshes(CollectPosted()));
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(kEndpoint, 0, g_panelEventContext));
    EXPECT_TRUE(CollectPosted().empty());
}

TEST(HardwareTopologyTest, ReachesTheAdapterTopology)
{
    LoadScenario(std::string(kEndpointLine) + "subunits 3 volume\n");
    ComPtr<IMMDeviceEnumerator> enumerator;
    ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                     IID_PPV_ARGS(enumerator.GetAddressOf())));
    ComPtr<IMMDevice> device;
    ASSERT_EQ(S_OK, enumerator->GetDevice(kEndpoint, device.GetAddressOf()));
    ComPtr<IDeviceTopology> adapter;
    ASSERT_EQ(S_OK, GetHardwareDeviceTopology(device.Get(), adapter.GetAddressOf()));
    ASSERT_TRUE(adapter);
    UINT count = 0;
    EXPECT_EQ(S_OK, adapter->GetSubunitCount(&count));
    EXPECT_EQ(3u, count);

    EXPECT_EQ(E_POINTER, GetHardwareDeviceTopology(nullptr, adapter.ReleaseAndGetAddressOf()));
}

}  // namespace
