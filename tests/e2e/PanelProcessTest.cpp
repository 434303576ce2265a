// The real Kestrun.exe as a process of its own: one copy per logon, its endings, and the
// user's mouse, with the simulators behind it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "res/resource.h"

namespace {

const char kPanelTitle[] = "Vexmora USB Audio Driver";

std::string BinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string TempPath(const char* name)
{
    char dir[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct FindData {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPanels(HWND hWnd, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindData*>(lParam);
    char title[64] = "";
    ::GetWindowTextA(hWnd, title, sizeof(title));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (strcmp(title, kPanelTitle) == 0 && (data->pid == 0 || pid == data->pid))
        data->found.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> PanelWindows(DWORD pid = 0)
{
    FindData data{pid, {}};
    ::EnumWindows(CollectPanels, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// A running Kestrun.exe; ended through the tray menu's Exit when the test is done.
class PanelProcess {
public:
    explicit PanelProcess(const std::string& exe = BinDir() + "Kestrun.exe",
                          const std::vector<std::pair<std::string, std::string>>& env = {})
    {
        for (const auto& [name, value] : env)
            ::SetEnvironmentVariableA(name.c_str(), value.c_str());
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        std::string cmd = "\"" + exe + "\"";
        std::string dir = exe.substr(0, exe.find_last_of('\\'));
        started_ = ::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_) != FALSE;
        for (const auto& [name, value] : env)
            ::SetEnvironmentVariableA(name.c_str(), nullptr);
    }
    ~PanelProcess()
    {
        if (!started_)
            return;
        if (!Ended(0)) {
            Exit();
            if (!Ended(15000))
                ::TerminateProcess(pi_.hProcess, 99);
        }
        ::CloseHandle(pi_.hThread);
        ::CloseHandle(pi_.hProcess);
    }

    bool Started() const { return started_; }
    DWORD Pid() const { return pi_.dwProcessId; }

    // The panel's window once it is up and taking messages.
    HWND Window(DWORD timeoutMs = 20000) const
    {
        for (DWORD waited = 0;; waited += 50) {
            auto windows = PanelWindows(pi_.dwProcessId);
            DWORD_PTR ignored = 0;
            if (!windows.empty() && ::IsWindowVisible(windows[0]) &&
                ::SendMessageTimeoutA(windows[0], WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
                return windows[0];
            if (waited >= timeoutMs || Ended(0))
                return nullptr;
            ::Sleep(50);
        }
    }

    bool Ended(DWORD timeoutMs) const { return ::WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }

    DWORD ExitCode() const
    {
        DWORD code = 0;
        ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

    // The tray menu's Exit, shown or hidden.
    void Exit()
    {
        for (HWND h : PanelWindows(pi_.dwProcessId))
            ::PostMessageA(h, WM_COMMAND, ID_MENU_EXIT, 0);
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

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

// Wine's per-program version setting for Kestrun.exe while it lives.
class ReportedWindowsVersion {
public:
    explicit ReportedWindowsVersion(const char* version)
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                             static_cast<DWORD>(strlen(version) + 1));
            ::RegCloseKey(key);
        }
    }
    ~ReportedWindowsVersion() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
    ReportedWindowsVersion(const ReportedWindowsVersion&) = delete;
    ReportedWindowsVersion& operator=(const ReportedWindowsVersion&) = delete;

private:
    static constexpr char kKey[] = "Software\\Wine\\AppDefaults\\Kestrun.exe";
};

// "win10" tells the program 6.2, as Windows 10 does without manifest entries, and the
// true 10.0.18362 to RtlGetVersion.
TEST(Information, OnWindows10TheOsLineSaysWindows10)
{
    ReportedWindowsVersion win10("win10");
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
    HKEY usb = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\USB", 0, KEY_ALL_ACCESS, &usb), ERROR_SUCCESS);
    HKEY saved = nullptr;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\KestrunE2ESavedUsb", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved, nullptr);
    ASSERT_EQ(::RegCopyTreeA(usb, "VID_5F3A&PID_0101", saved), ERROR_SUCCESS);
    ASSERT_EQ(::RegDeleteTreeA(usb, "VID_5F3A&PID_0101"), ERROR_SUCCESS);

    bool ended = false;
    DWORD code = 1;
    {
        PanelProcess panel(BinDir() + "Kestrun.exe", {{"KESTRUN_CONFLIB_LOG", log}});
        ended = panel.Ended(20000);
        code = panel.ExitCode();
    }

    HKEY restored = nullptr;
    ::RegCreateKeyExA(usb, "VID_5F3A&PID_0101", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    ::RegCopyTreeA(saved, nullptr, restored);
    ::RegCloseKey(restored);
    ::RegCloseKey(saved);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\KestrunE2ESavedUsb");
    ::RegCloseKey(usb);

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
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = ::MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = ::MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
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
    MouseTo(start);
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

}  // namespace
