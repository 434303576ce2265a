#include "audio/AudioEndpointControl.h"

#include "audio/PanelEventContext.h"
#include "res/OutputIds.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/audio/AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const wchar_t kSpeakerId[] = L"{0.0.0.00000000}.{speaker}";
const wchar_t kSpdifId[] = L"{0.0.0.00000000}.{spdif}";
const wchar_t kCaptureId[] = L"{0.0.1.00000000}.{spdif-in}";

bool SameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

class AudioEndpointControlTest : public testing::Test {
protected:
    void SetUp() override
    {
        WritePanelEventContext();
        CoreAudioSim::ClearLogs();
    }

    CAudioEndpointControl m_audio;
};

TEST_F(AudioEndpointControlTest, ScanRecordsTheMakersEndpointsLastMatchWinning)
{
    LoadScenario(
        "endpoint {0.0.0.00000000}.{speaker} render active 2 Speakers (Lumirel USB Audio Device)\n"
        "endpoint {0.0.0.00000000}.{spdif} render active 2 SPDIF Interface (VEXMORA)\n"
        "endpoint {0.0.0.00000000}.{realtek} render active 2 Realtek Speakers\n"
        "endpoint {0.0.0.00000000}.{off} render disabled 2 Speaker (Lumirel disabled)\n"
        "endpoint {0.0.1.00000000}.{spdif-in} capture active 2 Lumirel S/PDIF In\n");
    m_audio.ScanEndpoints();
    EXPECT_EQ(kSpeakerId, m_audio.SpeakerEndpointId());
    // The capture endpoint comes later in the collection and overwrites the render one.
    EXPECT_EQ(kCaptureId, m_audio.SpdifEndpointId());
}

TEST_F(AudioEndpointControlTest, ScanRecordsANameOfBothListsInBoth)
{
    LoadScenario("endpoint {both} render active 2 Caldrix Speaker S/PDIF Combo\n");
    m_audio.ScanEndpoints();
    EXPECT_EQ(L"{both}", m_audio.SpeakerEndpointId());
    EXPECT_EQ(L"{both}", m_audio.SpdifEndpointId());
}

TEST_F(AudioEndpointControlTest, ScanSkipsEndpointsWhoseNameCannotBeRead)
{
    LoadScenario(
        "endpoint {good} render active 2 Speakers (Lumirel)\n"
        "endpoint {nostore} render active 2 Speakers (Lumirel) 2\n"
        "fail properties\n"
        "endpoint {noname} render active 2 Speakers (Lumirel) 3\n"
        "fail noname\n");
    m_audio.ScanEndpoints();
    EXPECT_EQ(L"{good}", m_audio.SpeakerEndpointId());
    EXPECT_TRUE(m_audio.SpdifEndpointId().empty());
}

TEST_F(AudioEndpointControlTest, ScanWithoutEndpointsLeavesBothEmpty)
{
    LoadScenario("endpoint {x} render active 2 Realtek HD Audio\n");
    m_audio.ScanEndpoints();
    EXPECT_TRUE(m_audio.SpeakerEndpointId().empty());
    EXPECT_TRUE(m_audio.SpdifEndpointId().empty());
}

struct DefaultCase {
    const char* scenario;
    int output;
};

TEST_F(AudioEndpointControlTest, DefaultOutputFollowsTheDefaultListsWithoutProductTest)
{
    const DefaultCase cases[] = {
        {"endpoint {d} render active 2 Speakers (Lumirel USB Audio Device)\n", OUTPUT_NONE},
        {"endpoint {d} render active 2 SPDIF Interface (Lumirel USB Audio Device)\n", OUTPUT_SPDIF},
        {"endpoint {d} render active 2 S/PDIF (Lumirel USB Audio Device)\n", OUTPUT_SPDIF},
        {"endpoint {d} render active 2 Master Volume (Other Maker)\n", OUTPUT_SPEAKER},
        {"endpoint {d} render active 2 SPDIF Master\n", OUTPUT_SPEAKER},
        {"endpoint {d} render active 2 SPDIF Interface\nfail volume\n", OUTPUT_NONE},
        {"endpoint {d} render active 2 SPDIF Interface\nfail properties\n", OUTPUT_NONE},
        {"endpoint {d} render active 2 SPDIF Interface\ndefault render all none\n", OUTPUT_NONE},
        {"endpoint {d} capture active 2 SPDIF In\n", OUTPUT_NONE},
    };
    for (const DefaultCase& c : cases) {
        SCOPED_TRACE(c.scenario);
        LoadScenario(c.scenario);
        CAudioEndpointControl audio;
        EXPECT_EQ(c.output, audio.QueryDefaultOutput());
        EXPECT_EQ(c.output == OUTPUT_SPEAKER ? L"{d}" : L"", audio.SpeakerEndpointId());
        EXPECT_EQ(c.output == OUTPUT_SPDIF ? L"{d}" : L"", audio.SpdifEndpointId());
    }
}

TEST_F(AudioEndpointControlTest, QueryReplacesOnlyTheRecognisedOutputsId)
{
    LoadScenario(
        "endpoint {a} render active 2 SPDIF Interface (Lumirel)\n"
        "endpoint {b} render active 2 Lumirel Optical SPDIF\n"
        "endpoint {c} render active 2 Speakers (Lumirel)\n"
        "default render all {a}\n");
    m_audio.ScanEndpoints();
    EXPECT_EQ(L"{b}", m_audio.SpdifEndpointId());
    EXPECT_EQ(OUTPUT_SPDIF, m_audio.QueryDefaultOutput());
    EXPECT_EQ(L"{a}", m_audio.SpdifEndpointId());
    EXPECT_EQ(L"{c}", m_audio.SpeakerEndpointId());
}

const char kStereoAndMono[] =
    "endpoint {stereo} render active 2 SPDIF Interface (Lumirel)\n"
    "level 0 0.25\n"
    "level 1 0.8\n"
    "endpoint {mono} render active 1 Speakers (Lumirel)\n"
    "level 0 0.5\n"
    "default render all {stereo}\n";

TEST_F(AudioEndpointControlTest, LevelsAreReadAndWrittenOnTheCurrentDefault)
{
    LoadScenario(kStereoAndMono);
    float level = -1.0f;
    EXPECT_EQ(1, m_audio.GetChannelLevel(0, &level));
    EXPECT_FLOAT_EQ(0.25f, level);
    EXPECT_TRUE(m_audio.TryGetChannelLevel(1, &level));
    EXPECT_EQ(0.8f, level);

    EXPECT_EQ(1, m_audio.SetChannelLevel(1, 0.7f));
    EXPECT_TRUE(m_audio.TryGetChannelLevel(1, &level));
    EXPECT_EQ(0.7f, level);

    // The endpoint is looked up anew on every call.
    ASSERT_EQ(S_OK, CoreAudioSim::SetDefault(L"{mono}", CoreAudioSim::kFlowRender,
                                             CoreAudioSim::kRoleAll));
    EXPECT_TRUE(m_audio.TryGetChannelLevel(0, &level));
    EXPECT_EQ(0.5f, level);
}

// Three defaults, one per role, each a different endpoint with its own name, levels and mute:
// the query and the level operations must follow the multimedia one only.
const char kDistinctRoles[] =
    "endpoint {console} render active 2 Master Out (Lumirel USB Audio Device)\n"
    "level all 0.1\n"
    "endpoint {multimedia} render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
    "level all 0.5\n"
    "mute 1\n"
    "endpoint {communications} render active 2 Headset master\n"
    "level all 0.9\n"
    "default render console {console}\n"
    "default render multimedia {multimedia}\n"
    "default render communications {communications}\n";

TEST_F(AudioEndpointControlTest, QueryAndLevelsUseTheMultimediaDefaultOnly)
{
    LoadScenario(kDistinctRoles);
    EXPECT_EQ(OUTPUT_SPDIF, m_audio.QueryDefaultOutput());  // "master" would say Speaker
    EXPECT_EQ(L"{multimedia}", m_audio.SpdifEndpointId());
    EXPECT_EQ(L"", m_audio.SpeakerEndpointId());

    float level = -1.0f;
    m_audio.GetChannelLevel(1, &level);
    EXPECT_EQ(0.5f, level);
    BOOL mute = FALSE;
    m_audio.GetEndpointMute(&mute);
    EXPECT_TRUE(mute);

    CoreAudioSim::ClearLogs();
    m_audio.SetChannelLevel(0, 0.3f);
    m_audio.SetEndpointMute(FALSE);
    const auto log = CoreAudioSim::ReadCallLog();
    ASSERT_EQ(2u, log.size());
    for (const auto& record : log)
        EXPECT_EQ(L"{multimedia}", record.endpointId);
}

TEST_F(AudioEndpointControlTest, EveryChangeCarriesThePanelContext)
{
    LoadScenario(kStereoAndMono);
    m_audio.SetChannelLevel(0, 0.3f);
    m_audio.SetEndpointMute(TRUE);
    const auto log = CoreAudioSim::ReadCallLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(CoreAudioSim::kCallSetChannelLevel, log[0].kind);
    EXPECT_EQ(0u, log[0].channel);
    EXPECT_EQ(0.3f, log[0].value);
    EXPECT_EQ(CoreAudioSim::kCallSetMute, log[1].kind);
    EXPECT_EQ(1.0f, log[1].value);
    for (const auto& record : log) {
        EXPECT_EQ(L"{stereo}", record.endpointId);
        EXPECT_TRUE(SameGuid(g_panelEventContext, record.context));
    }
    BOOL mute = FALSE;
    EXPECT_TRUE(m_audio.TryGetEndpointMute(&mute));
    EXPECT_TRUE(mute);
}

// A one-channel endpoint cannot report channel 1: the caller is told and its value is kept.
TEST_F(AudioEndpointControlTest, FailedLevelReadLeavesTheValueAlone)
{
    LoadScenario(kStereoAndMono);
    ASSERT_EQ(S_OK, CoreAudioSim::SetDefault(L"{mono}", CoreAudioSim::kFlowRender,
                                             CoreAudioSim::kRoleAll));
    float level = 0.125f;
    EXPECT_FALSE(m_audio.TryGetChannelLevel(1, &level));
    EXPECT_EQ(1, m_audio.GetChannelLevel(1, &level));
    EXPECT_EQ(0.125f, level);
    EXPECT_FALSE(m_audio.TryGetChannelLevel(0, nullptr));
}

struct FailureCase {
    const char* scenario;
    const char* what;
};

// Every failing step ends an operation silently: reads keep the caller's values, writes reach
// nothing, and every operation still reports 1.
TEST_F(AudioEndpointControlTest, FailuresAreSilentAndKeepPreviousValues)
{
    const FailureCase cases[] = {
        {"endpoint {d} render active 2 SPDIF\ndefault render all none\n", "no default endpoint"},
        {"endpoint {d} render active 2 SPDIF\nfail volume\n", "activation fails"},
        {"endpoint {d} render active 2 SPDIF\nfail getlevel,setlevel\n", "the calls fail"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        LoadScenario(c.scenario);
        float level = 0.42f;
        BOOL mute = 7;
        EXPECT_EQ(1, m_audio.GetChannelLevel(0, &level));
        EXPECT_EQ(1, m_audio.GetEndpointMute(&mute));
        EXPECT_FALSE(m_audio.TryGetEndpointMute(&mute));
        EXPECT_EQ(0.42f, level);
        EXPECT_EQ(7, mute);
        EXPECT_EQ(1, m_audio.SetChannelLevel(0, 0.1f));
        EXPECT_EQ(1, m_audio.SetEndpointMute(TRUE));
        for (const auto& record : CoreAudioSim::ReadCallLog())
            EXPECT_NE(S_OK, record.result) << "a failing set must not change the endpoint";
    }
}

TEST_F(AudioEndpointControlTest, RemovedDefaultEndpointFailsSilently)
{
    LoadScenario(kStereoAndMono);
    ASSERT_EQ(S_OK, CoreAudioSim::Remove(L"{stereo}"));
    ASSERT_EQ(S_OK, CoreAudioSim::Remove(L"{mono}"));
    CoreAudioSim::ClearLogs();
    float level = 0.42f;
    EXPECT_EQ(1, m_audio.GetChannelLevel(0, &level));
    EXPECT_EQ(0.42f, level);
    EXPECT_EQ(1, m_audio.SetChannelLevel(0, 0.1f));
    EXPECT_EQ(1, m_audio.SetEndpointMute(FALSE));
    EXPECT_TRUE(CoreAudioSim::ReadCallLog().empty());
}

}  // namespace
