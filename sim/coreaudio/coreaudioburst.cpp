// Prints how long a burst of volume changes made by another program holds a click on the
// panel: it starts Kestrun.exe (beside this program), makes N level changes through
// IAudioEndpointVolume with a foreign context, posts a click on the mute indicator right after
// the last one, and times until the panel's mute write reaches the simulator. Figures only.
#include "sim/coreaudio/SimControl.h"

#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID kClsidEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kBurstContext = {0x62757273, 0x7400, 0x4B65, {0x73, 0x74, 0x72, 0x75, 0x6E, 0x42, 0x55, 0x52}};
constexpr int kMuteIndicator = 1020;
constexpr UINT kMenuExit = 32772;

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring Beside(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

// Mute writes the panel has made so far.
size_t PanelMuteWrites(DWORD panel)
{
    size_t n = 0;
    for (const CoreAudioSim::CallRecord& call : CoreAudioSim::ReadCallLog())
        n += call.kind == CoreAudioSim::kCallSetMute && call.processId == panel ? 1 : 0;
    return n;
}

bool PanelIdle(HWND window, DWORD timeoutMs)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

// Posts a click on the mute indicator; returns the milliseconds until the panel wrote the mute.
double TimeClick(HWND window, DWORD panel, double from)
{
    RECT rc;
    GetWindowRect(GetDlgItem(window, kMuteIndicator), &rc);
    POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ScreenToClient(window, &at);
    size_t before = PanelMuteWrites(panel);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));  // ends the move loop the click starts
    for (double start = Now(); Now() - start < 300000.0; Sleep(5)) {
        if (PanelMuteWrites(panel) > before)
            return Now() - from;
    }
    return -1.0;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator)))) {
        std::printf("the Core Audio simulator is not registered\n");
        return 1;
    }
    CoreAudioSim::Reset();  // keeps the state alive while this runs, so the panel sees the same

    std::wstring exe = Beside(L"Kestrun.exe");
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("cannot start Kestrun.exe\n");
        return 1;
    }
    HWND window = nullptr;
    for (int i = 0; i < 600 && !window; ++i, Sleep(50))
        window = FindWindowA(nullptr, "Vexmora USB Audio Driver");
    if (!window || !PanelIdle(window, 30000)) {
        std::printf("the panel did not come up\n");
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    Sleep(500);  // the start-up's own read-out and registrations settle

    ComPtr<IMMDevice> device;
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device)) ||
        FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, &volume))) {
        std::printf("no default endpoint\n");
        TerminateProcess(process.hProcess, 1);
        return 1;
    }

    std::printf("Burst of volume changes from another program; a click posted after the burst:\n");
    int sizes[] = {0, 1000, 10000};
    for (int changes : sizes) {
        if (argc > 1 && changes > std::atoi(argv[1]))
            break;
        double start = Now();
        for (int i = 0; i < changes; ++i)
            volume->SetChannelVolumeLevelScalar(0, (i % 2) ? 0.30f : 0.31f, &kBurstContext);
        double made = Now();
        double held = TimeClick(window, process.dwProcessId, made);
        PanelIdle(window, 300000);
        double drained = Now() - made;
        std::printf("  %5d changes: made in %8.1f ms; click handled %8.1f ms after the burst; panel idle after %8.1f ms\n",
                    changes, made - start, held, drained);
    }
    CoreAudioSim::LiveObjects live;
    if (CoreAudioSim::ReadLiveObjects(process.dwProcessId, live))
        std::printf("  panel's simulated objects alive at the end: %ld\n", live.Objects());

    PostMessageA(window, WM_COMMAND, kMenuExit, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
