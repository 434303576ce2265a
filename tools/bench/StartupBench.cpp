// Start-up benchmark: time from CreateProcess to a visible window that answers messages,
// for Kestrun.exe and for a minimal Win32 dialog, in the same run. Prints figures only.
//   startup_bench.exe [runs]
//   startup_bench.exe --panel-once   one start of the panel: "panel <ms> ms peak <KiB> KiB" (the
//                                    display-scale comparison runs it in two prefixes in turn)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string BinDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Milliseconds until the program's window is visible and idle, or -1. With peakKiB, the
// program's peak working set by then.
double TimeStartup(const std::string& exe, const char* title, UINT closeCommand, SIZE_T* peakKiB = nullptr)
{
    STARTUPINFOA si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    std::string dir = BinDir();
    double start = Now();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
        return -1;
    double elapsed = -1;
    for (int i = 0; i < 4000; ++i) {
        HWND h = FindWindowA(nullptr, title);
        DWORD_PTR r = 0;
        if (h && IsWindowVisible(h) && SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r)) {
            elapsed = Now() - start;
            PROCESS_MEMORY_COUNTERS counters{sizeof(counters)};
            if (peakKiB != nullptr && GetProcessMemoryInfo(pi.hProcess, &counters, sizeof(counters)))
                *peakKiB = counters.PeakWorkingSetSize / 1024;
            PostMessageA(h, WM_COMMAND, closeCommand, 0);
            break;
        }
        Sleep(1);
    }
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return elapsed;
}

void Report(const char* name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    printf("%-28s runs %zu  median %8.1f ms  min %8.1f ms  mean %8.1f ms\n", name, times.size(),
           times[times.size() / 2], times.front(), sum / static_cast<double>(times.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--panel-once") {
        SIZE_T peak = 0;
        double ms = TimeStartup(BinDir() + "Kestrun.exe", "Vexmora USB Audio Driver", 32772, &peak);
        if (ms < 0)
            return 1;
        printf("panel %.1f ms peak %zu KiB\n", ms, static_cast<size_t>(peak));
        return 0;
    }
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    std::vector<double> panel, minimal;
    for (int i = 0; i < runs; ++i) {
        double m = TimeStartup(BinDir() + "minimal_dialog.exe", "Minimal Dialog Bench", IDCANCEL);
        double p = TimeStartup(BinDir() + "Kestrun.exe", "Vexmora USB Audio Driver", 32772);
        if (m >= 0)
            minimal.push_back(m);
        if (p >= 0)
            panel.push_back(p);
    }
    if (panel.empty() || minimal.empty()) {
        printf("start-up benchmark: a program did not show its window\n");
        return 1;
    }
    Report("minimal Win32 dialog", minimal);
    Report("Kestrun panel", panel);
    printf("panel / minimal (medians)    %.2fx\n", panel[panel.size() / 2] / minimal[minimal.size() / 2]);
    return 0;
}
