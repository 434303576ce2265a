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
    {
        for (const auto& [name, value] : env)
            ::SetEnvironmentVariableA(name.c_str(), value.c_str());
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        std::string cmd = "\"" + exe + "\"";
        std::string dir = exe.substr(0, exe.find_last_of('\\'));
        // Under load Wine's CreateProcess now and then fails with ERROR_INTERNAL_ERROR while it
        // is still setting the new process up; the panel never got to show anything, so such a
        // start is tried again. Any other failure stands.
        for (int attempt = 0; attempt < 3; ++attempt) {
            started_ = ::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_) != FALSE;
            startError_ = started_ ? 0 : ::GetLastError();
            if (started_ || startError_ != ERROR_INTERNAL_ERROR)
                break;
            ::Sleep(500);
        }
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
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    bool Started() const { return started_; }
    DWORD StartError() const { return startError_; }
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
    DWORD startError_ = 0;
};

}  // namespace paneltest
