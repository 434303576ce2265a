// Artwork loading at a display scale: the time to load every bitmap, the tray icon and the hand
// cursor as the panel does at start-up, in a fresh process each time (so a first use of WIC
// counts), and that process's peak working set. Prints figures only.
//   artwork_bench.exe [rounds]     runs children at 96, 120, 144, 192 and 288 DPI, interleaved
//   artwork_bench.exe --child DPI  one load; prints "ms peak_kb"
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Artwork.h"
#include "framework/DisplayScale.h"
#include "res/resource.h"

namespace {

// CPU time of this thread in ms: less at the mercy of other work on a shared machine.
double CpuNow()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

int Child(UINT dpi)
{
    static const UINT ids[] = {
        IDB_SKIN, IDB_RATE_44K1, IDB_RATE_44K1_SEL, IDB_RATE_48K, IDB_RATE_48K_SEL, IDB_RATE_88K2,
        IDB_RATE_88K2_SEL, IDB_RATE_96K, IDB_RATE_96K_SEL, IDB_RATE_176K4, IDB_RATE_176K4_SEL, IDB_RATE_192K,
        IDB_RATE_192K_SEL, IDB_DEPTH_16, IDB_DEPTH_16_SEL, IDB_DEPTH_24, IDB_DEPTH_24_SEL, IDB_DEPTH_32,
        IDB_DEPTH_32_SEL, IDB_POWER, IDB_POWER_SEL, IDB_OUTPUT_SPDIF, IDB_OUTPUT_SPDIF_SEL, IDB_OUTPUT_SPEAKER,
        IDB_OUTPUT_SPEAKER_SEL, IDB_MUTE_OFF, IDB_MUTE_ON, IDB_LINK_OFF, IDB_LINK_ON, IDB_SLIDER_LEFT_SPAN,
        IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_RIGHT_SPAN, IDB_SLIDER_RIGHT_CHANNEL,
    };
    std::vector<HBITMAP> loaded;
    const double start = Now(), cpuStart = CpuNow();
    for (UINT id : ids)
        loaded.push_back(LoadScaledBitmap(id, dpi));
    HICON icon = LoadScaledIcon(IDR_MAINFRAME, ScaleLength(16, dpi));
    HCURSOR cursor = LoadScaledCursor(IDC_HAND_CURSOR, dpi);
    const double ms = Now() - start, cpu = CpuNow() - cpuStart;
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    const bool ok = icon != nullptr && cursor != nullptr &&
                    std::all_of(loaded.begin(), loaded.end(), [](HBITMAP b) { return b != nullptr; });
    std::printf("%.2f %zu %.2f\n", ms, pmc.PeakWorkingSetSize / 1024, cpu);
    for (HBITMAP b : loaded) DeleteObject(b);
    DestroyIcon(icon);
    DestroyCursor(cursor);
    return ok ? 0 : 1;
}

bool RunChild(UINT dpi, double* ms, double* peakKb, double* cpu)
{
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string cmd = "\"" + std::string(exe) + "\" --child " + std::to_string(dpi);
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        char buf[256];
        DWORD got = 0;
        while (ReadFile(readEnd, buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return started && std::sscanf(out.c_str(), "%lf %lf %lf", ms, peakKb, cpu) == 3;
}

double Median(std::vector<double> v)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return Child(static_cast<UINT>(std::atoi(argv[2])));
    const int rounds = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7;
    const UINT dpis[] = {96, 120, 144, 192, 288};
    std::vector<std::vector<double>> times(std::size(dpis)), peaks(std::size(dpis)), cpus(std::size(dpis));
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < std::size(dpis); ++i) {
            double ms = 0, kb = 0, cpu = 0;
            if (RunChild(dpis[i], &ms, &kb, &cpu)) {
                times[i].push_back(ms);
                cpus[i].push_back(cpu);
                peaks[i].push_back(kb);
            }
        }
    std::printf("artwork load (every bitmap, tray icon, cursor), fresh process, median of %d:\n", rounds);
    for (size_t i = 0; i < std::size(dpis); ++i)
        std::printf("  %3u DPI (%3u %%, carried %3u %%): %7.2f ms (CPU %6.2f ms), peak working set %6.0f KB\n",
                    dpis[i], dpis[i] * 100 / 96, ArtworkScaleForDpi(dpis[i]), Median(times[i]), Median(cpus[i]),
                    Median(peaks[i]));
    return 0;
}
