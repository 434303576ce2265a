#include <gtest/gtest.h>

#include "driver/FormatControl.h"
#include "tests/driver/DriverFixture.h"

using namespace drivertest;

namespace {

const std::initializer_list<int> kRateIds = {IDC_RATE_44K1, IDC_RATE_48K,   IDC_RATE_88K2,
                                             IDC_RATE_96K,  IDC_RATE_176K4, IDC_RATE_192K};
const std::initializer_list<int> kDepthIds = {IDC_DEPTH_16, IDC_DEPTH_24, IDC_DEPTH_32};

class FormatControlTest : public DriverFixture {};

TEST_F(FormatControlTest, RateClickSendsOneSetAndPushesOnlyItsButton)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    RequestSampleRate(dlg(), bufs(), 96000);
    const std::vector<std::string> expected = {
        "PropertyControl set DevSampleRateControl dev=0,0,0,0 value=00770100 param=null -> 0"};
    EXPECT_EQ(expected, m_sim.Requests());
    EXPECT_EQ(std::vector<int>{IDC_RATE_96K}, m_panel.PushedOf(kRateIds));
    const std::vector<std::pair<int, int>> order = {{1002, 0}, {1003, 0}, {1004, 0},
                                                    {1005, 1}, {1006, 0}, {1007, 0}};
    EXPECT_EQ(order, StateMessages());
}

TEST_F(FormatControlTest, DepthClickSendsSixteenBitValue)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    RequestBitDepth(dlg(), bufs(), 24);
    const std::vector<std::string> expected = {
        "PropertyControl set DevBitDepthControl dev=0,0,0,0 value=1800 param=null -> 0"};
    EXPECT_EQ(expected, m_sim.Requests());
    const std::vector<std::pair<int, int>> order = {{1008, 0}, {1009, 1}, {1014, 0}};
    EXPECT_EQ(order, StateMessages());
}

TEST_F(FormatControlTest, RefusedSetStillShowsTheRequestedValue)
{
    ASSERT_EQ(DriverStartup::Ready, Start("reject-depth 24\nunsupported-rate 192000\n"));
    ShowBitDepth(dlg(), 16);
    ShowSampleRate(dlg(), 44100);
    RequestBitDepth(dlg(), bufs(), 24);
    RequestSampleRate(dlg(), bufs(), 192000);
    const std::vector<std::string> expected = {
        "PropertyControl set DevBitDepthControl dev=0,0,0,0 value=1800 param=null -> 1",
        "PropertyControl set DevSampleRateControl dev=0,0,0,0 value=00ee0200 param=null -> 1"};
    EXPECT_EQ(expected, m_sim.Requests());
    EXPECT_EQ(std::vector<int>{IDC_DEPTH_24}, m_panel.PushedOf(kDepthIds));
    EXPECT_EQ(std::vector<int>{IDC_RATE_192K}, m_panel.PushedOf(kRateIds));
}

TEST_F(FormatControlTest, ValuesOutsideTheTablesChangeNoButton)
{
    ShowBitDepth(dlg(), 24);
    ShowSampleRate(dlg(), 48000);
    StateMessages().clear();
    for (int depth : {0, 8, 20, -16, 320})
        ShowBitDepth(dlg(), depth);
    for (int rate : {0, 44, 44000, 96, 32000, 384000})
        ShowSampleRate(dlg(), rate);
    EXPECT_TRUE(StateMessages().empty());
    EXPECT_EQ(std::vector<int>{IDC_DEPTH_24}, m_panel.PushedOf(kDepthIds));
    EXPECT_EQ(std::vector<int>{IDC_RATE_48K}, m_panel.PushedOf(kRateIds));
}

TEST_F(FormatControlTest, RefreshReadsTheWholeStateInOrder)
{
    ASSERT_EQ(DriverStartup::Ready, Start("rate 88200\ndepth 24\n"));
    RefreshFormatState(dlg(), bufs());
    const std::vector<std::string> expected = {
        "PropertyControl get DevChannelNumControl dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100044ac0000 -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100080bb0000 -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100088580100 -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100000770100 -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100010b10200 -> 0",
        "PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0200100000ee0200 -> 0",
        "PropertyControl get DevSampleRateControl dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get DevBitDepthControl dev=0,0,0,0 value= param=null -> 0",
    };
    // The query asks for 16 bits although 24 are selected; no buffer arrives uncleared.
    EXPECT_EQ(expected, m_sim.Requests());
    EXPECT_EQ(std::vector<int>{IDC_RATE_88K2}, m_panel.PushedOf(kRateIds));
    EXPECT_EQ(std::vector<int>{IDC_DEPTH_24}, m_panel.PushedOf(kDepthIds));
    for (int id : kRateIds)
        EXPECT_TRUE(m_panel.Enabled(id)) << id;
}

TEST_F(FormatControlTest, OnlyASupportReplyOfOneEnablesARate)
{
    struct Case {
        const char* reply;
        bool enabled;
    } cases[] = {{"1", true}, {"2", false}, {"0", false}, {"", false}, {"x1", false}, {" 1", true}, {"10", false}};
    for (const Case& c : cases) {
        ASSERT_EQ(DriverStartup::Ready, Start(std::string("support-reply 96000 ") + c.reply + "\n"));
        EnableWindow(GetDlgItem(dlg(), IDC_RATE_96K), c.enabled ? FALSE : TRUE);
        RefreshFormatState(dlg(), bufs());
        EXPECT_EQ(c.enabled, m_panel.Enabled(IDC_RATE_96K)) << "reply \"" << c.reply << "\"";
        EXPECT_TRUE(m_panel.Enabled(IDC_RATE_48K));
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, UnsupportedRatesAreDisabledAndAFailedQueryLeavesTheButton)
{
    ASSERT_EQ(DriverStartup::Ready, Start("unsupported-rate 176400 192000\n"));
    RefreshFormatState(dlg(), bufs());
    EXPECT_FALSE(m_panel.Enabled(IDC_RATE_176K4));
    EXPECT_FALSE(m_panel.Enabled(IDC_RATE_192K));
    EXPECT_TRUE(m_panel.Enabled(IDC_RATE_96K));
    ShutdownDriverLibrary();

    ASSERT_EQ(DriverStartup::Ready, Start("fail get IsSupportFormat\n"));
    RefreshFormatState(dlg(), bufs());
    EXPECT_FALSE(m_panel.Enabled(IDC_RATE_176K4));
    EXPECT_TRUE(m_panel.Enabled(IDC_RATE_96K));
}

TEST_F(FormatControlTest, FailedChannelReadAsksWithZeroChannels)
{
    ASSERT_EQ(DriverStartup::Ready, Start("fail get DevChannelNumControl\n"));
    RefreshFormatState(dlg(), bufs());
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ("PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0000100044ac0000 -> 0", requests[1]);
    for (int id : kRateIds)
        EXPECT_FALSE(m_panel.Enabled(id)) << "0 channels support no rate";
}

TEST_F(FormatControlTest, ReportedDepthOutsideTheTableReleasesAllDepthButtons)
{
    for (const char* reply : {"0", "20", "", "abc", "-16"}) {
        ASSERT_EQ(DriverStartup::Ready, Start(std::string("reply DevBitDepthControl utf16 ") + reply + "\n"));
        ShowBitDepth(dlg(), 16);
        RefreshFormatState(dlg(), bufs());
        EXPECT_TRUE(m_panel.PushedOf(kDepthIds).empty()) << "reply \"" << reply << "\"";
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, ReportedRateOutsideTheTableKeepsTheRateGroup)
{
    for (const char* reply : {"50000", "0", "", "96", "x96000"}) {
        ASSERT_EQ(DriverStartup::Ready, Start(std::string("reply DevSampleRateControl utf16 ") + reply + "\n"));
        ShowSampleRate(dlg(), 96000);
        RefreshFormatState(dlg(), bufs());
        EXPECT_EQ(std::vector<int>{IDC_RATE_96K}, m_panel.PushedOf(kRateIds)) << "reply \"" << reply << "\"";
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, FailedGetsLeaveTheGroups)
{
    ASSERT_EQ(DriverStartup::Ready, Start("fail get DevSampleRateControl\nfail get DevBitDepthControl\nrate 192000\ndepth 24\n"));
    ShowSampleRate(dlg(), 48000);
    ShowBitDepth(dlg(), 16);
    RefreshFormatState(dlg(), bufs());
    EXPECT_EQ(std::vector<int>{IDC_RATE_48K}, m_panel.PushedOf(kRateIds));
    EXPECT_EQ(std::vector<int>{IDC_DEPTH_16}, m_panel.PushedOf(kDepthIds));
}

TEST_F(FormatControlTest, LeadingSpacesAndTrailingTextReadAsTheNumber)
{
    ASSERT_EQ(DriverStartup::Ready, Start("reply DevSampleRateControl utf16  176400Hz\nreply DevBitDepthControl utf16 24 bits\n"));
    RefreshFormatState(dlg(), bufs());
    EXPECT_EQ(std::vector<int>{IDC_RATE_176K4}, m_panel.PushedOf(kRateIds));
    EXPECT_EQ(std::vector<int>{IDC_DEPTH_24}, m_panel.PushedOf(kDepthIds));
}

// The reply buffers end where an inaccessible page starts: reading past them would fault.
TEST_F(FormatControlTest, RepliesFillingTheWholeBufferAreReadWithinIt)
{
    const char* scenarios[] = {
        "reply DevSampleRateControl fill16 0039 512\nreply DevBitDepthControl fill16 0031 512\n"
        "reply DevChannelNumControl fill 32 1024\nreply IsSupportFormat fill 31 1024\n",
        // Longer than the buffer: the library stops at its end, unterminated.
        "reply DevSampleRateControl fill16 0039 5000\nreply DevBitDepthControl fill 41 9000\n"
        "reply DevChannelNumControl fill 20 4000\nreply IsSupportFormat fill16 3100 4000\n",
    };
    for (const char* scenario : scenarios) {
        ASSERT_EQ(DriverStartup::Ready, Start(scenario));
        ShowSampleRate(dlg(), 44100);
        ShowBitDepth(dlg(), 16);
        RefreshFormatState(dlg(), bufs());
        // Saturated or non-numeric readings are no table values.
        EXPECT_EQ(std::vector<int>{IDC_RATE_44K1}, m_panel.PushedOf(kRateIds));
        EXPECT_TRUE(m_panel.PushedOf(kDepthIds).empty());
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, ChannelCountReadsAsEightBitText)
{
    // "16" in UTF-16 reads as "1" under the 8-bit conversion, and the query says so.
    ASSERT_EQ(DriverStartup::Ready, Start("reply DevChannelNumControl utf16 16\nsupported 1 48000\n"));
    RefreshFormatState(dlg(), bufs());
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ("PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0100100080bb0000 -> 0", requests[2]);
    EXPECT_TRUE(m_panel.Enabled(IDC_RATE_48K));
    EXPECT_FALSE(m_panel.Enabled(IDC_RATE_44K1));
}

}  // namespace
