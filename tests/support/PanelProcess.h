// The real Kestrun.exe in a process of its own, and finding its windows: shared by the tests
// that drive the shipped program from outside.
#pragma once

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "res/resource.h"
#include "tests/support/Launch.h"

namespace paneltest {

inline constexpr char kPanelTitle[] = "Vexmora USB Audio Driver";

// The folder of the running test program, with its final backslash.
inline std::string BinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

inline std::string TempPath(const char* name)
{
    char dir[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

inline std::string ReadFile(const std::string& path)
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

inline BOOL CALLBACK CollectPanels(HWND hWnd, LPARAM lParam)
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

// Top-level windows titled as the panel; of one process, or of any when pid is 0.
inline std::vector<HWND> PanelWindows(DWORD pid = 0)
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
        : process_(Options(exe, env))
    {
        for (const auto& [name, value] : env)
            ::SetEnvironmentVariableA(name.c_str(), nullptr);
    }
    ~PanelProcess()
    {
        if (!Started() || Ended(0))
            return;
        Exit();
        if (!Ended(15000)) {
            testsupport::TheTally().Rescue("Kestrun.exe killed, still running 15 s after the tray menu's Exit");
#ifdef ADD_FAILURE
            // gtest is in this test: a panel that had to be killed fails it.
            ADD_FAILURE() << "Kestrun.exe did not end within 15 s of the tray menu's Exit and was killed";
#endif
            process_.Kill(99);
        }
    }
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    bool Started() const { return process_.Started(); }
    DWORD StartError() const { return process_.StartError(); }
    DWORD Pid() const { return process_.Pid(); }

    // The panel's window once it is up and taking messages.
    HWND Window(DWORD timeoutMs = 20000) const
    {
        for (DWORD waited = 0;; waited += 50) {
            auto windows = PanelWindows(Pid());
            DWORD_PTR ignored = 0;
            if (!windows.empty() && ::IsWindowVisible(windows[0]) &&
                ::SendMessageTimeoutA(windows[0], WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
                return windows[0];
            if (waited >= timeoutMs || Ended(0))
                return nullptr;
            ::Sleep(50);
        }
    }

    bool Ended(DWORD timeoutMs) const { return process_.Ended(timeoutMs); }
    DWORD ExitCode() const { return process_.ExitCode(); }

    // The tray menu's Exit, shown or hidden.
    void Exit()
    {
        for (HWND h : PanelWindows(Pid()))
            ::PostMessageA(h, WM_COMMAND, ID_MENU_EXIT, 0);
    }

private:
    // The environment is set for the start and taken back by the constructor.
    static testsupport::StartOptions Options(const std::string& exe, const std::vector<std::pair<std::string, std::string>>& env)
    {
        for (const auto& [name, value] : env)
            ::SetEnvironmentVariableA(name.c_str(), value.c_str());
        return {.exe = exe, .dir = exe.substr(0, exe.find_last_of('\\'))};
    }

    testsupport::Process process_;
};

}  // namespace paneltest
