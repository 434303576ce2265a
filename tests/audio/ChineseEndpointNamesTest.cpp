// Endpoints with Chinese friendly names, where the ANSI code page is 936. Runs in the same
// executable as the code page 936 keyword tests.
#include "audio/AudioEndpointControl.h"
#include "audio/NotificationSinks.h"
#include "res/OutputIds.h"
#include "tests/audio/AudioTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Scenario text is UTF-8.
#define U8_SIMPLIFIED_SPEAKER "\xE6\x89\xAC\xE5\xA3\xB0\xE5\x99\xA8"    // 扬声器
#define U8_TRADITIONAL_SPEAKER "\xE6\x8F\x9A\xE8\x81\xB2\xE5\x99\xA8"   // 揚聲器
#define U8_DIGITAL_INTERFACE "\xE6\x95\xB0\xE5\xAD\x97\xE9\x9F\xB3\xE9\xA2\x91\xE6\x8E\xA5\xE5\x8F\xA3"  // 数字音频接口

class ChineseEndpointNamesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(936u, GetACP()) << "run with LC_ALL=zh_CN.UTF-8";
        CollectPosted();
    }
};

TEST_F(ChineseEndpointNamesTest, ScanRecognisesChineseNames)
{
    LoadScenario(
        "endpoint {simplified} render active 2 " U8_SIMPLIFIED_SPEAKER " (Lumirel USB Audio Device)\n"
        "endpoint {digital} render active 2 " U8_DIGITAL_INTERFACE " (Lumirel USB Audio Device)\n"
        "endpoint {traditional} render active 2 " U8_TRADITIONAL_SPEAKER " (LUMIREL)\n"
        "endpoint {other} render active 2 " U8_SIMPLIFIED_SPEAKER " (Realtek)\n");
    CAudioEndpointControl audio;
    audio.ScanEndpoints();
    EXPECT_EQ(L"{traditional}", audio.SpeakerEndpointId());
    EXPECT_EQ(L"{digital}", audio.SpdifEndpointId());
}

struct DefaultCase {
    const char* name;
    int output;
};

TEST_F(ChineseEndpointNamesTest, DefaultOutputKnowsOnlyTheSimplifiedSpeaker)
{
    const DefaultCase cases[] = {
        {U8_SIMPLIFIED_SPEAKER " (Realtek)", OUTPUT_SPEAKER},
        {U8_TRADITIONAL_SPEAKER " (Lumirel USB Audio Device)", OUTPUT_NONE},
        {U8_DIGITAL_INTERFACE " (Lumirel USB Audio Device)", OUTPUT_SPDIF},
    };
    for (const DefaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadScenario(std::string("endpoint {d} render active 2 ") + c.name + "\n");
        CAudioEndpointControl audio;
        EXPECT_EQ(c.output, audio.QueryDefaultOutput());
    }
}

TEST_F(ChineseEndpointNamesTest, DefaultChangeToChineseNamesPostsTheOutput)
{
    LoadScenario(
        "endpoint {traditional} render active 2 " U8_TRADITIONAL_SPEAKER " (Lumirel)\n"
        "endpoint {digital} render active 2 " U8_DIGITAL_INTERFACE "\n");
    CMMNotificationClient* sink = new CMMNotificationClient();
    sink->OnDefaultDeviceChanged(eRender, eConsole, L"{traditional}");
    EXPECT_EQ((std::vector<LPARAM>{1}), OutputChanges(CollectPosted()));
    sink->OnDefaultDeviceChanged(eRender, eConsole, L"{digital}");
    EXPECT_EQ((std::vector<LPARAM>{0}), OutputChanges(CollectPosted()));
    sink->Release();
}

}  // namespace
