// The whole panel in one process: the real dialog, its controls and start-up, against the
// driver library and Core Audio simulators, driven as the user, the shell and other
// programs would drive it.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "PanelHarness.h"
#include "audio/PanelEventContext.h"
#include "panel/ControlText.h"
#include "panel/Settings.h"
#include "res/MakerInfo.h"
#include "sim/conflib/ConfLibSim.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/support/PanelWrites.h"
#include "tests/support/DialogWindows.h"
#include "tests/support/Pointer.h"
#include "tests/support/UsbDevice.h"

namespace {

const wchar_t kSpdifEndpoint[] = L"SPDIF Interface (Lumirel USB Audio Device)";

// "get DevChannelNumControl 0,0,0,0" for every property request, in order.
std::vector<std::string> PropertyRequests(const std::string& log)
{
    std::vector<std::string> out;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("PropertyControl ", 0) != 0)
            continue;
        std::istringstream words(line.substr(16));
        std::string dir, name, dev;
        words >> dir >> name >> dev;
        out.push_back(dir + " " + name + " " + dev.substr(4));
    }
    return out;
}

using paneltest::PanelLevelWrites;

void SendClick(HWND panel, int id)
{
    ::SendMessageA(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(panel, id)));
}

// Mouse input reaches the slider through the queue, behind what the slider posted before,
// so each step is handled before the next arrives. While the slider holds the capture, a
// move the system makes up from the real pointer (Wine does when the pointer's window
// changes or it re-reads the X server's) reaches it too: the pointer waits where the drag
// ends, so that such a move is a step the drag makes anyway.
void Drag(PanelHarness& h, HWND slider, std::initializer_list<int> ys)
{
    POINT end{25, *(ys.end() - 1)};
    ::ClientToScreen(slider, &end);
    EXPECT_TRUE(paneltest::PlacePointer(end));
    auto it = ys.begin();
    ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, *it));
    h.Flush();
    for (++it; it != ys.end(); ++it) {
        ::SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, *it));
        h.Flush();
    }
    ::SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(25, *(ys.end() - 1)));
    h.Flush();
}

// A click on the panel's face at a control's centre. The release is queued first so the
// window-move loop that the click may enter ends at once, as with a click that does not move.
void ClickPanelAtPoint(HWND panel, LPARAM at)
{
    ::PostMessageA(panel, WM_LBUTTONUP, 0, at);
    DWORD_PTR ignored = 0;
    // Should the move loop have missed that release, give it another.
    if (!::SendMessageTimeoutA(panel, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_NORMAL, 3000, &ignored))
        ::PostMessageA(panel, WM_LBUTTONUP, 0, at);
    EXPECT_NE(::SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored), 0) << "the click left the panel stuck";
}

void ClickPanelAt(HWND panel, int controlId) { ClickPanelAtPoint(panel, ClientPointOf(panel, controlId)); }

bool EnteredMoveLoop(const PanelHarness& h)
{
    for (const MSG& m : h.SentToPanel())
        if (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCAPTION)
            return true;
    return false;
}

std::string IniValue(const char* key)
{
    char value[64] = "";
    ::GetPrivateProfileStringA(SETTINGS_SECTION, key, "<none>", value, sizeof(value), (ModuleDirectory() + SETTINGS_FILE).c_str());
    return value;
}

TEST(PanelStartup, ShowsTheDefaultOutputTheDriverFormatAndTheEndpointLevels)
{
    PanelHarness h;
    std::string log;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        EXPECT_EQ(dlg.m_outputId, OUTPUT_SPDIF);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPDIF));
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        EXPECT_TRUE(IsPushed(panel, IDC_RATE_44K1));
        EXPECT_TRUE(IsPushed(panel, IDC_DEPTH_16));
        for (int id : {IDC_RATE_48K, IDC_RATE_96K, IDC_DEPTH_24, IDC_DEPTH_32})
            EXPECT_FALSE(IsPushed(panel, id)) << id;
        for (int id = IDC_RATE_44K1; id <= IDC_RATE_192K; ++id)
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(panel, id))) << id;
        // The demo endpoint stands at 0.8 on both channels, which reads back as 19.
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 19);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 19);
        EXPECT_FALSE(dlg.m_muteIndicator.m_state);
        EXPECT_TRUE(dlg.m_linkIndicator.m_state);
        char title[64] = "";
        ::GetWindowTextA(panel, title, sizeof(title));
        EXPECT_STREQ(title, "Vexmora USB Audio Driver");
        LONG_PTR ex = ::GetWindowLongPtrA(panel, GWL_EXSTYLE);
        EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(ex & WS_EX_APPWINDOW);
        log = h.ConfLibLog();
    });

    // Defaults are only read (the device answers every get) and name the all-zero record;
    // the output switch then names the S/PDIF record and reads the format back.
    std::vector<std::string> expected = {
        "get DevChannelNumControl 0,0,0,0", "get Enable_Channel_COPY_LFX 0,0,0,0",
        "get DevSampleRateControl 0,0,0,0", "get DevBitDepthControl 0,0,0,0",
        "get DeviceSpecificControl 0,0,0,0",
        "get GetSupportFeature 3,2,0,0", "get GetSupportFeature 2,4,1,1",
        "get DevChannelNumControl 2,4,1,1",
    };
    for (int i = 0; i < 6; ++i)
        expected.push_back("get IsSupportFormat 2,4,1,1");
    expected.push_back("get DevSampleRateControl 2,4,1,1");
    expected.push_back("get DevBitDepthControl 2,4,1,1");
    EXPECT_EQ(PropertyRequests(log), expected);
}

TEST(PanelStartup, ADriverWithoutDevicesLeavesTheStartupPlaceholders)
{
    PanelHarness h({"no-device\n"});
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPDIF));
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 20);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 20);
        EXPECT_TRUE(dlg.m_muteIndicator.m_state);  // the muted image until the first refresh
        EXPECT_EQ(h.ConfLibLog().find("RegisterCallbackFunction"), std::string::npos);
        // The first refresh from elsewhere replaces the placeholders.
        CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 0, 0.5f, GUID_NULL);
        h.SettleAudio();
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 50);
        EXPECT_FALSE(dlg.m_muteIndicator.m_state);
    });
}

TEST(PanelStartup, WithoutTheUsbDeviceTheWholeInitialisationRunsAndThePanelEnds)
{
    bool scriptRan = false;
    INT_PTR result = 0;
    std::string log;
    {
        paneltest::UsbDeviceUnplugged unplugged;
        ASSERT_TRUE(unplugged.Ok());
        PanelRunOptions options;
        options.endsAtStartup = true;
        PanelHarness h(options);
        result = h.Run([&](CKestrunDlg&, HWND) { scriptRan = true; });
        log = h.ConfLibLog();
    }

    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(scriptRan);
    EXPECT_NE(log.find("ConfLibInit"), std::string::npos);
    EXPECT_NE(log.find("RegisterCallbackFunction"), std::string::npos);
    EXPECT_NE(log.find("GetSupportFeature"), std::string::npos);
}

// A linked drag of one slider to two positions: the dragged slider's channel is written first,
// then the copy, at each step, all with the panel's context, and none of it comes back.
void ExpectALinkedDragWritesBothChannels(int sliderId, UINT leading)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        CoreAudioSim::ClearLogs();
        Drag(h, ::GetDlgItem(panel, sliderId), {62, 104});
        h.SettleAudio();
        h.SettleAudio();
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 50);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 50);

        auto writes = PanelLevelWrites();
        ASSERT_EQ(writes.size(), 4u);
        const UINT other = 1 - leading;
        const std::pair<UINT, float> expected[] = {{leading, 0.71f}, {other, 0.71f}, {leading, 0.5f}, {other, 0.5f}};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(writes[i].channel, expected[i].first) << i;
            EXPECT_FLOAT_EQ(writes[i].value, expected[i].second) << i;
            EXPECT_TRUE(IsEqualGUID(writes[i].context, g_panelEventContext)) << i;
        }
        // The panel's own writes come back from the sinks as nothing.
        EXPECT_EQ(h.CountPosted(WM_VOLUME_REFRESH), 0u);
        EXPECT_EQ(h.CountPosted(WM_SLIDER_MOVING), 2u);
        EXPECT_EQ(h.CountPosted(WM_SLIDER_MOVED), 1u);
    });
}

TEST(PanelVolume, ALinkedDragWritesBothChannelsWithThePanelContextAndIsNotEchoed)
{
    ExpectALinkedDragWritesBothChannels(IDC_SLIDER_LEFT, 0);
}

TEST(PanelVolume, ALinkedDragOfTheRightSliderWritesChannelOneFirst)
{
    ExpectALinkedDragWritesBothChannels(IDC_SLIDER_RIGHT, 1);
}

TEST(PanelVolume, AnUnlinkedDragWritesOnlyItsOwnChannel)
{
    PanelHarness h({"", "", "0"});
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        CoreAudioSim::ClearLogs();
        Drag(h, ::GetDlgItem(panel, IDC_SLIDER_RIGHT), {104});
        h.SettleAudio();
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 50);
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 19);
        auto writes = PanelLevelWrites();
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].channel, 1u);
    });
}

TEST(PanelVolume, ChangesMadeElsewhereMoveTheSlidersAndTheMuteIndicator)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND) {
        const GUID mixer = MixerContext();
        CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 0, 0.5f, mixer);
        CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 1, 0.25f, mixer);
        CoreAudioSim::SetMute(kSpdifEndpoint, true, mixer);
        h.SettleAudio();
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 50);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 75);
        EXPECT_TRUE(dlg.m_muteIndicator.m_state);
        EXPECT_GE(h.CountPosted(WM_VOLUME_REFRESH), 1u);  // refreshes of one kind coalesce while one waits

        // A change that carries the panel's own context is not the panel's business.
        size_t before = h.CountPosted(WM_VOLUME_REFRESH);
        CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 0, 0.9f, g_panelEventContext);
        h.SettleAudio();
        EXPECT_EQ(h.CountPosted(WM_VOLUME_REFRESH), before);
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 50);

        // A hardware control of the adapter refreshes through the control change sink.
        CoreAudioSim::HardwareChange(kSpdifEndpoint, 0, mixer);
        h.SettleAudio();
        bool fromHardware = false;
        for (const MSG& m : h.PostedToPanel())
            fromHardware |= m.message == WM_VOLUME_REFRESH && m.wParam == 1;
        EXPECT_TRUE(fromHardware);
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 10);  // 0.9f written earlier is read now
    });
}

std::wstring EndpointIdOf(const wchar_t* name)
{
    CoreAudioSim::SimState state;
    CoreAudioSim::ReadState(state);
    for (const auto& endpoint : state.endpoints)
        if (endpoint.name == name)
            return endpoint.id;
    return std::wstring();
}

// The device comes and goes under the running panel, one event after the other. After each, a
// change made elsewhere on the render default (in the mixer, or on the hardware with a level
// the panel wrote itself) moves the slider, and a drag sets that endpoint's level.
TEST(PanelVolume, AfterAReplugAResumeOrALateNewDefaultChangesMadeElsewhereStillShow)
{
    const wchar_t kHeadphones[] = L"Headphones (USB Headset)";
    struct Event {
        const char* name;
        std::function<void()> happen;
        const wchar_t* endpoint;  // the render default afterwards
        int shownAfterEvent;      // left slider
        bool hardware;            // the change is a hardware control change
        float level;
        int shownAfterChange;
    };
    const Event events[] = {
        {"replug of the default", [] { EXPECT_EQ(CoreAudioSim::Replug(kSpdifEndpoint), S_OK); }, kSpdifEndpoint, 19, false, 0.5f, 50},
        {"resume", [] { EXPECT_EQ(CoreAudioSim::Resume(L"Lumirel USB Audio Device"), S_OK); }, kSpdifEndpoint, 28, true, 0.25f, 75},
        {"late new default",
         [&] {
             CoreAudioSim::EndpointInfo headphones;
             headphones.id = L"{late-headphones}";
             headphones.name = kHeadphones;
             headphones.levels = {0.75f, 0.75f};
             EXPECT_EQ(CoreAudioSim::AddEndpoint(headphones), S_OK);
             EXPECT_EQ(CoreAudioSim::SetDefault(headphones.id, CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll), S_OK);
         },
         kHeadphones, 25, false, 0.5f, 50},
    };
    const GUID mixer = MixerContext();
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        for (const Event& event : events) {
            SCOPED_TRACE(event.name);
            event.happen();
            h.SettleAudio();
            h.SettleAudio();  // the renewal's own refresh
            EXPECT_EQ(dlg.m_sliderLeft.GetPos(), event.shownAfterEvent);
            if (event.hardware) {
                CoreAudioSim::SetChannelLevel(event.endpoint, 0, event.level, g_panelEventContext);  // no refresh of its own
                CoreAudioSim::HardwareChange(event.endpoint, 0, mixer);
            } else {
                CoreAudioSim::SetChannelLevel(event.endpoint, 0, event.level, mixer);
            }
            h.SettleAudio();
            EXPECT_EQ(dlg.m_sliderLeft.GetPos(), event.shownAfterChange);

            CoreAudioSim::ClearLogs();
            Drag(h, ::GetDlgItem(panel, IDC_SLIDER_LEFT), {62});
            auto writes = PanelLevelWrites();
            EXPECT_EQ(writes.size(), 2u);
            for (const auto& write : writes) {
                EXPECT_EQ(write.endpointId, EndpointIdOf(event.endpoint));
                EXPECT_EQ(write.result, S_OK);
            }
        }
    });
}

// A change made elsewhere while the panel is inside a read of its own: `slowed` is delayed
// once (after `skip` calls), and the mixer moves the left channel while the panel waits in it.
// The read had begun already, so only a notification handled after it can show the change.
void ExpectAChangeInsideAReadIsShown(CoreAudioSim::SimFault slowed, uint32_t skip, bool atStartup)
{
    CoreAudioSim::FaultSpec delay;
    delay.mode = CoreAudioSim::kFaultDelay;
    delay.delayMs = 1000;
    delay.skip = skip;
    delay.count = 1;
    std::string scenario = kTwoOutputs;
    if (atStartup)
        scenario += std::string("inject ") + CoreAudioSim::FaultName(slowed) + " delay=1000 count=1\n";
    std::atomic<bool> landed{false};
    auto land = [&] {
        for (int i = 0; i < 4000 && CoreAudioSim::ReadFaults().at(slowed).hits == 0; ++i)
            ::Sleep(5);
        landed = CoreAudioSim::ReadFaults().at(slowed).hits == 1 &&
                 CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 0, 0.5f, MixerContext()) == S_OK &&
                 CoreAudioSim::WaitForDelivery(5000);
    };
    std::thread lander;
    if (atStartup)
        lander = std::thread(land);
    PanelHarness h({"", scenario});
    h.Run([&](CKestrunDlg& dlg, HWND) {
        if (!atStartup) {
            ASSERT_TRUE(CoreAudioSim::InjectFault(slowed, delay));
            lander = std::thread(land);
            CoreAudioSim::SetChannelLevel(kSpdifEndpoint, 1, 0.25f, MixerContext());  // starts a refresh
        }
        lander.join();
        ASSERT_TRUE(landed) << "the change did not land inside " << CoreAudioSim::FaultName(slowed);
        h.SettleAudio();
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 50);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), atStartup ? 19 : 75);
    });
    if (lander.joinable())
        lander.join();
}

std::wstring WindowTextOf(HWND hWnd)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(hWnd, text, 256);
    return text;
}

bool AwaitVisible(HWND hWnd, bool visible)
{
    for (int i = 0; i < 500 && (::IsWindowVisible(hWnd) != FALSE) != visible; ++i)
        ::Sleep(10);
    return (::IsWindowVisible(hWnd) != FALSE) == visible;
}

// What the endpoint reports for the slider's channel, in a tooltip's words.
std::wstring EndpointLevelText(int sliderId, bool muted)
{
    CAudioEndpointControl audio;
    CAudioEndpointControl::ChannelLevel level;
    EXPECT_TRUE(audio.TryReadChannelLevel(sliderId == IDC_SLIDER_RIGHT ? 1 : 0, &level));
    EXPECT_TRUE(level.hasDecibels);
    return LevelText(sliderId, level.scalar, &level.decibels, muted);
}

// The pointer rests on a slider: its tip says the channel's level in % and dB. A drag moves a
// tip along with the boundary and rewrites it each step; while muted the tip says so.
TEST(PanelTips, APointerRestingOnASliderShowsItsLevelAndADragRewritesIt)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // this thread reads the endpoint too
        HWND slider = ::GetDlgItem(panel, IDC_SLIDER_LEFT);
        HWND hover = dlg.m_tips.HoverWindow();
        HWND level = dlg.m_tips.LevelWindow();
        ASSERT_TRUE(hover != nullptr && level != nullptr);
        // Where the drag below ends, so that a move Wine makes up from the pointer is one of its steps.
        POINT rest{25, 104};
        ::ClientToScreen(slider, &rest);
        ASSERT_TRUE(paneltest::PlacePointer(rest));
        ASSERT_TRUE(AwaitVisible(hover, true));  // after the tip's own delay
        const std::wstring resting = WindowTextOf(hover);
        EXPECT_EQ(resting, EndpointLevelText(IDC_SLIDER_LEFT, false));
        EXPECT_EQ(resting.rfind(L"Left 80 % \x00B7 ", 0), 0u) << resting.size();
        EXPECT_EQ(resting.substr(resting.size() - 3), L" dB");

        // The tip lies over the slider: a wheel notch turned there still reaches the slider.
        RECT tip{}, track{};
        ::GetWindowRect(hover, &tip);
        ::GetWindowRect(slider, &track);
        POINT onTip{tip.left + 2, tip.top + 2};
        ASSERT_TRUE(::PtInRect(&track, onTip));
        ::PostMessageA(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(onTip.x, onTip.y));
        h.Flush();
        EXPECT_GT(dlg.m_sliderLeft.GetPos(), 19);

        ::SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 62));
        h.Flush();
        ASSERT_TRUE(::IsWindowVisible(level));
        EXPECT_FALSE(::IsWindowVisible(hover));
        const std::wstring pressed = WindowTextOf(level);
        EXPECT_EQ(pressed, EndpointLevelText(IDC_SLIDER_LEFT, false));
        EXPECT_EQ(pressed.rfind(L"Left 71 % \x00B7 ", 0), 0u);
        RECT before{};
        ::GetWindowRect(level, &before);
        ::SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 104));
        h.Flush();
        const std::wstring moved = WindowTextOf(level);
        EXPECT_EQ(moved, EndpointLevelText(IDC_SLIDER_LEFT, false));
        EXPECT_EQ(moved.rfind(L"Left 50 % \x00B7 ", 0), 0u);
        RECT after{};
        ::GetWindowRect(level, &after);
        // Along with the boundary: positions 29 and 50.
        EXPECT_EQ(after.top - before.top, dlg.m_sliderLeft.PositionToPixel(50) - dlg.m_sliderLeft.PositionToPixel(29));
        ::SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(25, 104));
        h.Flush();
        EXPECT_TRUE(AwaitVisible(level, false));

        CoreAudioSim::SetMute(kSpdifEndpoint, true, MixerContext());
        h.SettleAudio();
        POINT away{-30, 104};  // beside the slider, on the panel's face
        ::ClientToScreen(slider, &away);
        ASSERT_TRUE(paneltest::PlacePointer(away));
        ASSERT_TRUE(paneltest::PlacePointer(rest));
        ASSERT_TRUE(AwaitVisible(hover, true));
        EXPECT_EQ(WindowTextOf(hover), EndpointLevelText(IDC_SLIDER_LEFT, true));
    });
}

// The refresh clears its pending mark before it reads: a change during the reads posts anew.
TEST(PanelVolume, AChangeLandingWhileARefreshReadsIsShown)
{
    ExpectAChangeInsideAReadIsShown(CoreAudioSim::kFaultGetChannelVolumeLevelScalar, 1, false);
}

// The sinks are registered before the start-up reads the levels and the mute state.
TEST(PanelVolume, AChangeLandingWhileTheStartupReadsIsShown)
{
    ExpectAChangeInsideAReadIsShown(CoreAudioSim::kFaultGetMute, 0, true);
}

TEST(PanelVolume, IndicatorClicksToggleWriteAndStartTheWindowMove)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        RECT before;
        ::GetWindowRect(panel, &before);
        CoreAudioSim::ClearLogs();

        ClickPanelAt(panel, IDC_MUTE_INDICATOR);
        EXPECT_TRUE(dlg.m_muteIndicator.m_state);
        EXPECT_TRUE(EnteredMoveLoop(h));
        ClickPanelAt(panel, IDC_MUTE_INDICATOR);
        EXPECT_FALSE(dlg.m_muteIndicator.m_state);
        std::vector<float> mutes;
        for (const auto& c : CoreAudioSim::ReadCallLog())
            if (!c.viaControl && c.kind == CoreAudioSim::kCallSetMute) {
                mutes.push_back(c.value);
                EXPECT_TRUE(IsEqualGUID(c.context, g_panelEventContext));
            }
        EXPECT_EQ(mutes, (std::vector<float>{1.0f, 0.0f}));

        ClickPanelAt(panel, IDC_LINK_INDICATOR);
        EXPECT_FALSE(dlg.m_linkIndicator.m_state);
        EXPECT_EQ(IniValue(SETTING_CHANNELS_LINKED), "0");
        ClickPanelAt(panel, IDC_LINK_INDICATOR);
        EXPECT_TRUE(dlg.m_linkIndicator.m_state);
        EXPECT_EQ(IniValue(SETTING_CHANNELS_LINKED), "1");

        RECT after;
        ::GetWindowRect(panel, &after);
        EXPECT_TRUE(::EqualRect(&before, &after));  // no mouse movement, no move
    });
}

// The shell's handler for http addresses, replaced for one test by a command that writes the
// address it is given to a file.
class RecordedHttpOpen {
public:
    RecordedHttpOpen()
    {
        char temp[MAX_PATH] = "";
        ::GetTempPathA(MAX_PATH, temp);
        m_record = std::string(temp) + "kestrun-opened-address.txt";
        ::DeleteFileA(m_record.c_str());
        char saved[1024] = "";
        LONG size = sizeof(saved);
        m_hadCommand = ::RegQueryValueA(HKEY_CLASSES_ROOT, kCommandKey, saved, &size) == ERROR_SUCCESS;
        m_savedCommand = saved;
        const std::string record = "cmd.exe /c echo %1> \"" + m_record + "\"";
        ::RegSetValueA(HKEY_CLASSES_ROOT, kCommandKey, REG_SZ, record.c_str(), static_cast<DWORD>(record.size()));
    }
    ~RecordedHttpOpen()
    {
        if (m_hadCommand)
            ::RegSetValueA(HKEY_CLASSES_ROOT, kCommandKey, REG_SZ, m_savedCommand.c_str(),
                           static_cast<DWORD>(m_savedCommand.size()));
        ::DeleteFileA(m_record.c_str());
    }
    RecordedHttpOpen(const RecordedHttpOpen&) = delete;
    RecordedHttpOpen& operator=(const RecordedHttpOpen&) = delete;

    // The address the handler was started with, once it has written it.
    std::string Opened() const
    {
        for (int i = 0; i < 1000; ++i, ::Sleep(10)) {
            std::ifstream in(m_record, std::ios::binary);
            std::string line;
            if (in && std::getline(in, line) && !line.empty()) {
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                return line;
            }
        }
        return "<not opened>";
    }

private:
    static constexpr char kCommandKey[] = "http\\shell\\open\\command";
    std::string m_record;
    std::string m_savedCommand;
    bool m_hadCommand = false;
};

TEST(PanelClicks, TheWebAddressOpensWithoutMovingTheWindow)
{
    PanelHarness h;
    RecordedHttpOpen browser;
    h.Run([&](CKestrunDlg&, HWND panel) {
        ClickPanelAt(panel, IDC_LBL_WEB_ADDRESS);
        EXPECT_EQ(browser.Opened(), KESTRUN_MAKER_WEB_ADDRESS);
        EXPECT_FALSE(EnteredMoveLoop(h));
        // Any free spot of the face drags the window.
        ClickPanelAtPoint(panel, MAKELPARAM(300, 330));
        EXPECT_TRUE(EnteredMoveLoop(h));
    });
}

TEST(PanelFormat, ARateClickSetsTheDriverAndTheDriverEventRefreshesTheGroup)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        h.ClearConfLibLog();
        SendClick(panel, IDC_RATE_96K);
        EXPECT_EQ(dlg.m_sampleRate, 96000);
        EXPECT_TRUE(IsPushed(panel, IDC_RATE_96K));
        ASSERT_TRUE(h.WaitForDriverCallbacks(1));
        std::string log = h.ConfLibLog();
        EXPECT_EQ(log.rfind("PropertyControl set DevSampleRateControl dev=2,4,1,1 value=00770100 param=null -> 0", 0), 0u) << log;
        EXPECT_NE(log.find("get DevSampleRateControl"), std::string::npos);  // read back after the event
        for (int id = IDC_RATE_44K1; id <= IDC_RATE_192K; ++id)
            EXPECT_EQ(IsPushed(panel, id), id == IDC_RATE_96K) << id;
        auto getFormat = reinterpret_cast<SimGetFormatFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("osConfLib.dll"), "SimGetFormat")));
        uint32_t rate = 0, depth = 0, channels = 0;
        ASSERT_NE(getFormat, nullptr);
        getFormat(&rate, &depth, &channels);
        EXPECT_EQ(rate, 96000u);
    });
}

TEST(PanelFormat, UnsupportedRatesAreDisabledAndARejectedDepthStillShows)
{
    PanelHarness h({"reject-depth 24\nunsupported-rate 192000\n"});
    h.Run([&](CKestrunDlg&, HWND panel) {
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(panel, IDC_RATE_192K)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(panel, IDC_RATE_176K4)));
        SendClick(panel, IDC_DEPTH_24);
        EXPECT_TRUE(IsPushed(panel, IDC_DEPTH_24));
        EXPECT_FALSE(IsPushed(panel, IDC_DEPTH_16));
        EXPECT_NE(h.ConfLibLog().find("set DevBitDepthControl dev=2,4,1,1 value=1800 param=null -> 1"), std::string::npos);
    });
}

TEST(PanelFormat, DriverEventsPostOnlyWhatTheirCodesSay)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg&, HWND) {
        auto fire = reinterpret_cast<SimFireEventFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("osConfLib.dll"), "SimFireEvent")));
        ASSERT_NE(fire, nullptr);
        fire(8, 128);
        fire(1, 384);
        h.Flush();
        EXPECT_EQ(h.CountPosted(WM_DRIVER_DEVICE_EVENT), 1u);
        EXPECT_EQ(h.CountPosted(WM_DRIVER_FORMAT_CHANGED), 0u);
        h.ClearConfLibLog();
        fire(1, 256);
        h.Flush();
        EXPECT_EQ(h.CountPosted(WM_DRIVER_FORMAT_CHANGED), 1u);
        EXPECT_NE(h.ConfLibLog().find("get DevBitDepthControl"), std::string::npos);
    });
}

TEST(PanelOutput, ADefaultEndpointChangeSwitchesTheButtonsAndTheDriverRecord)
{
    PanelHarness h({"", kTwoOutputs});
    h.Run([&](CKestrunDlg&, HWND panel) {
        // "Speakers" with a capital S is no keyword of the device sink.
        CoreAudioSim::SetDefault(L"Speakers (Lumirel USB Audio Device)", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll);
        h.SettleAudio();
        EXPECT_EQ(h.CountPosted(WM_OUTPUT_CHANGED), 0u);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPDIF));

        h.ClearConfLibLog();
        CoreAudioSim::SetDefault(L"Lumirel USB Audio Device speaker", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll);
        h.SettleAudio();
        // Three roles, each reported by both device sinks.
        EXPECT_EQ(h.CountPosted(WM_OUTPUT_CHANGED), 6u);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPDIF));
        EXPECT_NE(h.ConfLibLog().find("get GetSupportFeature dev=1,1,0,1"), std::string::npos);

        EXPECT_EQ(::SendMessageA(panel, WM_OUTPUT_CHANGED, 0, 2), 1);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        SendClick(panel, IDC_OUTPUT_SPDIF);
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPDIF));
        EXPECT_FALSE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
    });
}

TEST(PanelInput, KeysNeverReachThePanelOrItsControls)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        HWND rate = ::GetDlgItem(panel, IDC_RATE_96K);
        h.ClearConfLibLog();
        for (WPARAM key : {VK_SPACE, VK_RETURN, VK_ESCAPE, VK_TAB, VK_DOWN}) {
            for (HWND target : {rate, panel}) {
                ::PostMessageA(target, WM_KEYDOWN, key, 0);
                ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
            }
        }
        h.Flush();
        EXPECT_TRUE(::IsWindow(panel));
        EXPECT_TRUE(::IsWindowVisible(panel));
        EXPECT_EQ(h.ConfLibLog().find("set "), std::string::npos);
        EXPECT_EQ(dlg.m_sampleRate, 0);
    });
}

TEST(PanelInput, TheAboutItemOfTheSystemMenuOpensTheAboutBox)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg&, HWND panel) {
        HMENU sysMenu = ::GetSystemMenu(panel, FALSE);
        char text[64] = "";
        ::GetMenuStringA(sysMenu, 0x0010, text, sizeof(text), MF_BYCOMMAND);
        EXPECT_STREQ(text, "&About Kestrun...");

        ::PostMessageA(panel, WM_SYSCOMMAND, 0x0010, 0);
        HWND about = nullptr;
        for (int i = 0; i < 500 && (about == nullptr || !::IsWindowVisible(about)); ++i, ::Sleep(10))
            about = ::FindWindowA(nullptr, "About Kestrun");
        ASSERT_NE(about, nullptr);
        // Its template is not visible: the modal loop shows it, and the panel waits for it.
        EXPECT_TRUE(::IsWindowVisible(about));
        EXPECT_EQ(::GetWindow(about, GW_OWNER), panel);
        EXPECT_FALSE(::IsWindowEnabled(panel));
        ::PostMessageA(about, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 500 && ::IsWindow(about); ++i)
            ::Sleep(10);
        EXPECT_FALSE(::IsWindow(about));
        EXPECT_TRUE(::IsWindowEnabled(panel));
        GUITHREADINFO gui{sizeof(gui)};
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(panel, nullptr), &gui);
        EXPECT_EQ(gui.hwndActive, panel);
    });
}

TEST(PanelInput, CustomMessagesReturnWhatTheirSendersExpect)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        EXPECT_EQ(::SendMessageA(panel, WM_SLIDER_MOVING, 4242, 10), 1);
        EXPECT_EQ(::SendMessageA(panel, WM_VOLUME_REFRESH, 0, 0), 1);
        EXPECT_EQ(::SendMessageA(panel, WM_VOLUME_REFRESH, 1, 0), 1);
        EXPECT_EQ(::SendMessageA(panel, WM_TRAY_NOTIFY, 5, WM_LBUTTONDOWN), 1);
        EXPECT_EQ(::SendMessageA(panel, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
        EXPECT_EQ(::SendMessageA(panel, WM_SETCURSOR, reinterpret_cast<WPARAM>(::GetDlgItem(panel, IDC_RATE_48K)),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    });
}

TEST(PanelTray, LeftClicksToggleByWhatTheLastClickDidNotByVisibility)
{
    PanelHarness h;
    h.Run([&](CKestrunDlg&, HWND panel) {
        auto leftClick = [&](WPARAM id) { return ::SendMessageA(panel, WM_TRAY_NOTIFY, id, WM_LBUTTONDOWN); };
        EXPECT_EQ(leftClick(128), 1);  // shown already: stays shown
        EXPECT_TRUE(::IsWindowVisible(panel));
        leftClick(128);
        EXPECT_FALSE(::IsWindowVisible(panel));
        leftClick(77);  // another icon
        EXPECT_FALSE(::IsWindowVisible(panel));
        leftClick(128);
        EXPECT_TRUE(::IsWindowVisible(panel));
        SendClick(panel, IDC_POWER);  // hidden by the power key; the flag still says "shown"
        EXPECT_FALSE(::IsWindowVisible(panel));
        leftClick(128);
        EXPECT_FALSE(::IsWindowVisible(panel));
        leftClick(128);
        EXPECT_TRUE(::IsWindowVisible(panel));
        ::SendMessageA(panel, WM_COMMAND, ID_MENU_SHOW_PANEL, 0);
        EXPECT_TRUE(::IsWindowVisible(panel));
    });
}

// The simulated Core Audio objects alive in this process, less those alive before the panel ran.
CoreAudioSim::LiveObjects LiveSince(const CoreAudioSim::LiveObjects& before)
{
    CoreAudioSim::LiveObjects now;
    CoreAudioSim::ReadLiveObjects(now);
    for (uint32_t k = 0; k < CoreAudioSim::kLiveKindCount; ++k)
        now.count[k] -= before.count[k];
    return now;
}

void ExpectLive(const CoreAudioSim::LiveObjects& live, const CoreAudioSim::LiveObjects& expected, const char* after)
{
    for (uint32_t k = 0; k < CoreAudioSim::kLiveKindCount; ++k)
        EXPECT_EQ(expected.count[k], live.count[k]) << CoreAudioSim::LiveKindName(static_cast<CoreAudioSim::LiveKind>(k))
                                                    << " after " << after;
}

// After each operation the panel holds only what it keeps for the process's life: the endpoint
// volumes carrying the volume sink (one per endpoint), the registered subunits with their
// adapter topology, the sinks' registrations, and each device sink's enumerator from its first
// name look-up on.
TEST(PanelLifetime, EachOperationReleasesEverythingItDoesNotKeepForTheProcesssLife)
{
    using namespace CoreAudioSim;
    LiveObjects before;
    ReadLiveObjects(before);  // all zero unless the simulator is loaded already
    LiveObjects kept;
    kept.count[kLiveEndpointVolume] = 3;
    kept.count[kLiveAdapterTopology] = 1;
    kept.count[kLiveSubunit] = 2;
    kept.count[kLiveVolumeCallbacks] = 3;
    kept.count[kLiveControlCallbacks] = 2;
    kept.count[kLiveClients] = 2;
    PanelHarness h({"", kTwoOutputs});
    h.Run([&](CKestrunDlg&, HWND panel) {
        h.SettleAudio();
        ExpectLive(LiveSince(before), kept, "start-up");
        Drag(h, ::GetDlgItem(panel, IDC_SLIDER_LEFT), {62, 104});
        h.SettleAudio();
        ExpectLive(LiveSince(before), kept, "a drag");
        const GUID mixer = MixerContext();
        SetChannelLevel(kSpdifEndpoint, 1, 0.4f, mixer);
        HardwareChange(kSpdifEndpoint, 1, mixer);
        h.SettleAudio();
        ExpectLive(LiveSince(before), kept, "refreshes");
        ClickPanelAt(panel, IDC_MUTE_INDICATOR);
        h.SettleAudio();
        ExpectLive(LiveSince(before), kept, "a mute click");
        SetDefault(L"Lumirel USB Audio Device speaker", kFlowRender, kRoleAll);
        h.SettleAudio();
        EXPECT_TRUE(IsPushed(panel, IDC_OUTPUT_SPEAKER));
        kept.count[kLiveEnumerator] = 2;
        ExpectLive(LiveSince(before), kept, "an output switch");
    });
    ExpectLive(LiveSince(before), kept, "exit");
}

// Endpoints that vanish under the running panel: writes follow the default that remains, and
// with none left, drags and refreshes fail silently and the sliders stay in range.
TEST(PanelLifetime, RemovedEndpointsLeaveThePanelRunning)
{
    PanelHarness h;
    INT_PTR result = h.Run([&](CKestrunDlg& dlg, HWND panel) {
        const wchar_t kSpeakers[] = L"Speakers (Lumirel USB Audio Device)";
        std::wstring speakersId;
        CoreAudioSim::SimState state;
        ASSERT_TRUE(CoreAudioSim::ReadState(state));
        for (const auto& endpoint : state.endpoints)
            if (endpoint.name == kSpeakers)
                speakersId = endpoint.id;
        ASSERT_EQ(CoreAudioSim::Remove(kSpdifEndpoint), S_OK);  // the default: Speakers takes over
        h.SettleAudio();
        CoreAudioSim::ClearLogs();
        Drag(h, ::GetDlgItem(panel, IDC_SLIDER_LEFT), {104});
        auto writes = PanelLevelWrites();
        ASSERT_EQ(writes.size(), 2u);
        for (const auto& write : writes)
            EXPECT_EQ(write.endpointId, speakersId);

        ASSERT_EQ(CoreAudioSim::Remove(kSpeakers), S_OK);
        h.SettleAudio();
        CoreAudioSim::ClearLogs();
        Drag(h, ::GetDlgItem(panel, IDC_SLIDER_RIGHT), {62});
        EXPECT_TRUE(PanelLevelWrites().empty());
        // Nothing to read: the sliders keep what they show.
        const int left = dlg.m_sliderLeft.GetPos();
        const int right = dlg.m_sliderRight.GetPos();
        EXPECT_GE(left, 0);
        EXPECT_LE(right, 100);
        ::PostMessageA(panel, WM_VOLUME_REFRESH, 0, 0);
        ::PostMessageA(panel, WM_VOLUME_REFRESH, 1, 0);
        h.Flush();
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), left);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), right);
        ClickPanelAt(panel, IDC_MUTE_INDICATOR);
        DWORD_PTR ignored = 0;
        EXPECT_NE(::SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored), 0);
    });
    EXPECT_EQ(result, IDOK);
}

// A USB DAC is unplugged and plugged in again every day. After a hundred replugs the panel
// answers, shows no message box and holds what it held after start-up: each dead endpoint
// volume and topology it replaced has been given up.
TEST(PanelLifetime, AHundredReplugsLeaveWhatThePanelHoldsAsItWas)
{
    using namespace CoreAudioSim;
    LiveObjects before;
    ReadLiveObjects(before);
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        h.SettleAudio();
        const LiveObjects started = LiveSince(before);
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(Replug(kSpdifEndpoint), S_OK);
            h.SettleAudio();
        }
        h.SettleAudio();
        const LiveObjects replugged = LiveSince(before);
        std::printf("live simulated objects of the panel: %ld after start-up, %ld after 100 replugs (dead: %ld, %ld)\n",
                    started.Objects(), replugged.Objects(), started.count[kLiveDeadObjects],
                    replugged.count[kLiveDeadObjects]);
        LiveObjects expected = started;
        expected.count[kLiveEnumerator] += 2;  // each device sink's, from its first name look-up on
        ExpectLive(replugged, expected, "100 replugs");
        DWORD_PTR ignored = 0;
        EXPECT_NE(::SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored), 0);
        EXPECT_EQ(paneltest::VisibleDialogs(::GetWindowThreadProcessId(panel, nullptr)),
                  std::vector<HWND>{panel});  // no message box
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 19);
    });
}

}  // namespace

