// The fault campaign: the real Kestrun.exe, once per row of FaultCases.cpp, with a failure
// injected through a simulator, the machine or CPL.ini. Every row is driven the same way
// (start, format clicks, a driver event, the mixer, a wheel step on a slider, a mute click,
// one click on the link indicator, the tray menu's Exit) and must leave an answering panel,
// at most one message box at a time, a clean exit, a settings file that lost no byte but the
// link value, and no more Core Audio objects than start-up kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "res/resource.h"
#include "sim/conflib/ConfLibSim.h"
#include "sim/coreaudio/SimShared.h"
#include "tests/campaign/FaultCase.h"
#include "tests/support/PanelProcess.h"
#include "tests/support/UsbDevice.h"

namespace {

using namespace campaign;
using namespace paneltest;

const char kIniName[] = "CPL.ini";

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool DirectoryIsEmpty(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            empty = false;
    } while (empty && ::FindNextFileA(h, &found));
    ::FindClose(h);
    return empty;
}

// A file, or an empty folder (a folder with content stays, and the case that needs the
// path free reports it).
void RemovePath(const std::string& path)
{
    if (IsDirectory(path))
        ::RemoveDirectoryA(path.c_str());
    else
        ::DeleteFileA(path.c_str());
}

// What the program's folder holds besides its settings.
std::vector<std::string> FolderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != ".." && name != "Kestrun.exe" && name != "osConfLibFlie" && name != kIniName)
            names.push_back(name);
    } while (::FindNextFileA(h, &found));
    ::FindClose(h);
    return names;
}

// Where the program runs from: a copy of it, with or without the driver library beside it,
// so that the settings file of every case is the campaign's own.
class ProgramFolders {
public:
    ProgramFolders()
        : withLibrary_(TempPath("kestrun-campaign")), withoutLibrary_(TempPath("kestrun-campaign-nolib"))
    {
        ok_ = Install(withLibrary_, true) && Install(withoutLibrary_, false);
    }
    ~ProgramFolders()
    {
        for (const std::string& dir : {withLibrary_, withoutLibrary_}) {
            RemovePath(dir + "\\" + kIniName);
            ::DeleteFileA((dir + "\\Kestrun.exe").c_str());
        }
        for (const char* flavour : {"vista", "xp"}) {
            ::DeleteFileA((withLibrary_ + "\\osConfLibFlie\\x64\\" + flavour + "\\osConfLib.dll").c_str());
            ::RemoveDirectoryA((withLibrary_ + "\\osConfLibFlie\\x64\\" + flavour).c_str());
        }
        ::RemoveDirectoryA((withLibrary_ + "\\osConfLibFlie\\x64").c_str());
        ::RemoveDirectoryA((withLibrary_ + "\\osConfLibFlie").c_str());
        ::RemoveDirectoryA(withLibrary_.c_str());
        ::RemoveDirectoryA(withoutLibrary_.c_str());
    }
    bool Ok() const { return ok_; }
    const std::string& For(Machine machine) const { return machine == Machine::kNoLibrary ? withoutLibrary_ : withLibrary_; }

private:
    static bool Install(const std::string& dir, bool library)
    {
        ::CreateDirectoryA(dir.c_str(), nullptr);
        for (const std::string& stray : FolderEntries(dir))
            RemovePath(dir + "\\" + stray);
        bool ok = ::CopyFileA((BinDir() + "Kestrun.exe").c_str(), (dir + "\\Kestrun.exe").c_str(), FALSE) != FALSE;
        if (library) {
            std::string sub = dir + "\\osConfLibFlie";
            ::CreateDirectoryA(sub.c_str(), nullptr);
            sub += "\\x64";
            ::CreateDirectoryA(sub.c_str(), nullptr);
            for (const char* flavour : {"vista", "xp"}) {
                const std::string target = sub + "\\" + flavour;
                ::CreateDirectoryA(target.c_str(), nullptr);
                const std::string from = BinDir() + "osConfLibFlie\\x64\\" + flavour + "\\osConfLib.dll";
                ok = ok && ::CopyFileA(from.c_str(), (target + "\\osConfLib.dll").c_str(), FALSE) != FALSE;
            }
        }
        return ok;
    }

    std::string withLibrary_;
    std::string withoutLibrary_;
    bool ok_ = false;
};

// The program's message boxes: every top-level dialog of the process but the panel. Each one
// is left open for a moment, so that a box stacked on it shows, and then answered with OK.
class BoxWatch {
public:
    explicit BoxWatch(DWORD pid) : pid_(pid) {}

    void Poll()
    {
        const DWORD now = ::GetTickCount();
        const std::vector<HWND> current = OpenBoxes();
        std::erase_if(open_, [&](const OpenBox& box) {
            return std::find(current.begin(), current.end(), box.hWnd) == current.end();
        });
        for (HWND hWnd : current) {
            if (std::none_of(open_.begin(), open_.end(), [&](const OpenBox& box) { return box.hWnd == hWnd; })) {
                open_.push_back({hWnd, now, 0});
                ++shown_;
                texts_.push_back(BoxText(hWnd));
            }
        }
        maxAtOnce_ = std::max(maxAtOnce_, static_cast<int>(open_.size()));
        if (open_.empty())
            return;
        lastOpen_ = now;
        // The newest box first: it runs the innermost modal loop.
        OpenBox& newest = open_.back();
        if (now - newest.seen >= kLingerMs && (newest.okSent == 0 || now - newest.okSent >= 1000)) {
            ::PostMessageA(newest.hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(newest.hWnd, IDOK)));
            newest.okSent = now;
        }
    }

    bool AnyOpen() const { return !open_.empty(); }
    DWORD LastOpen() const { return lastOpen_; }
    int MaxAtOnce() const { return maxAtOnce_; }
    int Shown() const { return shown_; }
    std::string Texts() const
    {
        std::string all;
        for (const std::string& text : texts_)
            all += (all.empty() ? "\"" : ", \"") + text + "\"";
        return all;
    }

private:
    static constexpr DWORD kLingerMs = 300;

    struct Search {
        DWORD pid;
        std::vector<HWND> boxes;
    };

    static BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
    {
        auto* search = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        if (pid != search->pid || !::IsWindowVisible(hWnd))
            return TRUE;
        char className[32] = "";
        char title[64] = "";
        ::GetClassNameA(hWnd, className, sizeof(className));
        ::GetWindowTextA(hWnd, title, sizeof(title));
        if (strcmp(className, "#32770") == 0 && strcmp(title, kPanelTitle) != 0)
            search->boxes.push_back(hWnd);
        return TRUE;
    }

    std::vector<HWND> OpenBoxes() const
    {
        Search search{pid_, {}};
        ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
        return search.boxes;
    }

    static std::string BoxText(HWND box)
    {
        char text[256] = "";
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        return text;
    }

    struct OpenBox {
        HWND hWnd;
        DWORD seen;    // tick count when first seen
        DWORD okSent;  // tick count when answered, or 0
    };

    DWORD pid_;
    std::vector<OpenBox> open_;  // in the order they appeared
    std::vector<std::string> texts_;
    int shown_ = 0;
    int maxAtOnce_ = 0;
    DWORD lastOpen_ = ::GetTickCount();
};

struct Outcome {
    bool answered = false;
    bool ended = false;  // by itself, before the test asked
    bool cleanExit = false;
    int maxBoxes = 0;
    int boxes = 0;
    std::string boxTexts;
    bool linkToggled = false;
    bool iniIntact = false;
    std::string iniProblem;
    std::string problem;  // the case could not be run as described
    bool liveChecked = false;
    std::string liveGrowth;  // the live objects that outgrew what start-up kept
    long long faultHits = -1;  // for a case that injects a Core Audio fault
    double seconds = 0;
};

// Drives one running panel while watching its boxes.
class Driver {
public:
    Driver(PanelProcess& panel, BoxWatch& boxes) : panel_(panel), boxes_(boxes) {}

    // Polls the boxes until done() holds or the time is up.
    bool Pump(const std::function<bool()>& done, DWORD timeoutMs)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            boxes_.Poll();
            if (done())
                return true;
            if (::GetTickCount() - start >= timeoutMs)
                return false;
            ::Sleep(20);
        }
    }

    HWND Panel() const
    {
        auto windows = PanelWindows(panel_.Pid());
        return windows.empty() ? nullptr : windows[0];
    }

    bool Answers() const
    {
        HWND h = Panel();
        DWORD_PTR ignored = 0;
        return h != nullptr && !panel_.Ended(0) &&
               ::SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
    }

    bool WaitReady()
    {
        const auto ready = [&] {
            HWND h = Panel();
            return h != nullptr && ::IsWindowVisible(h) && !boxes_.AnyOpen() && Answers();
        };
        return Pump([&] { return panel_.Ended(0) || ready(); }, 30000) && ready();
    }

    // No box for a while, the panel answering: what the last action set off has run.
    bool Settle(DWORD quietMs)
    {
        const DWORD start = ::GetTickCount();
        return Pump([&] {
            const DWORD now = ::GetTickCount();
            return now - start >= quietMs && now - boxes_.LastOpen() >= quietMs;
        }, 30000) && Answers();
    }

    // A notch of the wheel over a slider, as the user turns it there: the panel writes the level.
    void Wheel(int id, int delta)
    {
        HWND control = ::GetDlgItem(Panel(), id);
        RECT rc;
        ::GetWindowRect(control, &rc);
        ::PostMessageA(control, WM_MOUSEWHEEL, MAKEWPARAM(0, delta),
                       MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    }

    void Click(int id)
    {
        HWND h = Panel();
        ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(h, id)));
    }

    // A left click at the control's centre, as the panel receives it: the control lets the
    // click through to the panel, whose handler then runs the window-move loop until the
    // release that waits behind it. True when the control's image changed.
    bool ClickThrough(int id)
    {
        HWND h = Panel();
        HWND control = ::GetDlgItem(h, id);
        RECT rc;
        ::GetWindowRect(control, &rc);
        POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ::ScreenToClient(h, &at);
        const LPARAM where = MAKELPARAM(at.x, at.y);
        const auto image = [control] {
            DWORD_PTR bitmap = 0;
            ::SendMessageTimeoutA(control, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG, 2000, &bitmap);
            return bitmap;
        };
        const DWORD_PTR before = image();
        ::PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, where);
        ::PostMessageA(h, WM_LBUTTONUP, 0, where);
        const DWORD thread = ::GetWindowThreadProcessId(h, nullptr);
        const auto done = [&] {
            GUITHREADINFO info{sizeof(info)};
            const bool moving = ::GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE) != 0;
            return !moving && image() != before;
        };
        if (Pump(done, 3000))
            return true;
        // Should the move loop have missed that release, give it another.
        ::PostMessageA(h, WM_LBUTTONUP, 0, where);
        return Pump(done, 2000);
    }

    // The simulator's on-demand driver event; there is none without the library.
    void DriverEvent()
    {
        if (HANDLE event = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, CONFLIB_SIM_EVENT_NAME)) {
            ::SetEvent(event);
            ::CloseHandle(event);
        }
    }

    // coreaudioctl as another program or the user in the Windows mixer: its exit code, or -1
    // when it did not run to its end (and then why, in whyNot).
    int Mixer(const std::string& args, std::string& whyNot)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE nul = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = nul;
        si.hStdError = nul;
        PROCESS_INFORMATION pi{};
        const std::string exe = BinDir() + "coreaudioctl.exe";
        std::string cmd = "\"" + exe + "\" " + args;
        // As for the panel's own start: Wine's ERROR_INTERNAL_ERROR under load is tried again.
        bool started = false;
        DWORD startError = 0;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            started = ::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi) != FALSE;
            startError = started ? 0 : ::GetLastError();
            if (!started && startError != ERROR_INTERNAL_ERROR)
                break;
            if (!started)
                ::Sleep(500);
        }
        DWORD code = static_cast<DWORD>(-1);
        if (!started) {
            whyNot = "did not start, error " + std::to_string(startError);
        } else {
            if (!Pump([&] { return ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 20000))
                whyNot = "did not end within 20 s";
            else if (!::GetExitCodeProcess(pi.hProcess, &code))
                whyNot = "left no exit code";
            else if (static_cast<int>(code) < 0) {
                char text[32];
                std::snprintf(text, sizeof(text), "ended with 0x%08lX", static_cast<unsigned long>(code));
                whyNot = text;
            }
            if (!whyNot.empty())
                code = static_cast<DWORD>(-1);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        if (nul != INVALID_HANDLE_VALUE)
            ::CloseHandle(nul);
        return static_cast<int>(code);
    }

private:
    PanelProcess& panel_;
    BoxWatch& boxes_;
};

// What the Core Audio simulator's shared state tells about the panel: its live objects as its
// watcher last published them (at most ~200 ms old) and the fault table's hits. Read straight
// from the named mapping and let go at once, because the state lives while any process holds
// it and each case needs a fresh one (the control library would hold it for good).
struct CoreAudioPeek {
    bool listening = false;  // the panel's process has the simulator loaded
    long live[CoreAudioSim::kLiveKindCount] = {};
    uint64_t hits[CoreAudioSim::kFaultCount] = {};
};

bool PeekCoreAudio(DWORD pid, CoreAudioPeek& peek)
{
    using namespace CoreAudioSim;
    peek = CoreAudioPeek{};
    HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, kMappingName);
    if (mapping == nullptr)
        return false;
    HANDLE mutex = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    const auto* block = static_cast<const SharedBlock*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(SharedBlock)));
    bool ok = false;
    if (block != nullptr && mutex != nullptr) {
        const DWORD wait = ::WaitForSingleObject(mutex, 5000);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            ok = true;
            for (const SharedListener& listener : block->listeners) {
                if (listener.processId != pid)
                    continue;
                peek.listening = true;
                for (uint32_t k = 0; k < kLiveKindCount; ++k)
                    peek.live[k] = listener.live[k];
            }
            for (uint32_t f = 0; f < kFaultCount; ++f)
                peek.hits[f] = block->faults[f].hits;
            ::ReleaseMutex(mutex);
        }
    }
    if (block != nullptr)
        ::UnmapViewOfFile(block);
    if (mutex != nullptr)
        ::CloseHandle(mutex);
    ::CloseHandle(mapping);
    return ok;
}

// The Core Audio state lives while a process holds it; a scenario only applies to a fresh one.
bool CoreAudioStateGone()
{
    for (int i = 0; i < 400; ++i, ::Sleep(25)) {
        HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, CoreAudioSim::kMappingName);
        if (mapping == nullptr)
            return true;
        ::CloseHandle(mapping);
    }
    return false;
}

// Once started, the panel keeps Core Audio objects only for the process's life, and gains at
// most one enumerator per device sink (two), kept from its first name look-up on. So what it
// holds once the case's operations have settled is no more than what it held after start-up
// plus those, and one endpoint volume with its registration for each endpoint the case adds;
// anything beyond was taken on some path and never let go.
int AddedEndpoints(const Case& c)
{
    int added = 0;
    for (const std::string& step : c.mixer)
        added += step.rfind("add ", 0) == 0 || step.rfind("add-as ", 0) == 0 ? 1 : 0;
    return added;
}

std::string LiveGrowth(const CoreAudioPeek& afterStart, const CoreAudioPeek& atEnd, int addedEndpoints)
{
    using namespace CoreAudioSim;
    std::string grown;
    for (uint32_t k = 0; k < kLiveKindCount; ++k) {
        // Dead objects are counted in their kinds as well: an endpoint gone for good leaves
        // what the panel holds of it dead, not more of it.
        if (k == kLiveDeadObjects)
            continue;
        const long allowed = afterStart.live[k] + (k == kLiveEnumerator ? 2 : 0) +
                             (k == kLiveEndpointVolume || k == kLiveVolumeCallbacks ? addedEndpoints : 0);
        if (atEnd.live[k] > allowed)
            grown += std::string(grown.empty() ? "" : ", ") + LiveKindName(static_cast<LiveKind>(k)) + " " +
                     std::to_string(afterStart.live[k]) + " -> " + std::to_string(atEnd.live[k]);
    }
    return grown;
}

std::string FirstDifference(const std::string& actual, const std::string& expected)
{
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    const auto around = [i](const std::string& s) {
        std::string shown;
        for (size_t k = i; k < s.size() && k < i + 24; ++k)
            shown += (s[k] >= 32 && s[k] < 127) ? s[k] : '.';
        return shown;
    };
    return "size " + std::to_string(actual.size()) + " instead of " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(i) + ": \"" + around(actual) + "\" instead of \"" +
           around(expected) + "\"";
}

// CPL.ini after the case: only the link value differs from what the case began with, and
// nothing was left beside it.
void CheckIni(const IniFile& ini, const std::string& path, bool clicked, Outcome& out)
{
    const std::vector<std::string> stray = FolderEntries(path.substr(0, path.find_last_of('\\')));
    if (!stray.empty()) {
        out.iniProblem = "left beside the program: " + stray.front();
        return;
    }
    if (ini.kind == IniFile::Kind::kDirectory) {
        out.iniIntact = IsDirectory(path) && DirectoryIsEmpty(path);
        if (!out.iniIntact)
            out.iniProblem = "the directory named CPL.ini was changed";
        return;
    }
    if (!clicked && ini.kind == IniFile::Kind::kMissing) {
        out.iniIntact = !Exists(path);
        if (!out.iniIntact)
            out.iniProblem = "a CPL.ini appeared without a click";
        return;
    }
    const std::string expected = clicked ? ini.afterClick : ini.before;
    if (!Exists(path) || IsDirectory(path)) {
        out.iniProblem = "no CPL.ini file after the case";
        return;
    }
    const std::string actual = ReadFile(path);
    out.iniIntact = actual == expected;
    if (!out.iniIntact)
        out.iniProblem = FirstDifference(actual, expected);
}

Outcome RunCase(const Case& c, const ProgramFolders& folders)
{
    Outcome out;
    const auto started = std::chrono::steady_clock::now();
    const std::string dir = folders.For(c.machine);
    const std::string iniPath = dir + "\\" + kIniName;
    const std::string conflibScenario = TempPath("kestrun-campaign-conflib.txt");
    const std::string coreaudioScenario = TempPath("kestrun-campaign-coreaudio.txt");
    const std::string conflibLog = TempPath("kestrun-campaign-conflib.log");

    RemovePath(iniPath);
    if (Exists(iniPath)) {
        out.problem = "could not clear " + iniPath;
        return out;
    }
    if (c.ini.kind == IniFile::Kind::kFile)
        WriteBytes(iniPath, c.ini.before);
    else if (c.ini.kind == IniFile::Kind::kDirectory)
        ::CreateDirectoryA(iniPath.c_str(), nullptr);

    auto env = c.env;
    WriteBytes(conflibScenario, c.conflib + "\n");
    ::DeleteFileA(conflibLog.c_str());
    env.push_back({CONFLIB_SIM_SCENARIO_ENV, conflibScenario});
    env.push_back({CONFLIB_SIM_LOG_ENV, conflibLog});
    if (c.coreaudio) {
        CoreAudioSim::SimState parsed;
        std::string error;
        if (!CoreAudioSim::ParseScenario(*c.coreaudio, parsed, &error)) {
            out.problem = "the Core Audio scenario does not parse: " + error;
            return out;
        }
        WriteBytes(coreaudioScenario, *c.coreaudio);
        env.push_back({"KESTRUN_COREAUDIO_SCENARIO", coreaudioScenario});
    }
    if (!CoreAudioStateGone() || !PanelWindows().empty()) {
        out.problem = "another panel or Core Audio client is still running";
        return out;
    }

    std::optional<UsbDeviceUnplugged> unplugged;
    if (c.machine == Machine::kNoUsbDevice) {
        unplugged.emplace();
        if (!unplugged->Ok()) {
            out.problem = "could not unplug the USB device";
            return out;
        }
    }

    bool clicked = false;
    {
        PanelProcess panel(dir + "\\Kestrun.exe", env);
        if (!panel.Started()) {
            out.problem = "Kestrun.exe did not start, error " + std::to_string(panel.StartError());
            return out;
        }
        BoxWatch boxes(panel.Pid());
        Driver drive(panel, boxes);
        if (c.endsAtStart) {
            out.ended = drive.Pump([&] { return panel.Ended(0); }, 30000);
            out.answered = true;
            out.cleanExit = out.ended && panel.ExitCode() == 0;
        } else if (drive.WaitReady()) {
            bool answered = true;
            // What start-up kept: the later of two looks, so that one taken before the watcher
            // published the start-up's objects cannot make the bound too low.
            CoreAudioPeek afterStart, later;
            PeekCoreAudio(panel.Pid(), afterStart);
            for (int id : {IDC_RATE_96K, IDC_DEPTH_24, IDC_OUTPUT_SPDIF}) {
                drive.Click(id);
                answered = drive.Settle(50) && answered;
            }
            drive.DriverEvent();
            answered = drive.Settle(80) && answered;
            PeekCoreAudio(panel.Pid(), later);
            afterStart.listening = afterStart.listening || later.listening;
            for (uint32_t k = 0; k < CoreAudioSim::kLiveKindCount; ++k)
                afterStart.live[k] = std::max(afterStart.live[k], later.live[k]);
            for (const std::string& command : c.mixer) {
                std::string whyNot;
                int code = drive.Mixer(command, whyNot);
                if (code < 0) {
                    // Every step is idempotent; a tool run that Wine lost once under load is
                    // said in the log and run again, and only a second loss fails the case.
                    std::printf("[campaign]   coreaudioctl %s %s; running it again\n", command.c_str(), whyNot.c_str());
                    whyNot.clear();
                    code = drive.Mixer(command, whyNot);
                }
                if (code < 0)
                    out.problem = "coreaudioctl " + command + " " + whyNot;
                else if (code != 0 && command.rfind("inject ", 0) == 0)
                    out.problem = "coreaudioctl " + command + " failed";
                answered = drive.Settle(50) && answered;
            }
            // A drag step and a mute click: the panel's own writes, after the mixer's changes.
            drive.Wheel(IDC_SLIDER_LEFT, -WHEEL_DELTA);
            answered = drive.Settle(50) && answered;
            drive.ClickThrough(IDC_MUTE_INDICATOR);
            answered = drive.Settle(150) && answered;
            out.linkToggled = drive.ClickThrough(IDC_LINK_INDICATOR);
            clicked = true;
            answered = drive.Settle(150) && answered;
            // The last Core Audio call was at least two of the watcher's rounds ago; should a
            // look still catch something in passing, a second one a round later decides.
            CoreAudioPeek atEnd;
            if (afterStart.listening && PeekCoreAudio(panel.Pid(), atEnd) && atEnd.listening) {
                out.liveChecked = true;
                out.liveGrowth = LiveGrowth(afterStart, atEnd, AddedEndpoints(c));
                if (!out.liveGrowth.empty()) {
                    drive.Pump([] { return false; }, 450);
                    PeekCoreAudio(panel.Pid(), atEnd);
                    out.liveGrowth = LiveGrowth(afterStart, atEnd, AddedEndpoints(c));
                }
            } else {
                PeekCoreAudio(panel.Pid(), atEnd);
            }
            if (!c.coreAudioFault.empty()) {
                const CoreAudioSim::SimFault fault = CoreAudioSim::FaultFromName(c.coreAudioFault);
                out.faultHits = fault < CoreAudioSim::kFaultCount ? static_cast<long long>(atEnd.hits[fault]) : -1;
            }
            out.answered = answered && drive.Answers();
            out.ended = panel.Ended(0);
            panel.Exit();
            drive.Pump([&] { return panel.Ended(0); }, 15000);
            out.cleanExit = !out.ended && panel.Ended(0) && panel.ExitCode() == 0;
        } else {
            out.ended = panel.Ended(0);
        }
        out.maxBoxes = boxes.MaxAtOnce();
        out.boxes = boxes.Shown();
        out.boxTexts = boxes.Texts();
    }
    unplugged.reset();

    CheckIni(c.ini, iniPath, clicked, out);
    const std::string calls = ReadFile(conflibLog);
    if (calls.find("scenario-") != std::string::npos)
        out.problem = "the driver library scenario was not read: " + calls.substr(calls.find("scenario-"), 60);
    else if ((c.machine == Machine::kNoLibrary) != (calls.find("ConfLibInit") == std::string::npos))
        out.problem = c.machine == Machine::kNoLibrary ? "the driver library was loaded" : "the driver library was not used";
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return out;
}

const char* YesNo(bool b) { return b ? "yes" : "NO"; }

TEST(FaultCampaign, EveryFaultLeavesAnAnsweringPanelOneBoxAtATimeACleanExitAndTheSettings)
{
    ProgramFolders folders;
    ASSERT_TRUE(folders.Ok());
    const std::string catalogue = ReadFile(BinDir() + "conflib-injections.txt");
    ASSERT_FALSE(catalogue.empty()) << "the driver library simulator's injection catalogue";
    // KESTRUN_CAMPAIGN_ONLY=text runs the cases whose names contain it.
    const char* only = std::getenv("KESTRUN_CAMPAIGN_ONLY");
    const auto started = std::chrono::steady_clock::now();
    int run = 0, failed = 0;
    std::map<std::string, int> perGroup;            // the name's part before ':'
    std::map<std::string, long long> hitsPerFault;  // over the cases that injected it
    for (const Case& c : Cases(catalogue)) {
        if (only != nullptr && *only != '\0' && c.name.find(only) == std::string::npos)
            continue;
        SCOPED_TRACE(c.name);
        ++run;
        ++perGroup[c.name.substr(0, c.name.find(':'))];
        const Outcome out = RunCase(c, folders);
        const bool boxesOk = out.maxBoxes <= 1 && (c.boxes == Boxes::kSome ? out.boxes >= 1 : out.boxes == 0);
        const bool endedOk = c.endsAtStart ? out.ended : !out.ended;
        const bool ok = out.problem.empty() && out.answered && endedOk && boxesOk && out.cleanExit && out.iniIntact &&
                        (c.endsAtStart || out.linkToggled) && out.liveGrowth.empty();
        failed += ok ? 0 : 1;
        if (!c.coreAudioFault.empty())
            hitsPerFault[c.coreAudioFault] += std::max(out.faultHits, 0LL);
        const std::string hits = c.coreAudioFault.empty() ? "" : " hits=" + std::to_string(out.faultHits);
        std::printf("[campaign] %-68s answered=%-3s max-boxes=%d boxes=%d clean-exit=%-3s ini=%-6s objects=%-4s %5.1fs%s%s\n",
                    c.name.c_str(), c.endsAtStart ? "n/a" : YesNo(out.answered), out.maxBoxes, out.boxes,
                    YesNo(out.cleanExit), out.iniIntact ? "intact" : "LOST",
                    !out.liveChecked ? "n/a" : out.liveGrowth.empty() ? "kept" : "GREW", out.seconds, hits.c_str(),
                    ok ? "" : "  FAILED");
        std::fflush(stdout);

        EXPECT_EQ(out.problem, "");
        EXPECT_TRUE(out.answered) << "the panel stopped answering";
        EXPECT_EQ(out.ended, c.endsAtStart) << (c.endsAtStart ? "it did not end by itself" : "it ended by itself (crash?)");
        EXPECT_LE(out.maxBoxes, 1) << "message boxes stacked: " << out.boxTexts;
        if (c.boxes == Boxes::kSome) {
            EXPECT_GE(out.boxes, 1) << "the warning was not shown";
        } else {
            EXPECT_EQ(out.boxes, 0) << out.boxTexts;
        }
        if (!c.endsAtStart) {
            EXPECT_TRUE(out.linkToggled) << "the click did not reach the link indicator";
        }
        EXPECT_TRUE(out.cleanExit) << "no exit code 0 after the tray menu's Exit";
        EXPECT_TRUE(out.iniIntact) << out.iniProblem;
        EXPECT_EQ(out.liveGrowth, "") << "Core Audio objects taken and never let go";
    }
    std::string neverStruck;
    for (const auto& [fault, hits] : hitsPerFault)
        if (hits == 0)
            neverStruck += (neverStruck.empty() ? "" : ", ") + fault;
    if (!hitsPerFault.empty())
        std::printf("[campaign] Core Audio calls the panel never made: %s\n", neverStruck.empty() ? "none" : neverStruck.c_str());
    // With every case run, each injected call must have struck the panel somewhere, or the
    // campaign does not reach it; but the panel asks for the multimedia default only, so a
    // hit on another role is a role slip.
    if (only == nullptr || *only == '\0') {
        const std::set<std::string> otherRoles = {"GetDefaultAudioEndpoint.console", "GetDefaultAudioEndpoint.communications"};
        for (const auto& [fault, hits] : hitsPerFault)
            EXPECT_EQ(hits == 0, otherRoles.count(fault) > 0) << fault << ": " << hits << " hits";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string groups;
    for (const auto& [group, count] : perGroup)
        groups += (groups.empty() ? "" : ", ") + group + " " + std::to_string(count);
    std::printf("[campaign] %d cases (%s), %d passed, %d failed, run time %.0f s\n", run, groups.c_str(), run - failed,
                failed, seconds);
    EXPECT_GT(run, 0);
}

}  // namespace
