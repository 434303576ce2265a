#include "audio/SinkStartup.h"

#include "audio/AudioEndpointControl.h"
#include "audio/NotificationSinks.h"
#include "audio/PanelEventContext.h"
#include "audio/TopologyWalk.h"
#include "res/OutputIds.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/audio/AudioTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

const GUID kMixerContext = {0x6D697865, 0x7200, 0x4B65, {0x73, 0x74, 0x72, 0x75, 0x6E, 0x53, 0x49, 0x4D}};

const char kDevice[] =
    "endpoint {spdif} render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
    "subunit volume\n"
    "subunit mute\n"
    "endpoint {speakers} render active 2 Speakers (Lumirel USB Audio Device)\n"
    "endpoint {both} render active 2 SPDIF speaker combo\n"
    "endpoint {unplugged} render unplugged 2 Lumirel Unplugged\n"
    "endpoint {off} render disabled 2 Lumirel Off\n"
    "endpoint {gone} render notpresent 2 Lumirel Gone\n"
    "endpoint {in} capture active 1 Lumirel S/PDIF In\n"
    "default render all {spdif}\n";

class SinkStartupTest : public testing::Test {
protected:
    void SetUp() override { CollectPosted(); }

    void TearDown() override
    {
        // The program never unregisters; the tests do, so that one test's sinks stay out of
        // the next one's messages.
        UnregisterEverywhere(g_volumeSink);
        UnregisterEverywhere(g_controlChangeSink);
        for (int i = 0; i < g_deviceSinkCount; ++i)
            UnregisterEverywhere(g_deviceSinks[i]);
    }

    int StartUp(const std::string& scenario)
    {
        LoadScenario(scenario);
        CAudioEndpointControl audio;
        audio.ScanEndpoints();
        const int output = audio.QueryDefaultOutput();
        StartNotificationSinks(output, audio);
        return output;
    }

    static std::multiset<std::wstring> VolumeRegistrations()
    {
        std::multiset<std::wstring> result;
        for (const auto& r : CoreAudioSim::ReadRegistrations()) {
            if (r.kind == CoreAudioSim::kRegEndpointVolume && !r.unregister)
                result.insert(r.endpointId);
        }
        return result;
    }

    static int Count(CoreAudioSim::RegistrationKind kind)
    {
        int count = 0;
        for (const auto& r : CoreAudioSim::ReadRegistrations())
            count += (r.kind == kind && !r.unregister && r.result == S_OK) ? 1 : 0;
        return count;
    }

    static void MakeDefault(const wchar_t* endpoint)
    {
        ASSERT_EQ(S_OK, CoreAudioSim::SetDefault(endpoint, CoreAudioSim::kFlowRender,
                                                 CoreAudioSim::kRoleMultimedia));
    }
};

TEST_F(SinkStartupTest, RecognisedOutputWithWorkingWalkRegistersEverything)
{
    ASSERT_EQ(OUTPUT_SPDIF, StartUp(kDevice));
    EXPECT_EQ(0x4FA3DCD0u, g_panelEventContext.Data1);
    // Active, disabled and unplugged endpoints of both flows; not the one that is not present.
    const std::multiset<std::wstring> expected = {L"{spdif}", L"{speakers}", L"{both}",
                                                  L"{unplugged}", L"{off}", L"{in}"};
    EXPECT_EQ(expected, VolumeRegistrations());
    EXPECT_EQ(2, Count(CoreAudioSim::kRegControlChange));
    EXPECT_EQ(2, Count(CoreAudioSim::kRegNotificationClient));
    ASSERT_EQ(2, g_deviceSinkCount);
}

TEST_F(SinkStartupTest, RegisteredSinksTurnForeignChangesIntoMessages)
{
    ASSERT_EQ(OUTPUT_SPDIF, StartUp(kDevice));
    CollectPosted();

    CAudioEndpointControl audio;
    audio.SetChannelLevel(0, 0.7f);
    audio.SetEndpointMute(TRUE);
    EXPECT_TRUE(CollectPosted().empty()) << "the panel's own changes are not echoed";

    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"{spdif}", 1, 0.2f, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
    ASSERT_EQ(S_OK, CoreAudioSim::SetMute(L"{in}", true, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(L"{spdif}", 1, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{1}), VolumeRefreshes(CollectPosted()));
}

// Two device sinks: every message of a default-endpoint change arrives twice.
TEST_F(SinkStartupTest, TwoDeviceSinksDoubleEveryOutputMessage)
{
    ASSERT_EQ(OUTPUT_SPDIF, StartUp(kDevice));
    CollectPosted();

    MakeDefault(L"{speakers}");
    EXPECT_TRUE(OutputChanges(CollectPosted()).empty()) << "\"Speakers\" has a capital S";
    MakeDefault(L"{spdif}");
    EXPECT_EQ((std::vector<LPARAM>{0, 0}), OutputChanges(CollectPosted()));
    MakeDefault(L"{both}");
    const auto both = OutputChanges(CollectPosted());
    ASSERT_EQ(4u, both.size());
    // Each sink posts S/PDIF before Speaker.
    EXPECT_EQ(2, std::count(both.begin(), both.end(), 0));
    EXPECT_EQ(0, both.front());
    EXPECT_EQ(1, both.back());
    ASSERT_EQ(S_OK, CoreAudioSim::ClearDefault(CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll));
    EXPECT_TRUE(OutputChanges(CollectPosted()).empty());
}

TEST_F(SinkStartupTest, UnrecognisedOutputSkipsTheWalkAndRegistersOneDeviceSink)
{
    ASSERT_EQ(OUTPUT_NONE, StartUp(std::string(kDevice) + "default render all {speakers}\n"));
    EXPECT_EQ(1, g_deviceSinkCount);
    EXPECT_EQ(1, Count(CoreAudioSim::kRegNotificationClient));
    EXPECT_EQ(0, Count(CoreAudioSim::kRegControlChange));
    EXPECT_TRUE(CoreAudioSim::ReadSubunitRequests().empty());
    CollectPosted();
    MakeDefault(L"{both}");
    EXPECT_EQ((std::vector<LPARAM>{0, 1}), OutputChanges(CollectPosted()));
}

TEST_F(SinkStartupTest, FailedWalkRegistersOneDeviceSink)
{
    ASSERT_EQ(OUTPUT_SPDIF, StartUp("endpoint {spdif} render active 2 SPDIF Interface (Lumirel)\n"
                                    "subunit volume\n"
                                    "subunit none\n"));
    EXPECT_EQ(1, Count(CoreAudioSim::kRegControlChange));
    EXPECT_EQ(1, g_deviceSinkCount);
    EXPECT_EQ(1, Count(CoreAudioSim::kRegNotificationClient));
}

TEST_F(SinkStartupTest, SpeakerOutputWalksTheSpeakerEndpoint)
{
    ASSERT_EQ(OUTPUT_SPEAKER,
              StartUp("endpoint {spdif} render active 2 SPDIF Interface (Lumirel)\n"
                      "subunit volume\n"
                      "endpoint {master} render active 2 Master Out (Lumirel)\n"
                      "subunit mute\n"
                      "default render all {master}\n"));
    for (const auto& request : CoreAudioSim::ReadSubunitRequests())
        EXPECT_EQ(L"{master}", request.endpointId);
    EXPECT_EQ(1, Count(CoreAudioSim::kRegControlChange));
    EXPECT_EQ(2, g_deviceSinkCount);
}

// After endpoints came back, only what died is registered again: the volume sink on the
// replugged endpoint and on one that became active meanwhile, and the walk once its parts died.
TEST_F(SinkStartupTest, RenewalRegistersAgainOnlyWhereARegistrationDied)
{
    ASSERT_EQ(OUTPUT_SPDIF, StartUp(kDevice));
    UINT registered = 99;
    EXPECT_EQ(S_OK, RenewEndpointVolumeNotify(g_volumeSink, &registered));
    EXPECT_EQ(0u, registered);
    EXPECT_EQ(S_FALSE, RenewHardwareControlNotify(g_controlChangeSink, g_panelEventContext));

    ASSERT_EQ(S_OK, CoreAudioSim::Replug(L"{spdif}"));
    ASSERT_EQ(S_OK, CoreAudioSim::Plug(L"{gone}"));
    CoreAudioSim::ClearLogs();
    EXPECT_EQ(S_OK, RenewEndpointVolumeNotify(g_volumeSink, &registered));
    EXPECT_EQ((std::multiset<std::wstring>{L"{spdif}", L"{gone}"}), VolumeRegistrations());
    EXPECT_EQ(S_OK, RenewHardwareControlNotify(g_controlChangeSink, g_panelEventContext));
    EXPECT_EQ(2, Count(CoreAudioSim::kRegControlChange));

    CollectPosted();
    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"{spdif}", 1, 0.2f, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
    ASSERT_EQ(S_OK, CoreAudioSim::HardwareChange(L"{spdif}", 1, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{1}), VolumeRefreshes(CollectPosted()));
}

// The volume sink is registered in collection order up to the first endpoint whose volume
// cannot be activated.
TEST_F(SinkStartupTest, VolumeRegistrationStopsAtTheFirstFailure)
{
    StartUp("endpoint {a} render active 2 SPDIF Interface (Lumirel)\n"
            "endpoint {b} render active 2 Lumirel Broken\n"
            "fail volume\n"
            "endpoint {c} render active 2 Speakers (Lumirel)\n");
    EXPECT_EQ(std::multiset<std::wstring>{L"{a}"}, VolumeRegistrations());
}

}  // namespace
