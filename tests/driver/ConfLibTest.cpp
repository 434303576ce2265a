#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>

#include "driver/ConfLib.h"
#include "driver/FormatControl.h"
#include "driver/DriverMessages.h"
#include "tests/driver/DriverFixture.h"

CWinApp theApp;

using namespace drivertest;

namespace {

struct CallbackCase {
    uint32_t eventType;
    uint32_t eventCode;
    int deviceEvents;
    int formatEvents;
};

class ConfLibTest : public DriverFixture {};

TEST(ConfLibPath, NewerThanWindows52LoadsTheVistaBuild)
{
    struct Case {
        DWORD major, minor;
        const char* expected;
    } cases[] = {
        {5, 1, "C:\\p\\osConfLibFlie/x64/xp/osConfLib.dll"},
        {5, 2, "C:\\p\\osConfLibFlie/x64/xp/osConfLib.dll"},
        {5, 3, "C:\\p\\osConfLibFlie/x64/vista/osConfLib.dll"},
        {6, 0, "C:\\p\\osConfLibFlie/x64/vista/osConfLib.dll"},
        {6, 2, "C:\\p\\osConfLibFlie/x64/vista/osConfLib.dll"},
        {10, 0, "C:\\p\\osConfLibFlie/x64/vista/osConfLib.dll"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ConfLibPathFor("C:\\p\\", c.major, c.minor)) << c.major << "." << c.minor;
}

TEST_F(ConfLibTest, CallbackPostsByEventTypeThenCode)
{
    const CallbackCase cases[] = {
        {8, 128, 1, 0},  {8, 0, 1, 0},   {8, 256, 1, 0}, {0, 128, 0, 1}, {3, 256, 0, 1},
        {0, 384, 0, 0},  {0, 129, 0, 0}, {0, 0, 0, 0},   {128, 8, 0, 0},
    };
    for (const CallbackCase& c : cases) {
        DriverEventCallback(nullptr, nullptr, c.eventType, c.eventCode);
        EXPECT_EQ(c.deviceEvents, TakeMessages(mainWindow(), WM_DRIVER_DEVICE_EVENT)) << c.eventType << "/" << c.eventCode;
        EXPECT_EQ(c.formatEvents, TakeMessages(mainWindow(), WM_DRIVER_FORMAT_CHANGED)) << c.eventType << "/" << c.eventCode;
    }
}

TEST_F(ConfLibTest, CallbackWithoutMainWindowPostsNothingAndReturns)
{
    m_mainWnd.Detach();
    DriverEventCallback(nullptr, nullptr, 8, 0);
    DriverEventCallback(nullptr, nullptr, 0, 128);
    EXPECT_EQ(0, TakeMessages(mainWindow(), WM_DRIVER_DEVICE_EVENT));
    EXPECT_EQ(0, TakeMessages(mainWindow(), WM_DRIVER_FORMAT_CHANGED));
}

TEST_F(ConfLibTest, EventsFromTheLibraryThreadReachTheMainWindow)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    ASSERT_EQ(0, m_sim.Fire(8, 128));
    ASSERT_EQ(0, m_sim.Fire(0, 384));
    ASSERT_EQ(0, m_sim.Fire(0, 256));
    // SimFireEvent returns after the callback did, so the posts are already queued.
    EXPECT_EQ(1, TakeMessages(mainWindow(), WM_DRIVER_DEVICE_EVENT));
    EXPECT_EQ(1, TakeMessages(mainWindow(), WM_DRIVER_FORMAT_CHANGED));
}

TEST_F(ConfLibTest, NamedEventDeliversTheScenariosDemandEvent)
{
    ASSERT_EQ(DriverStartup::Ready, Start("demand-event 8 0\n"));
    HANDLE trigger = OpenEventA(EVENT_MODIFY_STATE, FALSE, CONFLIB_SIM_EVENT_NAME);
    ASSERT_NE(nullptr, trigger);
    SetEvent(trigger);
    CloseHandle(trigger);
    EXPECT_EQ(1, TakeMessages(mainWindow(), WM_DRIVER_DEVICE_EVENT, 1, 5000));
    EXPECT_EQ(0, TakeMessages(mainWindow(), WM_DRIVER_FORMAT_CHANGED));
}

TEST_F(ConfLibTest, AcceptedFormatSetIsAnnouncedThroughTheCallback)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    SetSampleRate(bufs(), 96000);
    EXPECT_EQ(1, TakeMessages(mainWindow(), WM_DRIVER_FORMAT_CHANGED, 1, 5000));
}

TEST_F(ConfLibTest, StartupOpensListsRegistersAndAsksBeforeWritingDefaults)
{
    ASSERT_EQ(0, m_sim.Load(""));
    ASSERT_EQ(DriverStartup::Ready, StartDriverLibrary(bufs()));
    const std::vector<std::string> expected = {
        "ConfLibInit",
        "CreateDeviceList",
        "GetDeviceCount 0 -> 2",
        "RegisterCallbackFunction",
        "PropertyControl get DevChannelNumControl dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get Enable_Channel_COPY_LFX dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get DevSampleRateControl dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get DevBitDepthControl dev=0,0,0,0 value= param=null -> 0",
        "PropertyControl get DeviceSpecificControl dev=0,0,0,0 value= param=00000000 -> 0",
    };
    EXPECT_EQ(expected, m_sim.Log());
}

TEST_F(ConfLibTest, StartupWritesEachDefaultTheDriverCannotReadBack)
{
    ASSERT_EQ(0, m_sim.Load("fail get DevChannelNumControl\n"
                            "fail get Enable_Channel_COPY_LFX\n"
                            "fail get DevSampleRateControl\n"
                            "fail get DevBitDepthControl\n"
                            "fail get DeviceSpecificControl\n"
                            "rate 96000\n"
                            "depth 24\n"));
    ASSERT_EQ(DriverStartup::Ready, StartDriverLibrary(bufs()));
    const std::vector<std::string> expected = {
        "PropertyControl get DevChannelNumControl dev=0,0,0,0 value= param=null -> 1",
        "PropertyControl set DevChannelNumControl dev=0,0,0,0 value=0200 param=null -> 0",
        "PropertyControl get Enable_Channel_COPY_LFX dev=0,0,0,0 value= param=null -> 1",
        "PropertyControl set Enable_Channel_COPY_LFX dev=0,0,0,0 value=00000000 param=null -> 0",
        "PropertyControl get DevSampleRateControl dev=0,0,0,0 value= param=null -> 1",
        "PropertyControl set DevSampleRateControl dev=0,0,0,0 value=44ac0000 param=null -> 0",
        "PropertyControl get DevBitDepthControl dev=0,0,0,0 value= param=null -> 1",
        "PropertyControl set DevBitDepthControl dev=0,0,0,0 value=1000 param=null -> 0",
        "PropertyControl get DeviceSpecificControl dev=0,0,0,0 value= param=00000000 -> 1",
        "PropertyControl set DeviceSpecificControl dev=0,0,0,0 value=00000000 param=00000000 -> 0",
    };
    EXPECT_EQ(expected, m_sim.Requests());
    uint32_t rate = 0, depth = 0, channels = 0;
    m_sim.Format(rate, depth, channels);
    EXPECT_EQ(44100u, rate);
    EXPECT_EQ(16u, depth);
}

TEST_F(ConfLibTest, EmptyDeviceListEndsStartupBeforeTheCallbackAndDefaults)
{
    ASSERT_EQ(0, m_sim.Load("no-device\n"));
    EXPECT_EQ(DriverStartup::NoDevice, StartDriverLibrary(bufs()));
    const std::vector<std::string> expected = {"ConfLibInit", "CreateDeviceList", "GetDeviceCount 0 -> 0"};
    EXPECT_EQ(expected, m_sim.Log());
}

// A library that refuses to count or to hand out a record: the panel reads no device or an
// all-zero record.
TEST_F(ConfLibTest, RefusedCountsAndRecordsReadAsNone)
{
    struct Case {
        const char* scenario;
        uint32_t counts[2];
        int32_t speakerId, spdifId;  // list 0, index 0 and 1
        const char* struck;          // the log's "injected" line; none without an injection
    } cases[] = {
        {"", {2, 1}, 1, 2, nullptr},
        {"fail GetDeviceCount", {0, 0}, 1, 2, "injected fail GetDeviceCount"},
        {"fail GetDeviceCount 1", {2, 0}, 1, 2, "injected fail GetDeviceCount 1"},
        {"fail GetDeviceById", {2, 1}, 0, 0, "injected fail GetDeviceById"},
        {"fail GetDeviceById 0 1", {2, 1}, 1, 0, "injected fail GetDeviceById 0 1"},
        {"count 1 7", {2, 7}, 1, 2, "injected count 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        Start(c.scenario);
        EXPECT_EQ(c.counts[0], DriverDeviceCount(0));
        EXPECT_EQ(c.counts[1], DriverDeviceCount(1));
        DeviceRecord speaker{}, spdif{};
        DriverDeviceById(0, 0, speaker);
        DriverDeviceById(0, 1, spdif);
        EXPECT_EQ(c.speakerId, speaker.id);
        EXPECT_EQ(c.spdifId, spdif.id);
        const std::vector<std::string> struck = m_sim.Log("injected ");
        EXPECT_EQ(c.struck != nullptr, !struck.empty());
        if (c.struck != nullptr) {
            EXPECT_NE(std::find(struck.begin(), struck.end(), c.struck), struck.end());
        }
        ShutdownDriverLibrary();
    }
}

// The catalogue a fault campaign runs: every case must be a scenario the simulator reads whole.
TEST_F(ConfLibTest, EveryCatalogueInjectionIsAReadableScenario)
{
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe);
    path = path.substr(0, path.find_last_of('\\') + 1) + "conflib-injections.txt";
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::map<std::string, std::string> cases;
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            cases[name = line.substr(1, line.size() - 2)];
        else if (!name.empty())
            cases[name] += line + "\n";
    }
    EXPECT_GE(cases.size(), 20u);
    for (const auto& [caseName, scenario] : cases)
        EXPECT_EQ(0, m_sim.Load(scenario)) << caseName;
}

TEST_F(ConfLibTest, ShutdownUninitialisesTheLibrary)
{
    ASSERT_EQ(DriverStartup::Ready, Start(""));
    ShutdownDriverLibrary();
    EXPECT_EQ(std::vector<std::string>{"ConfLibUnInit"}, m_sim.Log());
}

}  // namespace
