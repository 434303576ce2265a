// The Windows side of the installer and standard-user tests: reads a version resource, starts
// an installed panel, clicks its link button, ends it through its tray menu's Exit, and watches
// a running panel while an installer replaces it. Prints name=value lines; the exit status
// says pass or fail.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <tlhelp32.h>

#include "tests/support/PanelProcess.h"

namespace {

using paneltest::PanelWindows;

const WPARAM kMenuExit = 32772;
const int kPanelVersionLabel = 1011;

struct Handle {
    HANDLE h = nullptr;
    ~Handle() { if (h) ::CloseHandle(h); }
};

int KestrunProcesses()
{
    Handle snap{::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snap.h == INVALID_HANDLE_VALUE) {
        snap.h = nullptr;
        return -1;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Process32First(snap.h, &entry); more; more = ::Process32Next(snap.h, &entry))
        if (_stricmp(entry.szExeFile, "Kestrun.exe") == 0)
            ++count;
    return count;
}

std::string Quad(DWORD ms, DWORD ls)
{
    char text[64];
    snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(ms)),
             static_cast<unsigned long>(LOWORD(ms)), static_cast<unsigned long>(HIWORD(ls)),
             static_cast<unsigned long>(LOWORD(ls)));
    return text;
}

int Version(const char* exe)
{
    DWORD size = ::GetFileVersionInfoSizeA(exe, nullptr);
    if (size == 0)
        return 1;
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoA(exe, 0, size, block.data()))
        return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len))
        return 1;
    printf("fixed-file=%s\n", Quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    printf("fixed-product=%s\n", Quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    for (const char* name : {"FileVersion", "ProductVersion"}) {
        char* text = nullptr;
        std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
        bool found = ::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &len);
        printf("%s=%s\n", name, found ? text : "<none>");
    }
    return 0;
}

// Starts the panel in its own folder and waits for its window.
bool StartPanel(const testsupport::Process& process, HWND& panel)
{
    if (!process.Started()) {
        printf("started=no error=%lu\n", process.StartError());
        return false;
    }
    for (int i = 0; i < 600; ++i) {
        // The panel shows itself once its initialisation is done.
        auto windows = PanelWindows(process.Pid());
        if (!windows.empty() && ::IsWindowVisible(windows.front())) {
            panel = windows.front();
            return true;
        }
        if (process.Ended(100))
            break;
    }
    printf("started=no (no panel window)\n");
    return false;
}

testsupport::StartOptions PanelOptions(const std::string& exe)
{
    return {.exe = exe, .dir = exe.substr(0, exe.find_last_of('\\'))};
}

int Start(const char* exe)
{
    testsupport::Process process(PanelOptions(exe));
    HWND panel = nullptr;
    bool started = StartPanel(process, panel);
    if (started) {
        char line[256] = "";
        ::GetWindowTextA(::GetDlgItem(panel, kPanelVersionLabel), line, sizeof(line));
        printf("started=yes\nversion-line=%s\n", line);
    }
    return started ? 0 : 1;
}

// The tray menu's Exit, then the process's end.
bool EndThroughExit(HWND panel, HANDLE process)
{
    ::PostMessageA(panel, WM_COMMAND, kMenuExit, 0);
    bool ended = process && ::WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    DWORD code = STILL_ACTIVE;
    if (process)
        ::GetExitCodeProcess(process, &code);
    printf("ended=%s exit-code=%lu\n", ended ? "yes" : "no", code);
    return ended && code == 0;
}

int Exit()
{
    auto windows = PanelWindows();
    if (windows.empty()) {
        printf("panel-windows=0\n");
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(windows.front(), &pid);
    Handle process{::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)};
    return EndThroughExit(windows.front(), process.h) ? 0 : 1;
}

// A click on the link button, then whether the panel still answers and ends cleanly.
int LinkClick(const char* exe)
{
    testsupport::Process process(PanelOptions(exe));
    HWND panel = nullptr;
    if (!StartPanel(process, panel)) {
        process.Kill(99);
        return 1;
    }
    paneltest::FaceClick click(panel, IDC_LINK_INDICATOR);
    bool clicked = false;
    for (int i = 0; i < 300 && !(clicked = click.Done()); ++i)
        ::Sleep(50);
    const bool rescued = click.Rescued();
    DWORD_PTR ignored = 0;
    const bool answered = clicked && ::SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    printf("clicked=%s answered=%s\n", rescued ? "rescued" : "yes", answered ? "yes" : "no");
    const bool ended = EndThroughExit(panel, process.Handle());
    if (!ended) {
        testsupport::TheTally().Rescue("the panel did not end through Exit and was killed");
        process.Kill(99);
    }
    return !rescued && answered && ended ? 0 : 1;
}

int Processes()
{
    printf("kestrun-processes=%d panel-windows=%zu\n", KestrunProcesses(), PanelWindows().size());
    return 0;
}

// Starts the panel, runs the installer with the given arguments while it runs, and reports how
// the panel ended and whether the installer started it again.
int UpgradeRunning(const std::string& exe, std::string command)
{
    testsupport::Process panel(PanelOptions(exe));
    HWND window = nullptr;
    if (!StartPanel(panel, window))
        return 1;
    printf("panel-started=yes\n");
    const testsupport::RunResult setup = testsupport::Run({.commandLine = command}, 180000);
    if (!setup.started) {
        printf("setup-started=no error=%lu\n", setup.startError);
        return 1;
    }
    const bool setupFinished = setup.finished;
    const DWORD setupCode = setup.exitCode;
    const bool ended = panel.Ended(0);
    const DWORD panelCode = panel.ExitCode();
    // The shell starts the new panel after the installer has ended.
    size_t windows = 0;
    for (int i = 0; i < 300 && (windows = PanelWindows().size()) == 0; ++i)
        ::Sleep(100);
    const int processes = KestrunProcesses();
    printf("setup-finished=%s setup-exit-code=%lu\n", setupFinished ? "yes" : "no", setupCode);
    printf("panel-ended=%s panel-exit-code=%lu\n", ended ? "yes" : "no", panelCode);
    printf("kestrun-processes=%d panel-windows=%zu\n", processes, windows);
    return setupFinished && setupCode == 0 && ended && panelCode == 0 && processes == 1 && windows == 1 ? 0 : 1;
}

// Runs a command line as given, unquoted: the installer takes /D= only as the last, unquoted
// argument, also when the folder has blanks. With a file to lock, that file is held open
// without sharing meanwhile, as a running program's exe is.
int Run(std::string command, const char* locked = nullptr)
{
    Handle lock;
    if (locked != nullptr) {
        lock.h = ::CreateFileA(locked, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (lock.h == INVALID_HANDLE_VALUE) {
            lock.h = nullptr;
            printf("locked=no error=%lu\n", ::GetLastError());
            return 1;
        }
    }
    const testsupport::RunResult run = testsupport::Run({.commandLine = command}, 180000);
    if (!run.started) {
        printf("started=no error=%lu\n", run.startError);
        return 1;
    }
    const bool finished = run.finished;
    const DWORD code = run.exitCode;
    printf("finished=%s exit-code=%lu\n", finished ? "yes" : "no", code);
    return finished && code == 0 ? 0 : 1;
}

std::string CommandLine(int argc, char** argv, int first)
{
    std::string command = std::string("\"") + argv[first] + "\"";
    for (int i = first + 1; i < argc; ++i)
        command += std::string(" ") + argv[i];
    return command;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "version" && argc == 3)
        return Version(argv[2]);
    if (verb == "start" && argc == 3)
        return Start(argv[2]);
    if (verb == "exit" && argc == 2)
        return Exit();
    if (verb == "processes" && argc == 2)
        return Processes();
    if (verb == "link-click" && argc == 3)
        return LinkClick(argv[2]);
    if (verb == "run-locked" && argc >= 4)
        return Run(CommandLine(argc, argv, 3), argv[2]);
    if (verb == "upgrade-running" && argc >= 4)
        return UpgradeRunning(argv[2], CommandLine(argc, argv, 3));
    if (verb == "run" && argc >= 3)
        return Run(CommandLine(argc, argv, 2));
    fprintf(stderr, "usage: install_probe version EXE | start EXE | exit | processes | link-click EXE\n"
                    "                     | upgrade-running EXE SETUP [ARGS...] | run PROGRAM [ARGS...]\n"
                    "                     | run-locked FILE PROGRAM [ARGS...]\n");
    return 2;
}
