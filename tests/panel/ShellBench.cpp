// Prints how long the shell's start-up steps take (presence scan, settings reads, OS name,
// tray add/delete) and a link-click write. Not a test: figures only.
//   wine shell_bench.exe [rounds]
#include "driver/DevicePresence.h"
#include "panel/InfoText.h"
#include "panel/Settings.h"
#include "panel/TrayIcon.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

void Measure(const char* name, int rounds, const std::function<void()>& step)
{
    step();  // first call outside the figure: caches, loader, shell start
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        step();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("%-34s %10.1f us per call (%d calls)\n", name, spent.count() / rounds, rounds);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const char* file = "shell_bench.ini";
    WriteSettingString(file, SETTINGS_SECTION, SETTING_PANEL_VERSION, "1.0.0.0");

    HWND window = ::CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW data;
    FillTrayIconData(data, window, ::GetModuleHandleA(nullptr));

    bool present = false;
    Measure("IsDevicePresent", rounds, [&] { present = IsDevicePresent(); });
    Measure("ReadSettingInt", rounds, [&] { ReadSettingInt(file, SETTINGS_SECTION, SETTING_CHANNELS_LINKED); });
    Measure("ReadSettingString", rounds, [&] { ReadSettingString(file, SETTINGS_SECTION, SETTING_PANEL_VERSION); });
    int click = 0;
    Measure("WriteSettingString (link click)", rounds,
            [&] { WriteSettingString(file, SETTINGS_SECTION, SETTING_CHANNELS_LINKED, (++click & 1) ? "1" : "0"); });
    Measure("QueryOsName", rounds, [&] { QueryOsName(); });
    // Wine's stand-alone tray window appears with the first icon and goes with the last.
    const int trayRounds = std::max(1, rounds / 10);
    Measure("tray NIM_ADD + NIM_DELETE", trayRounds, [&] {
        NotifyTrayIcon(NIM_ADD, data);
        NotifyTrayIcon(NIM_DELETE, data);
    });
    NotifyTrayIcon(NIM_ADD, data);
    Measure("tray NIM_ADD of a present icon", rounds, [&] { NotifyTrayIcon(NIM_ADD, data); });
    NotifyTrayIcon(NIM_DELETE, data);
    std::printf("device present: %s\n", present ? "yes" : "no");

    ::DestroyWindow(window);
    ::DeleteFileA(SettingsFilePath(file).c_str());
    return 0;
}
