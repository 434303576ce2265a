// The real panel against a driver library that misbehaves as real ones can: short feature
// lists met by a burst of default changes, events that arrive mid-request or mid-shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "PanelHarness.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/support/DialogWindows.h"

namespace {

const char kFeatureWarning[] = "UpdateAPOAvailable failed!";

// Open message boxes of the panel's thread that show `text`.
std::vector<HWND> OpenBoxes(HWND panel, const char* text)
{
    std::vector<HWND> found;
    for (HWND box : paneltest::VisibleDialogs(::GetWindowThreadProcessId(panel, nullptr)))
        if (::FindWindowExA(box, nullptr, nullptr, text) != nullptr)
            found.push_back(box);
    return found;
}

// Clicks OK on every box that shows `text`, one at a time as they come; returns how many
// were shown and the most that were open at once.
std::pair<int, size_t> DismissBoxes(PanelHarness& h, HWND panel, const char* text)
{
    int shown = 0;
    size_t mostAtOnce = 0;
    for (int round = 0; round < 50; ++round) {
        h.Flush();
        std::vector<HWND> boxes = OpenBoxes(panel, text);
        if (boxes.empty())
            break;
        mostAtOnce = std::max(mostAtOnce, boxes.size());
        ++shown;
        // The newest is the one whose modal loop runs; closing it lets the others go on.
        HWND box = boxes.back();
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 300 && ::IsWindow(box); ++i)
            ::Sleep(10);
    }
    return {shown, mostAtOnce};
}

TEST(PanelDriver, OneDefaultChangeWithAShortFeatureListShowsOneWarningAtATime)
{
    // Only the Speaker record's list is short; the S/PDIF start-up warns about nothing.
    PanelHarness h({"reply GetSupportFeature@1 utf16 a,b,c,d,e,f\n", kTwoOutputs});
    h.Run([&](CKestrunDlg&, HWND panel) {
        ASSERT_TRUE(OpenBoxes(panel, kFeatureWarning).empty());
        h.ClearConfLibLog();
        CoreAudioSim::SetDefault(L"Lumirel USB Audio Device speaker", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll);
        h.SettleAudio();
        // Three roles, each reported by both device sinks: six switches.
        EXPECT_EQ(h.CountPosted(WM_OUTPUT_CHANGED), 6u);
        const auto [shown, mostAtOnce] = DismissBoxes(h, panel, kFeatureWarning);
        EXPECT_EQ(mostAtOnce, 1u);
        EXPECT_EQ(shown, 1);
        // Every switch still ran, and the last one stands.
        const std::string log = h.ConfLibLog();
        size_t switches = 0;
        for (size_t at = log.find("GetSupportFeature dev=1,1,0,1"); at != std::string::npos;
             at = log.find("GetSupportFeature dev=1,1,0,1", at + 1))
            ++switches;
        EXPECT_EQ(switches, 6u);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPDIF));
    });
}

// Every line of the library's log, in order.
std::vector<std::string> LogLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

size_t CountLines(const std::vector<std::string>& lines, const std::string& prefix)
{
    size_t n = 0;
    for (const std::string& line : lines)
        n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

TEST(PanelDriver, AFormatEventArrivingMidRequestIsHandledAfterTheRequestNotInsideIt)
{
    // The first availability query of the start-up refresh is interrupted by a format change.
    PanelHarness h({"event-during IsSupportFormat 1 128\n"});
    std::vector<std::string> lines;
    h.Run([&](CKestrunDlg&, HWND panel) {
        h.Flush();
        lines = LogLines(h.ConfLibLog());
        EXPECT_TRUE(IsPushed(panel, IDC_RATE_44K1));
    });
    const auto callback = std::find(lines.begin(), lines.end(), "callback 1 128");
    ASSERT_NE(callback, lines.end());
    // The interrupted request answers next, then the refresh goes on to its end, and only
    // then does the posted change start a second, whole refresh.
    std::vector<std::string> after;
    for (auto it = callback + 1; it != lines.end(); ++it)
        after.push_back(it->substr(0, it->find(" dev=")));
    std::vector<std::string> expected(6, "PropertyControl get IsSupportFormat");
    expected.push_back("PropertyControl get DevSampleRateControl");
    expected.push_back("PropertyControl get DevBitDepthControl");
    expected.push_back("PropertyControl get DevChannelNumControl");
    for (int i = 0; i < 6; ++i)
        expected.push_back("PropertyControl get IsSupportFormat");
    expected.push_back("PropertyControl get DevSampleRateControl");
    expected.push_back("PropertyControl get DevBitDepthControl");
    EXPECT_EQ(after, expected);
}

TEST(PanelDriver, ACallbackDuringTheLibrarysShutdownEndsThePanelCleanly)
{
    PanelHarness h({"uninit-event 1 128\n"});
    const INT_PTR result = h.Run([&](CKestrunDlg&, HWND) {});
    EXPECT_EQ(result, IDOK);
    const std::vector<std::string> lines = LogLines(h.ConfLibLog());
    // The callback ran while the library shut down; nothing called the library after that.
    const std::vector<std::string> tail = {"ConfLibUnInit", "callback 1 128"};
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()), tail);
    EXPECT_EQ(CountLines(lines, "ConfLibUnInit"), 1u);
}

using States = std::vector<std::pair<int, int>>;

// What the panel sends to the rate and depth buttons to show a driver reading of rate and depth.
States RefreshShows(int rateId, int depthId)
{
    States states;
    for (int id = IDC_RATE_44K1; id <= IDC_RATE_192K; ++id)
        states.emplace_back(id, id == rateId ? 1 : 0);
    for (int id : {IDC_DEPTH_16, IDC_DEPTH_24, IDC_DEPTH_32})
        states.emplace_back(id, 0);
    states.emplace_back(depthId, 1);
    return states;
}

States Join(States a, const States& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void SendClick(HWND panel, int id)
{
    ::SendMessageA(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(panel, id)));
}

TEST(PanelDriver, ButtonsChangeInTheirOrderAtStartUpOnClicksAndOnDefaultChanges)
{
    PanelHarness h({"events off\n", kTwoOutputs});
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        // Start-up on S/PDIF: the Speaker button first, then the format read back.
        EXPECT_EQ(h.ButtonStates(),
                  Join({{IDC_OUTPUT_SPEAKER, 0}, {IDC_OUTPUT_SPDIF, 1}}, RefreshShows(IDC_RATE_44K1, IDC_DEPTH_16)));

        h.ClearButtonStates();
        SendClick(panel, IDC_RATE_96K);
        SendClick(panel, IDC_DEPTH_24);
        EXPECT_EQ(dlg.m_sampleRate, 96000);
        EXPECT_EQ(dlg.m_bitDepth, 24);
        const States clicks = {{1002, 0}, {1003, 0}, {1004, 0}, {1005, 1}, {1006, 0}, {1007, 0},
                               {1008, 0}, {1009, 1}, {1014, 0}};
        EXPECT_EQ(h.ButtonStates(), clicks);

        // A click and a default change both send to the S/PDIF button first.
        h.ClearButtonStates();
        SendClick(panel, IDC_OUTPUT_SPEAKER);
        ::SendMessageA(panel, WM_OUTPUT_CHANGED, 0, 0);
        EXPECT_EQ(::SendMessageA(panel, WM_OUTPUT_CHANGED, 0, 2), 1);
        const States refresh = RefreshShows(IDC_RATE_96K, IDC_DEPTH_24);
        EXPECT_EQ(h.ButtonStates(), Join(Join({{IDC_OUTPUT_SPDIF, 0}, {IDC_OUTPUT_SPEAKER, 1}}, refresh),
                                         Join({{IDC_OUTPUT_SPDIF, 1}, {IDC_OUTPUT_SPEAKER, 0}}, refresh)));
    });
}

TEST(PanelDriver, StartUpOnTheSpeakerSendsToItsButtonFirst)
{
    // At start-up the Speaker is recognised by "master" in the default endpoint's name.
    const std::string speakerDefault =
        "endpoint {0.0.0.00000000}.{aaaa0001} render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
        "endpoint {0.0.0.00000000}.{aaaa0002} render active 2 Lumirel USB Audio Device master speaker\n"
        "level all 0.6\n"
        "default render all 1\n";
    PanelHarness h({"events off\n", speakerDefault});
    h.Run([&](CKestrunDlg&, HWND) {
        EXPECT_EQ(h.ButtonStates(),
                  Join({{IDC_OUTPUT_SPEAKER, 1}, {IDC_OUTPUT_SPDIF, 0}}, RefreshShows(IDC_RATE_44K1, IDC_DEPTH_16)));
    });
}

TEST(PanelDriver, ReadingsOutsideTheTablesKeepTheRateGroupAndReleaseTheDepthGroup)
{
    PanelHarness h({"reply DevSampleRateControl utf16 50000\nreply DevBitDepthControl utf16 0\nevents off\n"});
    h.Run([&](CKestrunDlg&, HWND panel) {
        const States startup = {{IDC_OUTPUT_SPEAKER, 0}, {IDC_OUTPUT_SPDIF, 1},
                                {IDC_DEPTH_16, 0}, {IDC_DEPTH_24, 0}, {IDC_DEPTH_32, 0}};
        EXPECT_EQ(h.ButtonStates(), startup);
        SendClick(panel, IDC_RATE_96K);
        SendClick(panel, IDC_DEPTH_24);
        h.ClearButtonStates();
        ::SendMessageA(panel, WM_DRIVER_FORMAT_CHANGED, 0, 0);
        EXPECT_TRUE(IsPushed(panel, IDC_RATE_96K));
        EXPECT_FALSE(IsPushed(panel, IDC_DEPTH_24));
        EXPECT_EQ(h.ButtonStates(), (States{{IDC_DEPTH_16, 0}, {IDC_DEPTH_24, 0}, {IDC_DEPTH_32, 0}}));
    });
}

}  // namespace
