#include <gtest/gtest.h>

#include "driver/FormatControl.h"
#include "driver/OutputSwitch.h"
#include "res/OutputIds.h"
#include "tests/driver/DriverFixture.h"

using namespace drivertest;

namespace {

class OutputSwitchTest : public DriverFixture {};

bool Same(const DeviceRecord& a, const DeviceRecord& b)
{
    return a.id == b.id && a.type == b.type && a.reserved == b.reserved && a.isOutput == b.isOutput;
}

std::string Describe(const DeviceRecord& r)
{
    return std::to_string(r.id) + "," + std::to_string(r.type) + "," + std::to_string(r.reserved) + "," +
           std::to_string(r.isOutput);
}

TEST_F(OutputSwitchTest, RecordChoiceFollowsTypePreferenceNotListOrder)
{
    struct Case {
        const char* name;
        const char* records;
        int outputId;
        DeviceRecord expected;
    } cases[] = {
        {"type 7 at 0, type 1 at 3", "record 0 10 7 0 1\nrecord 0 11 4 0 0\nrecord 0 12 4 1 1\nrecord 0 13 1 0 1\n",
         OUTPUT_SPEAKER, {13, 1, 0, 1}},
        {"S/PDIF skips type 4 not flagged as output",
         "record 0 10 7 0 1\nrecord 0 11 4 0 0\nrecord 0 12 4 1 1\nrecord 0 13 1 0 1\n", OUTPUT_SPDIF, {12, 4, 1, 1}},
        {"type 1 not flagged as output loses to type 7", "record 0 10 1 0 0\nrecord 0 11 7 0 1\n", OUTPUT_SPEAKER,
         {11, 7, 0, 1}},
        {"output flag must be exactly 1", "record 0 10 1 0 2\nrecord 0 11 7 0 -1\nrecord 0 12 7 5 1\n",
         OUTPUT_SPEAKER, {12, 7, 5, 1}},
        {"first of two type 1 records", "record 0 10 7 0 1\nrecord 0 11 1 0 1\nrecord 0 12 1 0 1\n", OUTPUT_SPEAKER,
         {11, 1, 0, 1}},
        {"Speaker types never serve S/PDIF", "record 0 10 1 0 1\nrecord 0 11 7 0 1\nrecord 0 12 4 0 1\n",
         OUTPUT_SPDIF, {12, 4, 0, 1}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(DriverStartup::Ready, Start(c.records));
        g_outputDevice = DeviceRecord{};
        const DeviceRecord chosen = SwitchDriverOutput(c.outputId);
        EXPECT_TRUE(Same(c.expected, chosen)) << c.name << ": got " << Describe(chosen);
        EXPECT_TRUE(Same(chosen, g_outputDevice)) << "requests name the chosen record";
        ShutdownDriverLibrary();
    }
}

TEST_F(OutputSwitchTest, NoQualifyingRecordKeepsThePreviousOnes)
{
    ASSERT_EQ(DriverStartup::Ready, Start("record 0 10 4 0 0\nrecord 0 11 3 0 1\nrecord 1 20 3 0 0\n"));
    const DeviceRecord previous = {99, 7, 9, 1};
    const DeviceRecord previousSecondary = {98, 2, 8, 0};
    for (int outputId : {OUTPUT_SPDIF, OUTPUT_SPEAKER}) {
        g_outputDevice = previous;
        g_secondaryDevice = previousSecondary;
        EXPECT_TRUE(Same(previous, SwitchDriverOutput(outputId))) << outputId;
        EXPECT_TRUE(Same(previousSecondary, g_secondaryDevice)) << outputId;
    }
}

TEST_F(OutputSwitchTest, SecondaryIsTheFirstTypeTwoRecordOfListOne)
{
    ASSERT_EQ(DriverStartup::Ready,
              Start("record 0 10 1 0 1\nrecord 1 20 3 0 0\nrecord 1 21 2 0 0\nrecord 1 22 2 0 1\n"));
    SwitchDriverOutput(OUTPUT_SPEAKER);
    EXPECT_TRUE(Same(DeviceRecord{21, 2, 0, 0}, g_secondaryDevice)) << Describe(g_secondaryDevice);
}

TEST_F(OutputSwitchTest, SwitchReadsListsThenQueriesSecondaryThenOutput)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    SwitchDriverOutput(OUTPUT_SPDIF);
    const std::vector<std::string> expected = {
        "GetDeviceCount 0 -> 2",
        // Every pass reads the list, also those whose type cannot serve S/PDIF.
        "GetDeviceById 0 0 -> 0",
        "GetDeviceById 0 1 -> 0",
        "GetDeviceById 0 0 -> 0",
        "GetDeviceById 0 1 -> 0",
        "GetDeviceById 0 0 -> 0",
        "GetDeviceById 0 1 -> 0",
        "GetDeviceCount 1 -> 1",
        "GetDeviceById 1 0 -> 0",
        "PropertyControl get GetSupportFeature dev=3,2,0,0 value= param=null -> 0",
        "PropertyControl get GetSupportFeature dev=2,4,1,1 value= param=null -> 0",
    };
    EXPECT_EQ(expected, m_sim.Log());
    EXPECT_TRUE(MessageBoxTexts().empty());
}

TEST_F(OutputSwitchTest, ShortFeatureListWarnsOncePerRecord)
{
    struct Case {
        const char* scenario;
        size_t messages;
    } cases[] = {
        {"features a,b,c,d,e,f\n", 2},
        {"features a,b,c,d,e,f,g\n", 0},
        {"features ,a,,b,c,,d,e,f,\n", 2},   // empty fields do not count
        {"features\n", 2},                    // empty reply
        {"reply GetSupportFeature@1 utf16 a,b,c,d,e,f\n", 1},
        {"reply GetSupportFeature@2 utf16\n", 1},
        {"fail get GetSupportFeature\n", 0},
        {"features a;b;c;d;e;f;g\n", 2},     // one field: only commas separate
        {"reply GetSupportFeature fill16 0041 1024\n", 2},   // unterminated, fills the buffer
        {"reply GetSupportFeature fill16 002c 3000\n", 2},   // only delimiters, oversized
    };
    for (const Case& c : cases) {
        ASSERT_EQ(DriverStartup::Ready, Start(c.scenario));
        MessageBoxTexts().clear();
        SwitchDriverOutput(OUTPUT_SPEAKER);
        EXPECT_EQ(c.messages, MessageBoxTexts().size()) << c.scenario;
        for (const std::string& text : MessageBoxTexts())
            EXPECT_EQ("UpdateAPOAvailable failed!", text);
        ShutdownDriverLibrary();
    }
}

TEST_F(OutputSwitchTest, RecordOfTypeZeroOrLessIsNotQueried)
{
    ASSERT_EQ(DriverStartup::Ready, Start("features a\n"));
    for (int type : {0, -1, -7}) {
        DeviceRecord record = {5, type, 0, 1};
        QuerySupportFeature(record);
    }
    EXPECT_TRUE(m_sim.Requests().empty());
    EXPECT_TRUE(MessageBoxTexts().empty());

    // No list 1 at all: the all-zero secondary record stays unqueried.
    ShutdownDriverLibrary();
    ASSERT_EQ(DriverStartup::Ready, Start("record 0 10 4 0 1\n"));
    SwitchDriverOutput(OUTPUT_SPDIF);
    const std::vector<std::string> expected = {
        "PropertyControl get GetSupportFeature dev=10,4,0,1 value= param=null -> 0"};
    EXPECT_EQ(expected, m_sim.Requests());
}

TEST_F(OutputSwitchTest, GarbageDeviceCountIsReadOnlyAsFarAsTheBound)
{
    ASSERT_EQ(DriverStartup::Ready, Start("record 0 10 7 0 1\ncount 0 4294967295\ncount 1 4000000000\n"));
    EXPECT_TRUE(Same(DeviceRecord{10, 7, 0, 1}, SwitchDriverOutput(OUTPUT_SPEAKER)));
    // Type 1 pass and type 7 pass (which stops at index 0), then list 1.
    EXPECT_EQ(kMaxDeviceRecords + 1 + kMaxDeviceRecords, m_sim.Log("GetDeviceById").size());
}

TEST_F(OutputSwitchTest, StartupSwitchThenFormatReadNameTheChosenRecord)
{
    ASSERT_EQ(0, m_sim.Load("rate 96000\ndepth 24\n"));
    ASSERT_EQ(DriverStartup::Ready, StartDriverLibrary(bufs()));
    EXPECT_TRUE(Same(DeviceRecord{1, 1, 0, 1}, SwitchDriverOutput(OUTPUT_SPEAKER)));
    const FormatState state = ReadFormatState(bufs());
    const std::vector<std::string> requests = m_sim.Requests();
    // Five start-up gets on the all-zero record, two feature queries, then the format read.
    ASSERT_EQ(5u + 2u + 9u, requests.size());
    for (size_t i = 0; i < 5; ++i)
        EXPECT_NE(std::string::npos, requests[i].find("dev=0,0,0,0")) << requests[i];
    EXPECT_EQ("PropertyControl get GetSupportFeature dev=3,2,0,0 value= param=null -> 0", requests[5]);
    EXPECT_EQ("PropertyControl get GetSupportFeature dev=1,1,0,1 value= param=null -> 0", requests[6]);
    for (size_t i = 7; i < requests.size(); ++i)
        EXPECT_NE(std::string::npos, requests[i].find("dev=1,1,0,1")) << requests[i];
    EXPECT_EQ(96000, state.rateHz);
    EXPECT_EQ(24, state.depth);
}

TEST_F(OutputSwitchTest, UnrecognisedOutputsChooseNothing)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    for (int outputId : {OUTPUT_NONE, 101023, 101026, -1})
        EXPECT_TRUE(Same(DeviceRecord{}, SwitchDriverOutput(outputId))) << outputId;

    // Format requests keep naming the all-zero record until an output is chosen.
    SetSampleRate(bufs(), 48000);
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ("PropertyControl set DevSampleRateControl dev=0,0,0,0 value=80bb0000 param=null -> 0", requests.back());
}

}  // namespace
