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

// A click on a control of the panel's face, posted as the mouse would: the press enters the
// window-move loop (the whole face moves the window), which the queued release ends.
class FaceClick {
public:
    FaceClick(HWND panel, int controlId) : panel_(panel), control_(::GetDlgItem(panel, controlId))
    {
        RECT rc{};
        ::GetWindowRect(control_, &rc);
        POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ::ScreenToClient(panel, &at);
        where_ = MAKELPARAM(at.x, at.y);
        before_ = Image();
        ::PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, where_);
        ::PostMessageA(panel, WM_LBUTTONUP, 0, where_);
    }

    // True once the move loop is over and the control shows another image. A move loop that
    // missed its release for seconds is stuck (a busy panel is not): a second release ends it,
    // counted as a rescue.
    bool Done()
    {
        GUITHREADINFO info{sizeof(info)};
        const bool moving = ::GetGUIThreadInfo(::GetWindowThreadProcessId(panel_, nullptr), &info) &&
                            (info.flags & GUI_INMOVESIZE) != 0;
        const DWORD now = ::GetTickCount();
        movingSince_ = moving ? (movingSince_ != 0 ? movingSince_ : now) : 0;
        if (movingSince_ != 0 && now - movingSince_ >= 3000 && !rescued_) {
            testsupport::TheTally().Rescue("a second mouse release ended the window-move loop");
            ::PostMessageA(panel_, WM_LBUTTONUP, 0, where_);
            rescued_ = true;
        }
        return !moving && Image() != before_;
    }
    bool Rescued() const { return rescued_; }

private:
    DWORD_PTR Image() const
    {
        DWORD_PTR bitmap = 0;
        ::SendMessageTimeoutA(control_, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG, 2000, &bitmap);
        return bitmap;
    }

    HWND panel_;
    HWND control_;
    LPARAM where_ = 0;
    DWORD_PTR before_ = 0;
    DWORD movingSince_ = 0;
    bool rescued_ = false;
};

}  // namespace paneltest
