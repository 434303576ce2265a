// The real Kestrun.exe as a process of its own: one copy per logon, its endings, and the
// user's mouse, with the simulators behind it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "audio/PanelEventContext.h"
#include "res/resource.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/support/Accessible.h"
#include "tests/support/PanelProcess.h"
#include "tests/support/PanelWrites.h"
#include "tests/support/WineVersion.h"
#include "tests/support/UsbDevice.h"
#include "tests/support/Pointer.h"

namespace {

using namespace paneltest;

TEST(SingleInstance, ASecondCopyEndsAtOnceAndALaterStartSucceeds)
{
    {
        PanelProcess first;
        ASSERT_TRUE(first.Started());
        HWND panel = first.Window();
        ASSERT_NE(panel, nullptr);

        PanelProcess second;
        ASSERT_TRUE(second.Started());
        EXPECT_TRUE(second.Ended(15000));
        EXPECT_EQ(second.ExitCode(), 0u);
        EXPECT_EQ(PanelWindows().size(), 1u);
        EXPECT_TRUE(::IsWindowVisible(panel));

        // Also while the first is hidden in the tray.
        ::SendMessageA(panel, WM_COMMAND, IDC_POWER, reinterpret_cast<LPARAM>(::GetDlgItem(panel, IDC_POWER)));
        PanelProcess third;
        EXPECT_TRUE(third.Ended(15000));
        EXPECT_FALSE(::IsWindowVisible(panel));

        first.Exit();
        EXPECT_TRUE(first.Ended(15000));
        EXPECT_EQ(first.ExitCode(), 0u);
    }
    PanelProcess later;
    EXPECT_NE(later.Window(), nullptr);
}


// "win10" tells the program 6.2, as Windows 10 does without manifest entries, and the
// true 10.0.18362 to RtlGetVersion.
TEST(Information, OnWindows10TheOsLineSaysWindows10)
{
    paneltest::ReportedWindowsVersion win10("Kestrun.exe", "win10");
    ASSERT_TRUE(win10.Ok());
    PanelProcess panel;
    HWND h = panel.Window();
    ASSERT_NE(h, nullptr);
    char line[128] = "";
    ::GetDlgItemTextA(h, IDC_LBL_OS_VERSION, line, sizeof(line));
    EXPECT_STREQ("OS Version: Windows 10 64bit", line);
}

TEST(Endings, WithoutTheUsbDeviceTheProgramEndsRightAfterItsInitialisation)
{
    const std::string log = TempPath("kestrun-e2e-nodevice.log");
    ::DeleteFileA(log.c_str());
    bool ended = false;
    DWORD code = 1;
    {
        UsbDeviceUnplugged unplugged;
        ASSERT_TRUE(unplugged.Ok());
        PanelProcess panel(BinDir() + "Kestrun.exe", {{"KESTRUN_CONFLIB_LOG", log}});
        ended = panel.Ended(20000);
        code = panel.ExitCode();
    }

    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(PanelWindows().empty());
    // The initialisation ran to its end and the library was shut down with the panel.
    std::string calls = ReadFile(log);
    EXPECT_NE(calls.find("ConfLibInit"), std::string::npos) << calls;
    EXPECT_NE(calls.find("GetSupportFeature"), std::string::npos) << calls;
    EXPECT_NE(calls.find("ConfLibUnInit"), std::string::npos) << calls;
}

TEST(Endings, WithoutTheDriverLibraryThePanelKeepsRunning)
{
    // A copy of the program in a folder without osConfLibFlie.
    std::string dir = TempPath("kestrun-e2e-nolib");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\Kestrun.exe";
    ASSERT_TRUE(::CopyFileA((BinDir() + "Kestrun.exe").c_str(), exe.c_str(), FALSE));
    {
        PanelProcess panel(exe);
        HWND h = panel.Window();
        ASSERT_NE(h, nullptr);
        for (int id : {IDC_RATE_96K, IDC_DEPTH_24, IDC_OUTPUT_SPDIF})
            ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(h, id)));
        // A failed request still shows what was asked for.
        EXPECT_TRUE(::SendDlgItemMessageA(h, IDC_RATE_96K, BM_GETSTATE, 0, 0) & BST_PUSHED);
        EXPECT_FALSE(panel.Ended(500));
        panel.Exit();
        EXPECT_TRUE(panel.Ended(15000));
        EXPECT_EQ(panel.ExitCode(), 0u);
    }
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(dir.c_str());
}

TEST(Driver, ARateClickReachesTheDriverAndItsEventComesBack)
{
    const std::string log = TempPath("kestrun-e2e-rate.log");
    ::DeleteFileA(log.c_str());
    PanelProcess panel(BinDir() + "Kestrun.exe", {{"KESTRUN_CONFLIB_LOG", log}});
    HWND h = panel.Window();
    ASSERT_NE(h, nullptr);
    ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_RATE_96K, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(h, IDC_RATE_96K)));
    std::string calls;
    for (int i = 0; i < 200; ++i, ::Sleep(25)) {
        calls = ReadFile(log);
        size_t set = calls.find("set DevSampleRateControl");
        if (set != std::string::npos && calls.find("get DevBitDepthControl", set) != std::string::npos)
            break;
    }
    size_t set = calls.find("PropertyControl set DevSampleRateControl dev=2,4,1,1 value=00770100 param=null -> 0");
    ASSERT_NE(set, std::string::npos) << calls;
    EXPECT_NE(calls.find("callback 1 128", set), std::string::npos) << calls;
    EXPECT_NE(calls.find("get DevSampleRateControl", set), std::string::npos) << calls;
    ::SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    for (int id = IDC_RATE_44K1; id <= IDC_RATE_192K; ++id)
        EXPECT_EQ((::SendDlgItemMessageA(h, id, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0, id == IDC_RATE_96K) << id;
}

// Real mouse input through the system's input queue.
void MouseTo(POINT screen)
{
    SendPointerMove(screen);
    ::Sleep(60);
}

void MouseButton(bool down)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(150);
}

RECT DragFrom(HWND panel, POINT client, int dx, int dy)
{
    POINT start = client;
    ::ClientToScreen(panel, &start);
    EXPECT_TRUE(PlacePointer(start));
    MouseButton(true);
    for (int step = 1; step <= 5; ++step)
        MouseTo(POINT{start.x + dx * step / 5, start.y + dy * step / 5});
    MouseButton(false);
    ::SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    RECT rc;
    ::GetWindowRect(panel, &rc);
    return rc;
}

TEST(Mouse, AFreeSpotOfTheFaceDragsThePanelAndTheWebAddressDoesNot)
{
    PanelProcess panel;
    HWND h = panel.Window();
    ASSERT_NE(h, nullptr);
    ::SetForegroundWindow(h);
    RECT before;
    ::GetWindowRect(h, &before);

    RECT moved = DragFrom(h, POINT{300, 330}, 40, 25);
    EXPECT_EQ(moved.left - before.left, 40);
    EXPECT_EQ(moved.top - before.top, 25);

    RECT label;
    ::GetWindowRect(::GetDlgItem(h, IDC_LBL_WEB_ADDRESS), &label);
    POINT onLabel{label.left + 10, (label.top + label.bottom) / 2};
    ::ScreenToClient(h, &onLabel);
    RECT after = DragFrom(h, onLabel, 30, 30);
    EXPECT_TRUE(::EqualRect(&moved, &after));
}

void Wheel(int delta)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = static_cast<DWORD>(delta);
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(60);
}

POINT CentreOf(HWND panel, int controlId)
{
    RECT rc;
    ::GetWindowRect(::GetDlgItem(panel, controlId), &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// The CPL.ini beside the programs, put back byte for byte when the test is done.
class SettingsFileGuard {
public:
    SettingsFileGuard()
        : path_(BinDir() + "CPL.ini"),
          existed_(::GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES),
          saved_(ReadFile(path_))
    {
    }
    ~SettingsFileGuard()
    {
        if (existed_)
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << saved_;
        else
            ::DeleteFileA(path_.c_str());
    }
    std::string Linked() const
    {
        char value[8] = "";
        ::GetPrivateProfileStringA("CPL", "lrchannel_linked", "", value, sizeof(value), path_.c_str());
        return value;
    }
    void SetLinked(const char* value) const { ::WritePrivateProfileStringA("CPL", "lrchannel_linked", value, path_.c_str()); }

private:
    std::string path_;
    bool existed_;
    std::string saved_;
};


TEST(Mouse, TheWheelMovesTheSliderUnderThePointerAsADragStepDoes)
{
    // Both channels at the demo's level 0.8, shown as position 19; the link on.
    ASSERT_TRUE(CoreAudioSim::Reset());
    WritePanelEventContext();
    SettingsFileGuard settings;
    settings.SetLinked("1");
    PanelProcess panel;
    HWND h = panel.Window();
    ASSERT_NE(h, nullptr);
    // The focus is elsewhere, in another program's window away from the panel.
    HWND elsewhere = ::CreateWindowExA(0, "STATIC", "elsewhere", WS_POPUP | WS_VISIBLE, 1100, 900, 100, 60,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(elsewhere, nullptr);

    enum Where { kLeft, kRight, kButton, kFace };
    struct Step {
        const char* what;
        Where where;
        std::vector<int> deltas;  // one wheel event each
        std::vector<std::pair<UINT, int>> writes;  // (channel, slider position), in order
        bool toFocusWindow = false;  // posted to a button, as systems that wheel the focus window would
        bool unlinkFirst = false;    // a real click on the link indicator first
    };
    const Step steps[] = {
        {"a notch down over the left slider: both channels, the moved one first", kLeft, {-120}, {{0, 21}, {1, 21}}},
        // Position 21 reads back as 20: an echo of the step above would give 22 here.
        {"a notch down over the right slider", kRight, {-120}, {{1, 23}, {0, 23}}},
        {"four quarter notches of a high-resolution wheel make one", kLeft, {30, 30, 30, 30}, {{0, 21}, {1, 21}}},
        {"given to the focus window: still the slider under the pointer", kRight, {120}, {{1, 19}, {0, 19}}, true},
        {"over a button", kButton, {120, -120}, {}},
        {"over a free spot of the face", kFace, {120, -120}, {}},
        {"unlinked: only the slider's own channel", kRight, {-120}, {{1, 21}}, false, true},
        {"thirty notches at once stop at the top", kLeft, {3600}, {{0, 0}}},
        {"at the top a notch up moves nothing", kLeft, {120}, {}},
        {"a turn the other way drops what was left over", kRight, {90, -60, -60}, {{1, 23}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.unlinkFirst) {
            ASSERT_TRUE(PlacePointer(CentreOf(h, IDC_LINK_INDICATOR)));
            MouseButton(true);
            MouseButton(false);
            for (int i = 0; i < 100 && settings.Linked() != "0"; ++i)
                ::Sleep(50);
            ASSERT_EQ(settings.Linked(), "0") << "a click on the indicator reaches the dialog";
        }
        ::SetForegroundWindow(elsewhere);
        ASSERT_EQ(::GetForegroundWindow(), elsewhere);
        POINT at{};
        if (step.where == kFace) {
            at = POINT{300, 330};
            ::ClientToScreen(h, &at);
        } else {
            at = CentreOf(h, step.where == kLeft ? IDC_SLIDER_LEFT : step.where == kRight ? IDC_SLIDER_RIGHT : IDC_RATE_96K);
        }
        ASSERT_TRUE(PlacePointer(at));
        CoreAudioSim::ClearLogs();
        for (int delta : step.deltas) {
            if (step.toFocusWindow)
                ::PostMessageA(::GetDlgItem(h, IDC_DEPTH_16), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(at.x, at.y));
            else
                Wheel(delta);
        }
        for (int i = 0; i < 60 && paneltest::PanelLevelWrites().size() < step.writes.size(); ++i)
            ::Sleep(50);
        ::Sleep(400);  // room for anything more, an echo included, to arrive

        std::vector<std::pair<UINT, float>> expected, written;
        for (const auto& [channel, position] : step.writes)
            expected.emplace_back(channel, 1.0f - static_cast<float>(position) / 100.0f);
        for (const auto& c : paneltest::PanelLevelWrites()) {
            written.emplace_back(c.channel, c.value);
            EXPECT_EQ(c.processId, panel.Pid());
            EXPECT_TRUE(IsEqualGUID(c.context, g_panelEventContext));
        }
        EXPECT_EQ(written, expected);
    }
    ::DestroyWindow(elsewhere);
}

// A screen reader's view from its own process: each control's client object, as
// AccessibleObjectFromWindow hands it over.
TEST(Accessibility, EveryControlTellsItsNameRoleStateAndValue)
{
    // The demo: S/PDIF is the default, both channels at 0.8, not muted; 44.1 kHz at 16 bits;
    // the link on.
    ASSERT_TRUE(CoreAudioSim::Reset());
    SettingsFileGuard settings;
    settings.SetLinked("1");
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    PanelProcess panel;
    HWND h = panel.Window();
    ASSERT_NE(h, nullptr);

    auto text = [&](int id) {
        wchar_t own[128] = L"";
        ::GetWindowTextW(id == 0 ? h : ::GetDlgItem(h, id), own, 128);
        return std::wstring(own);
    };
    const std::wstring level = L"80 % \x00B7 \x2212" L"1.9 dB";  // 20 log10(0.8) = -1.94
    constexpr long kChecked = STATE_SYSTEM_CHECKED, kOff = STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE;
    struct Row {
        int id;  // 0: the panel itself
        std::wstring name;
        long role;
        long state;  // of kChecked | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE
        std::wstring value;
        std::wstring action;
    };
    const Row rows[] = {
        {IDC_RATE_44K1, L"44.1 kHz", ROLE_SYSTEM_RADIOBUTTON, kChecked, L"<none>", L"Select"},
        {IDC_RATE_176K4, L"176.4 kHz", ROLE_SYSTEM_RADIOBUTTON, 0, L"<none>", L"Select"},
        {IDC_DEPTH_16, L"16-bit", ROLE_SYSTEM_RADIOBUTTON, kChecked, L"<none>", L"Select"},
        {IDC_DEPTH_24, L"24-bit", ROLE_SYSTEM_RADIOBUTTON, 0, L"<none>", L"Select"},
        {IDC_DEPTH_32, L"32-bit", ROLE_SYSTEM_RADIOBUTTON, kOff, L"<none>", L"<none>"},
        {IDC_OUTPUT_SPDIF, L"S/PDIF output", ROLE_SYSTEM_RADIOBUTTON, kChecked, L"<none>", L"Select"},
        {IDC_OUTPUT_SPEAKER, L"Speaker output", ROLE_SYSTEM_RADIOBUTTON, STATE_SYSTEM_UNAVAILABLE, L"<none>", L"<none>"},
        {IDC_SLIDER_LEFT, L"Left volume", ROLE_SYSTEM_SLIDER, 0, level, L"<none>"},
        {IDC_SLIDER_RIGHT, L"Right volume", ROLE_SYSTEM_SLIDER, 0, level, L"<none>"},
        {IDC_MUTE_INDICATOR, L"Mute", ROLE_SYSTEM_CHECKBUTTON, 0, L"<none>", L"Toggle"},
        {IDC_LINK_INDICATOR, L"Link left and right volume", ROLE_SYSTEM_CHECKBUTTON, kChecked, L"<none>", L"Toggle"},
        {IDC_POWER, L"Hide the panel", ROLE_SYSTEM_PUSHBUTTON, 0, L"<none>", L"Press"},
        {IDC_LBL_PANEL_VERSION, text(IDC_LBL_PANEL_VERSION), ROLE_SYSTEM_STATICTEXT, 0, L"<none>", L"<none>"},
        {IDC_LBL_OS_VERSION, text(IDC_LBL_OS_VERSION), ROLE_SYSTEM_STATICTEXT, 0, L"<none>", L"<none>"},
        {IDC_LBL_COPYRIGHT, text(IDC_LBL_COPYRIGHT), ROLE_SYSTEM_STATICTEXT, 0, L"<none>", L"<none>"},
        {IDC_LBL_WEB_ADDRESS, L"http://www.vexmora.com", ROLE_SYSTEM_LINK, 0, L"<none>", L"Open"},
        {0, L"Lumirel USB Audio Device", ROLE_SYSTEM_CLIENT, 0, L"<none>", L"<none>"},
    };
    EXPECT_EQ(text(0), L"Vexmora USB Audio Driver") << "the window text stays";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        AccessibleClient acc(row.id == 0 ? h : ::GetDlgItem(h, row.id));
        ASSERT_TRUE(acc.Ok()) << std::hex << acc.Result();
        EXPECT_EQ(acc.Name(), row.name);
        EXPECT_EQ(acc.Role(), row.role);
        EXPECT_EQ(acc.State() & (kChecked | kOff), row.state);
        EXPECT_EQ(acc.Value(), row.value);
        EXPECT_EQ(acc.DefaultAction(), row.action);
        // Where it is comes from the system's standard object.
        RECT rc{};
        ::GetWindowRect(row.id == 0 ? h : ::GetDlgItem(h, row.id), &rc);
        if (row.id != 0)
            EXPECT_EQ(acc.Location(), (std::vector<long>{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top}));
    }

    // The panel's objects ask its UI thread with a registered message; another program can send
    // that message too, with any address: the panel takes none from outside.
    DWORD_PTR answer = 1;
    EXPECT_TRUE(::SendMessageTimeoutW(::GetDlgItem(h, IDC_SLIDER_LEFT), ::RegisterWindowMessageW(L"Kestrun.AccessibleCall"),
                                      0, static_cast<LPARAM>(0x1230), SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, 0u);
    EXPECT_FALSE(panel.Ended(200));
}

// Value changes the panel raises, caught out of context as a screen reader catches them.
class ValueChanges {
public:
    explicit ValueChanges(DWORD pid)
    {
        Seen().clear();
        hook_ = ::SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, pid, 0,
                                  WINEVENT_OUTOFCONTEXT);
    }
    ~ValueChanges() { ::UnhookWinEvent(hook_); }
    bool Ok() const { return hook_ != nullptr; }
    // Takes delivered events until one for the window's client object has come, for up to 5 s.
    bool WaitFor(HWND window)
    {
        for (int i = 0; i < 100 && Count(window) == 0; ++i) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&msg);
            ::Sleep(50);
        }
        return Count(window) > 0;
    }
    size_t Count(HWND window) const
    {
        size_t n = 0;
        for (HWND seen : Seen())
            n += seen == window ? 1 : 0;
        return n;
    }

private:
    static std::vector<HWND>& Seen()
    {
        static std::vector<HWND> seen;
        return seen;
    }
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
    {
        if (object == OBJID_CLIENT && child == CHILDID_SELF)
            Seen().push_back(window);
    }
    HWINEVENTHOOK hook_ = nullptr;
};

TEST(Accessibility, ADragChangesTheSlidersValueAndRaisesAValueChange)
{
    ASSERT_TRUE(CoreAudioSim::Reset());
    SettingsFileGuard settings;
    settings.SetLinked("0");
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    {
        PanelProcess panel;
        HWND h = panel.Window();
        ASSERT_NE(h, nullptr);
        HWND left = ::GetDlgItem(h, IDC_SLIDER_LEFT), right = ::GetDlgItem(h, IDC_SLIDER_RIGHT);
        AccessibleClient acc(left);
        ASSERT_TRUE(acc.Ok());
        ValueChanges changes(panel.Pid());
        ASSERT_TRUE(changes.Ok());

        // Pixel 156 of the 208 is position 75: a level of 25 %.
        ::PostMessageA(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 104));
        ::PostMessageA(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 156));
        ::PostMessageA(left, WM_LBUTTONUP, 0, MAKELPARAM(25, 156));
        EXPECT_TRUE(changes.WaitFor(left));
        EXPECT_EQ(acc.Value(), L"25 % \x00B7 \x2212" L"12.0 dB");
        EXPECT_EQ(changes.Count(right), 0u) << "unlinked, the other slider keeps its value";
    }
}

TEST(Accessibility, SettingASlidersValueSetsTheLevelAsADragDoes)
{
    ASSERT_TRUE(CoreAudioSim::Reset());
    WritePanelEventContext();
    SettingsFileGuard settings;
    settings.SetLinked("1");
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    {
        PanelProcess panel;
        HWND h = panel.Window();
        ASSERT_NE(h, nullptr);
        AccessibleClient left(::GetDlgItem(h, IDC_SLIDER_LEFT)), right(::GetDlgItem(h, IDC_SLIDER_RIGHT));
        AccessibleClient link(::GetDlgItem(h, IDC_LINK_INDICATOR));
        ASSERT_TRUE(left.Ok() && right.Ok() && link.Ok());

        struct Step {
            const char* what;
            const AccessibleClient& slider;
            const wchar_t* value;
            HRESULT result;
            std::vector<std::pair<UINT, int>> writes;  // (channel, slider position), in order
        } const steps[] = {
            {"linked: both channels, the set one first", left, L"30", S_OK, {{0, 70}, {1, 70}}},
            {"not a level", right, L"loud", E_INVALIDARG, {}},
            {"beyond 100 %", right, L"101", E_INVALIDARG, {}},
            {"unlinked: only its own channel", right, L"45 %", S_OK, {{1, 55}}},
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.what);
            if (step.writes.size() == 1)
                ASSERT_EQ(link.DoDefaultAction(), S_OK);
            CoreAudioSim::ClearLogs();
            EXPECT_EQ(step.slider.SetValue(step.value), step.result);
            std::vector<std::pair<UINT, float>> expected, written;
            for (const auto& [channel, position] : step.writes)
                expected.emplace_back(channel, 1.0f - static_cast<float>(position) / 100.0f);
            for (const auto& c : paneltest::PanelLevelWrites())
                written.emplace_back(c.channel, c.value);
            EXPECT_EQ(written, expected);
        }
        EXPECT_EQ(settings.Linked(), "0") << "the link's action toggles it as a click does";
        EXPECT_EQ(left.Value(), L"30 % \x00B7 \x2212" L"10.5 dB");
        EXPECT_EQ(right.Value(), L"45 % \x00B7 \x2212" L"6.9 dB");
    }
}

TEST(Accessibility, DefaultActionsDoWhatAClickDoes)
{
    ASSERT_TRUE(CoreAudioSim::Reset());
    const std::string log = TempPath("kestrun-e2e-access.log");
    ::DeleteFileA(log.c_str());
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    {
        PanelProcess panel(BinDir() + "Kestrun.exe", {{"KESTRUN_CONFLIB_LOG", log}});
        HWND h = panel.Window();
        ASSERT_NE(h, nullptr);
        AccessibleClient mute(::GetDlgItem(h, IDC_MUTE_INDICATOR)), rate(::GetDlgItem(h, IDC_RATE_96K));
        ASSERT_TRUE(mute.Ok() && rate.Ok());

        CoreAudioSim::ClearLogs();
        EXPECT_EQ(mute.DoDefaultAction(), S_OK);
        EXPECT_EQ(mute.State() & STATE_SYSTEM_CHECKED, STATE_SYSTEM_CHECKED);
        EXPECT_EQ(mute.DoDefaultAction(), S_OK);
        EXPECT_EQ(mute.State() & STATE_SYSTEM_CHECKED, 0);
        std::vector<float> mutes;
        for (const auto& c : CoreAudioSim::ReadCallLog())
            if (!c.viaControl && c.kind == CoreAudioSim::kCallSetMute)
                mutes.push_back(c.value);
        EXPECT_EQ(mutes, (std::vector<float>{1.0f, 0.0f}));

        EXPECT_EQ(rate.DoDefaultAction(), S_OK);
        EXPECT_NE(ReadFile(log).find("PropertyControl set DevSampleRateControl dev=2,4,1,1 value=00770100"), std::string::npos)
            << ReadFile(log);
        EXPECT_EQ(rate.State() & STATE_SYSTEM_CHECKED, STATE_SYSTEM_CHECKED);
    }
}

}  // namespace
