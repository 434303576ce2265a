#include <gtest/gtest.h>

#include "driver/FormatControl.h"
#include "tests/driver/DriverFixture.h"

using namespace drivertest;

namespace {

class FormatControlTest : public DriverFixture {};

constexpr RateSupport kYes = RateSupport::Supported;
constexpr RateSupport kNo = RateSupport::Unsupported;
constexpr RateSupport kUnknown = RateSupport::Unknown;

std::vector<RateSupport> Support(const FormatState& state)
{
    return std::vector<RateSupport>(std::begin(state.support), std::end(state.support));
}

TEST_F(FormatControlTest, SetsSendOneRequestEachAndReturnTheDriversAnswer)
{
    ASSERT_EQ(DriverStartup::Ready, Start("reject-depth 24\nunsupported-rate 192000\n"));
    EXPECT_EQ(0, SetSampleRate(bufs(), 96000));
    EXPECT_EQ(0, SetBitDepth(bufs(), 16));
    EXPECT_NE(0, SetBitDepth(bufs(), 24));
    EXPECT_NE(0, SetSampleRate(bufs(), 192000));
    const std::vector<std::string> expected = {
        "PropertyControl set DevSampleRateControl dev=0,0,0,0 value=00770100 param=null -> 0",
        "PropertyControl set DevBitDepthControl dev=0,0,0,0 value=1000 param=null -> 0",
        "PropertyControl set DevBitDepthControl dev=0,0,0,0 value=1800 param=null -> 1",
        "PropertyControl set DevSampleRateControl dev=0,0,0,0 value=00ee0200 param=null -> 1"};
    EXPECT_EQ(expected, m_sim.Requests());
}

TEST_F(FormatControlTest, ReadsTheWholeStateInOrder)
{
    ASSERT_EQ(DriverStartup::Ready, Start("rate 88200\ndepth 24\nunsupported-rate 176400\n"));
    const FormatState state = ReadFormatState(bufs());
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
    EXPECT_EQ((std::vector<RateSupport>{kYes, kYes, kYes, kYes, kNo, kYes}), Support(state));
    EXPECT_TRUE(state.rateRead);
    EXPECT_EQ(88200, state.rateHz);
    EXPECT_TRUE(state.depthRead);
    EXPECT_EQ(24, state.depth);
}

TEST_F(FormatControlTest, OnlyASupportReplyOfOneMeansSupported)
{
    struct Case {
        const char* reply;
        RateSupport support;
    } cases[] = {{"1", kYes}, {"2", kNo}, {"0", kNo}, {"", kNo}, {"x1", kNo}, {" 1", kYes}, {"10", kNo}};
    for (const Case& c : cases) {
        ASSERT_EQ(DriverStartup::Ready, Start(std::string("support-reply 96000 ") + c.reply + "\n"));
        const FormatState state = ReadFormatState(bufs());
        EXPECT_EQ(c.support, state.support[3]) << "reply \"" << c.reply << "\"";
        EXPECT_EQ(kYes, state.support[1]);
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, FailedReadsAreUnread)
{
    ASSERT_EQ(DriverStartup::Ready,
              Start("fail get IsSupportFormat\nfail get DevSampleRateControl\nfail get DevBitDepthControl\n"));
    const FormatState state = ReadFormatState(bufs());
    EXPECT_EQ(std::vector<RateSupport>(6, kUnknown), Support(state));
    EXPECT_FALSE(state.rateRead);
    EXPECT_FALSE(state.depthRead);
}

TEST_F(FormatControlTest, FailedChannelReadAsksWithZeroChannels)
{
    ASSERT_EQ(DriverStartup::Ready, Start("fail get DevChannelNumControl\n"));
    const FormatState state = ReadFormatState(bufs());
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ("PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0000100044ac0000 -> 0", requests[1]);
    EXPECT_EQ(std::vector<RateSupport>(6, kNo), Support(state)) << "0 channels support no rate";
}

TEST_F(FormatControlTest, ReadingsAreTheRepliesLeadingDecimalNumber)
{
    struct Case {
        const char* rateReply;
        const char* depthReply;
        int32_t rate;
        int32_t depth;
    } cases[] = {
        {" 176400Hz", "24 bits", 176400, 24},
        {"50000", "0", 50000, 0},
        {"", "", 0, 0},
        {"x96000", "abc", 0, 0},
        {"96", "-16", 96, -16},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(DriverStartup::Ready, Start(std::string("reply DevSampleRateControl utf16 ") + c.rateReply +
                                              "\nreply DevBitDepthControl utf16 " + c.depthReply + "\n"));
        const FormatState state = ReadFormatState(bufs());
        EXPECT_TRUE(state.rateRead && state.depthRead);
        EXPECT_EQ(c.rate, state.rateHz) << "\"" << c.rateReply << "\"";
        EXPECT_EQ(c.depth, state.depth) << "\"" << c.depthReply << "\"";
        ShutdownDriverLibrary();
    }
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
        const FormatState state = ReadFormatState(bufs());
        // Saturated or non-numeric readings are no table values.
        for (int table : kSampleRates)
            EXPECT_NE(table, state.rateHz);
        for (int depth : {16, 24, 32})
            EXPECT_NE(depth, state.depth);
        ShutdownDriverLibrary();
    }
}

TEST_F(FormatControlTest, ChannelCountReadsAsEightBitText)
{
    // "16" in UTF-16 reads as "1" under the 8-bit conversion, and the query says so.
    ASSERT_EQ(DriverStartup::Ready, Start("reply DevChannelNumControl utf16 16\nsupported 1 48000\n"));
    const FormatState state = ReadFormatState(bufs());
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ("PropertyControl get IsSupportFormat dev=0,0,0,0 value= param=0100100080bb0000 -> 0", requests[2]);
    EXPECT_EQ(kYes, state.support[1]);
    EXPECT_EQ(kNo, state.support[0]);
}

}  // namespace
