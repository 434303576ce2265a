// The fault campaign: the real Kestrun.exe, once per row of FaultCases.cpp, with a failure
// injected through a simulator, the machine or CPL.ini. Every row is driven the same way
// (start, a driver event, format clicks, the mixer, a mute click, a wheel step on a slider,
// one click on the link indicator, the tray menu's Exit), each step checked for its effect,
// and must leave an answering panel, at most one message box at a time, a clean exit, a
// settings file that lost no byte but the link value, no more Core Audio objects than
// start-up kept, and proof that its injection struck. One gtest case per group of rows, each
// its own CTest target.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <sstream>
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
// is left open for a moment, so that a box stacked on it shows, and then answered with OK. A
// box that needs a second answer is a rescue: counted, and the case fails.
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
                open_.push_back({hWnd, now, 0, BoxText(hWnd)});
                ++shown_;
                texts_.push_back(open_.back().text);
            }
        }
        maxAtOnce_ = std::max(maxAtOnce_, static_cast<int>(open_.size()));
        if (open_.empty())
            return;
        // The newest box first: it runs the innermost modal loop.
        OpenBox& newest = open_.back();
        if (now - newest.seen >= kLingerMs && (newest.okSent == 0 || now - newest.okSent >= 1000)) {
            if (newest.okSent != 0)
                testsupport::TheTally().Rescue("message box answered again: \"" + newest.text + "\"");
            ::PostMessageA(newest.hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(newest.hWnd, IDOK)));
            newest.okSent = now;
        }
    }

    bool AnyOpen() const { return !open_.empty(); }
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
        std::string text;
    };

    DWORD pid_;
    std::vector<OpenBox> open_;  // in the order they appeared
    std::vector<std::string> texts_;
    int shown_ = 0;
    int maxAtOnce_ = 0;
};

// What the Core Audio simulator's shared state tells about the panel: its live objects as its
// watcher last published them, how far its watcher has delivered the change log, and the fault
// table's calls and hits. Read straight from the named mapping and let go at once, because the
// state lives while any process holds it and each case needs a fresh one (the control library
// would hold it for good).
struct CoreAudioPeek {
    bool listening = false;  // the panel's process has the simulator loaded
    uint32_t published = 0;  // the watcher's publishing rounds so far
    uint64_t delivered = 0;  // changes before this sequence have reached the panel's callbacks
    uint64_t head = 0;       // the sequence of the next change
    long live[CoreAudioSim::kLiveKindCount] = {};
    uint64_t calls[CoreAudioSim::kFaultCount] = {};
    uint64_t hits[CoreAudioSim::kFaultCount] = {};

    uint64_t Calls(CoreAudioSim::SimFault fault) const { return calls[fault]; }
    uint64_t AllCalls() const
    {
        uint64_t all = 0;
        for (uint64_t n : calls)
            all += n;
        return all;
    }
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
            peek.head = block->nextSequence;
            for (const SharedListener& listener : block->listeners) {
                if (listener.processId != pid)
                    continue;
                peek.listening = true;
                peek.published = listener.published;
                peek.delivered = listener.delivered;
                for (uint32_t k = 0; k < kLiveKindCount; ++k)
                    peek.live[k] = listener.live[k];
            }
            for (uint32_t f = 0; f < kFaultCount; ++f) {
                peek.calls[f] = block->faults[f].calls;
                peek.hits[f] = block->faults[f].hits;
            }
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

// The driver library simulator's log file: the panel's requests and the library's callbacks.
class DriverLog {
public:
    explicit DriverLog(std::string path) : path_(std::move(path)) {}
    std::string Text() const { return ReadFile(path_); }
    size_t Size() const { return Text().size(); }
    // Every line after `from` that begins with one of the given texts.
    bool HasAfter(size_t from, std::initializer_list<const char*> lines) const
    {
        const std::string text = Text();
        for (const char* line : lines)
            if (from > text.size() || text.find(std::string("\n") + line, from == 0 ? 0 : from - 1) == std::string::npos)
                return false;
        return true;
    }
    // The panel started the library and registered its callback: it asks the driver from now on.
    bool Bound() const { return Text().find("\nRegisterCallbackFunction\n") != std::string::npos; }

private:
    std::string path_;
};

// Drives one running panel while watching its boxes. Each step waits for what it sets off
// (a barrier), never for a fixed time.
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
            ::Sleep(10);
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

    // The first look at the simulator's state that the panel's watcher published after `since`
    // (so it holds everything the panel had done by then).
    bool FreshPeek(const CoreAudioPeek& since, CoreAudioPeek& peek)
    {
        return Pump([&] { return PeekCoreAudio(panel_.Pid(), peek) && peek.listening && peek.published > since.published; },
                    5000);
    }

    // A look published while the panel was quiet: no Core Audio call from before the look
    // until well after it. Each of the panel's cycles lets go of its objects within
    // milliseconds of its last call, so none is half way through: what the look counts, the
    // panel keeps. (A look at a write's wake-up would count the writing cycle's objects.)
    bool QuietPeek(CoreAudioPeek& peek)
    {
        constexpr DWORD kQuietMs = 200;
        CoreAudioPeek from, now;
        DWORD fromTick = ::GetTickCount();
        if (!PeekCoreAudio(panel_.Pid(), from))
            return false;
        return Pump([&] {
            if (!PeekCoreAudio(panel_.Pid(), now) || !now.listening)
                return false;
            if (now.AllCalls() != from.AllCalls()) {
                from = now;
                fromTick = ::GetTickCount();
                return false;
            }
            // The watcher's next publishing round after `from` came after `from` was read.
            if (now.published < from.published + 2 || ::GetTickCount() - fromTick < kQuietMs)
                return false;
            peek = now;
            return true;
        }, 10000);
    }

    // Every change made so far has reached the panel's callbacks, so what they post is queued
    // ahead of anything the test posts next.
    bool Delivered()
    {
        CoreAudioPeek now;
        if (!PeekCoreAudio(panel_.Pid(), now) || !now.listening)
            return true;  // no watcher: nothing can reach the panel
        const uint64_t head = now.head;
        return Pump([&] { return PeekCoreAudio(panel_.Pid(), now) && now.delivered >= head; }, 10000);
    }

    // Waits until the panel has made more calls of this kind than `since` saw. A wheel's steps
    // reach the panel as the slider's own posted messages, which queue behind a click posted
    // before the panel took the wheel: that the click was handled does not cover them.
    bool AwaitCalls(const CoreAudioPeek& since, CoreAudioSim::SimFault fault)
    {
        CoreAudioPeek now;
        return Pump([&] { return PeekCoreAudio(panel_.Pid(), now) && now.Calls(fault) > since.Calls(fault); }, 10000);
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
    // release that waits behind it. True when the control's image changed. Everything posted
    // before the click has been handled by then.
    bool ClickThrough(int id)
    {
        FaceClick click(Panel(), id);
        return Pump([&] { return click.Done(); }, 30000);
    }

    // The simulator's on-demand driver event; there is none without the library.
    void DriverEvent()
    {
        if (HANDLE event = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, CONFLIB_SIM_EVENT_NAME)) {
            ::SetEvent(event);
            ::CloseHandle(event);
        }
    }

    // coreaudioctl as another program or the user in the Windows mixer: the case's commands in
    // one run. "" when every command succeeded, else what went wrong. A run that hangs is
    // killed and not run again.
    std::string Mixer(const std::vector<std::string>& commands)
    {
        std::string script;
        for (const std::string& command : commands)
            script += command + "\n";
        const std::string exe = BinDir() + "coreaudioctl.exe";
        const testsupport::RunResult run =
            testsupport::Run({.exe = exe, .commandLine = "\"" + exe + "\" script -", .flags = CREATE_NO_WINDOW}, 20000, true,
                             &script, [&] { boxes_.Poll(); });
        if (!run.started)
            return "did not start, error " + std::to_string(run.startError);
        if (!run.finished)
            return "hung and was killed";
        if (run.exitCode >= 0xC0000000u) {
            char text[48];
            std::snprintf(text, sizeof(text), "crashed with 0x%08lX", static_cast<unsigned long>(run.exitCode));
            return text;
        }
        if (run.exitCode != 0)
            return "failed (exit code " + std::to_string(run.exitCode) + "): " + run.output;
        return "";
    }

private:
    PanelProcess& panel_;
    BoxWatch& boxes_;
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
    std::string problem;             // the case could not be run as described
    std::vector<std::string> steps;  // steps whose effect did not show
    bool liveChecked = false;
    std::string liveGrowth;    // the live objects that outgrew what start-up kept
    long long faultHits = -1;  // for a case that injects a Core Audio fault
    std::string unstruck;      // driver library injections that never met the panel
    int rescues = 0;
    CoreAudioPeek atMixer, atEnd;  // the simulator's counters before the mixer and at the end
    double seconds = 0;
};

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

// The format clicks and what each must ask the driver; the output click also reads the
// format anew (a rate or depth is read again only when the driver announces it).
struct FormatClick {
    int id;
    const char* request;
    bool rereads;
};
const FormatClick kFormatClicks[] = {
    {IDC_RATE_96K, "PropertyControl set DevSampleRateControl", false},
    {IDC_DEPTH_24, "PropertyControl set DevBitDepthControl", false},
    {IDC_OUTPUT_SPDIF, "PropertyControl get GetSupportFeature", true},
};
const char kFormatRead[] = "PropertyControl get DevSampleRateControl";

// The on-demand driver event the campaign sends, unless the row names its own: a format change
// in the code no set announces (sets announce 1 128), so its callback line is its own.
const char kDemandEvent[] = "1 256";

std::string DemandEventOf(const std::string& scenario)
{
    std::string event = kDemandEvent;
    std::istringstream in(scenario);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("demand-event ", 0) == 0)
            event = line.substr(13);
    return event;
}

// The injection lines of a driver library scenario, each as the simulator names it when it
// strikes: the entry's words up to its value.
std::vector<std::string> DriverInjections(const std::string& scenario)
{
    static const std::map<std::string, size_t> kKeyWords = {
        {"fail", 4}, {"reply", 2}, {"support-reply", 2}, {"count", 2}, {"event-during", 2}, {"uninit-event", 1}};
    std::vector<std::string> keys;
    std::istringstream in(scenario);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word, key;
        words >> word;
        const auto found = kKeyWords.find(word);
        if (found == kKeyWords.end())
            continue;
        key = word;
        for (size_t n = 1; n < found->second && words >> word; ++n)
            key += " " + word;
        keys.push_back(key);
    }
    return keys;
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
    WriteBytes(conflibScenario, std::string("demand-event ") + kDemandEvent + "\n" + c.conflib + "\n");
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

    const int rescuesBefore = testsupport::TheTally().Rescues();
    const DriverLog driverLog(conflibLog);
    bool clicked = false;
    {
        PanelProcess panel(dir + "\\Kestrun.exe", env);
        if (!panel.Started()) {
            out.problem = "Kestrun.exe did not start, error " + std::to_string(panel.StartError());
            return out;
        }
        BoxWatch boxes(panel.Pid());
        Driver drive(panel, boxes);
        const auto expect = [&](bool effect, const std::string& missing) {
            if (!effect)
                out.steps.push_back(missing);
        };
        if (c.endsAtStart) {
            out.ended = drive.Pump([&] { return panel.Ended(0); }, 30000);
            out.answered = true;
            out.cleanExit = out.ended && panel.ExitCode() == 0;
        } else if (drive.WaitReady()) {
            using CoreAudioSim::kFaultSetChannelVolumeLevelScalar;
            using CoreAudioSim::kFaultSetMute;
            // The leak baseline, before any step: the first look the watcher published after
            // start-up. One that catches an object in passing only makes the check milder.
            CoreAudioPeek ready, afterStart;
            if (PeekCoreAudio(panel.Pid(), ready) && ready.listening)
                expect(drive.FreshPeek(ready, afterStart), "start-up: the panel's Core Audio watcher published nothing");

            // The driver event first, while nothing else of the driver's is under way: its
            // callback line, and the format read after it unless the row's event is no format change.
            const bool bound = driverLog.Bound();
            if (bound) {
                const size_t from = driverLog.Size();
                const std::string callback = "callback " + DemandEventOf(c.conflib);
                drive.DriverEvent();
                const auto reread = [&] {
                    const std::string text = driverLog.Text();
                    const size_t at = text.find("\n" + callback + "\n", from == 0 ? 0 : from - 1);
                    return at != std::string::npos && (!c.eventRereads || text.find(kFormatRead, at) != std::string::npos);
                };
                expect(drive.Pump(reread, 5000), "driver event: no " + callback + (c.eventRereads ? " and format read" : ""));
            }
            for (const FormatClick& click : kFormatClicks) {
                const size_t from = driverLog.Size();
                drive.Click(click.id);
                if (bound && (c.spdifRecord || click.id != IDC_OUTPUT_SPDIF)) {
                    const auto asked = [&] {
                        return driverLog.HasAfter(from, {click.request}) &&
                               (!click.rereads || driverLog.HasAfter(from, {kFormatRead}));
                    };
                    expect(drive.Pump(asked, 5000),
                           std::string("format click: no ") + click.request + (click.rereads ? " and format read" : ""));
                }
            }
            PeekCoreAudio(panel.Pid(), out.atMixer);
            if (!c.mixer.empty()) {
                const std::string failed = drive.Mixer(c.mixer);
                if (!failed.empty())
                    out.problem = "coreaudioctl " + failed;
                expect(drive.Delivered(), "mixer: its changes did not reach the panel's callbacks");
            }
            // The panel's own writes, after the mixer's changes. Each click below returns once
            // the panel has handled it, and so everything posted before it.
            CoreAudioPeek beforeMute, beforeWheel;
            PeekCoreAudio(panel.Pid(), beforeMute);
            expect(drive.ClickThrough(IDC_MUTE_INDICATOR), "mute click: the indicator did not flip");
            PeekCoreAudio(panel.Pid(), beforeWheel);
            // Up and down: whichever end the slider is at, one of them moves it.
            drive.Wheel(IDC_SLIDER_LEFT, WHEEL_DELTA);
            drive.Wheel(IDC_SLIDER_LEFT, -WHEEL_DELTA);
            if (c.audioWrites)
                drive.AwaitCalls(beforeWheel, kFaultSetChannelVolumeLevelScalar);
            out.linkToggled = drive.ClickThrough(IDC_LINK_INDICATOR);
            clicked = true;
            CoreAudioPeek afterLink;
            PeekCoreAudio(panel.Pid(), afterLink);
            // The wheel's step reaches the panel as a message the panel posts itself while the
            // click already waits in its queue: the write may follow the click.
            if (c.audioWrites)
                drive.Pump([&] {
                    return PeekCoreAudio(panel.Pid(), afterLink) &&
                           afterLink.Calls(kFaultSetChannelVolumeLevelScalar) > beforeWheel.Calls(kFaultSetChannelVolumeLevelScalar);
                }, 5000);
            const bool muteWritten = afterLink.Calls(kFaultSetMute) > beforeMute.Calls(kFaultSetMute);
            const bool levelWritten =
                afterLink.Calls(kFaultSetChannelVolumeLevelScalar) > beforeWheel.Calls(kFaultSetChannelVolumeLevelScalar);
            expect(muteWritten == c.audioWrites, c.audioWrites ? "mute click: no mute write" : "mute click: a mute write");
            expect(levelWritten == c.audioWrites, c.audioWrites ? "wheel: no level write" : "wheel: a level write");

            // What the panel holds once its steps are done and it has gone quiet. A look taken
            // while it still works (a write's wake-up publishes at once) counts objects in passing.
            if (afterStart.listening && drive.QuietPeek(out.atEnd)) {
                out.liveChecked = true;
                out.liveGrowth = LiveGrowth(afterStart, out.atEnd, AddedEndpoints(c));
                // A look may catch an object in passing on a Core Audio thread: the next decides.
                CoreAudioPeek again;
                if (!out.liveGrowth.empty() && drive.FreshPeek(out.atEnd, again))
                    out.liveGrowth = LiveGrowth(afterStart, again, AddedEndpoints(c));
            } else {
                PeekCoreAudio(panel.Pid(), out.atEnd);
            }
            if (!c.coreAudioFault.empty()) {
                const CoreAudioSim::SimFault fault = CoreAudioSim::FaultFromName(c.coreAudioFault);
                out.faultHits = fault < CoreAudioSim::kFaultCount ? static_cast<long long>(out.atEnd.hits[fault]) : -1;
            }
            out.answered = drive.Answers();
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
    out.rescues = testsupport::TheTally().Rescues() - rescuesBefore;

    CheckIni(c.ini, iniPath, clicked, out);
    const std::string calls = driverLog.Text();
    if (calls.find("scenario-") != std::string::npos)
        out.problem = "the driver library scenario was not read: " + calls.substr(calls.find("scenario-"), 60);
    else if ((c.machine == Machine::kNoLibrary) != (calls.find("ConfLibInit") == std::string::npos))
        out.problem = c.machine == Machine::kNoLibrary ? "the driver library was loaded" : "the driver library was not used";
    if (c.machine != Machine::kNoLibrary) {
        for (const std::string& injection : DriverInjections(c.conflib))
            if (calls.find("\ninjected " + injection + "\n") == std::string::npos)
                out.unstruck += (out.unstruck.empty() ? "" : ", ") + injection;
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return out;
}

const char* YesNo(bool b) { return b ? "yes" : "NO"; }

// The panel asks for the multimedia default only: a call for another role is a role slip.
bool IsOtherRole(const std::string& fault)
{
    return fault == "GetDefaultAudioEndpoint.console" || fault == "GetDefaultAudioEndpoint.communications";
}

// Runs the cases and reports each in a line and in gtest's failures.
class CampaignRun {
public:
    CampaignRun() : catalogue_(ReadFile(BinDir() + "conflib-injections.txt")) {}

    bool Ready()
    {
        EXPECT_TRUE(folders_.Ok());
        EXPECT_FALSE(catalogue_.empty()) << "the driver library simulator's injection catalogue";
        return folders_.Ok() && !catalogue_.empty();
    }
    const std::string& Catalogue() const { return catalogue_; }

    Outcome Run(const Case& c)
    {
        SCOPED_TRACE(c.name);
        ++run_;
        const Outcome out = RunCase(c, folders_);
        const bool boxesOk = out.maxBoxes <= 1 && (c.boxes == Boxes::kSome ? out.boxes >= 1 : out.boxes == 0);
        const bool endedOk = c.endsAtStart ? out.ended : !out.ended;
        const bool struck = c.coreAudioFault.empty() || (out.faultHits > 0) != IsOtherRole(c.coreAudioFault);
        const bool ok = out.problem.empty() && out.answered && endedOk && boxesOk && out.cleanExit && out.iniIntact &&
                        (c.endsAtStart || out.linkToggled) && out.liveGrowth.empty() && out.steps.empty() &&
                        out.rescues == 0 && struck && out.unstruck.empty();
        failed_ += ok ? 0 : 1;
        const std::string hits = c.coreAudioFault.empty() ? "" : " hits=" + std::to_string(out.faultHits);
        std::printf("[campaign] %-68s answered=%-3s max-boxes=%d boxes=%d clean-exit=%-3s ini=%-6s objects=%-4s "
                    "rescues=%d %5.1fs%s%s\n",
                    c.name.c_str(), c.endsAtStart ? "n/a" : YesNo(out.answered), out.maxBoxes, out.boxes,
                    YesNo(out.cleanExit), out.iniIntact ? "intact" : "LOST",
                    !out.liveChecked ? "n/a" : out.liveGrowth.empty() ? "kept" : "GREW", out.rescues, out.seconds,
                    hits.c_str(), ok ? "" : "  FAILED");
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
        for (const std::string& step : out.steps)
            ADD_FAILURE() << step;
        EXPECT_EQ(out.rescues, 0) << "a stuck panel had to be rescued";
        EXPECT_TRUE(struck) << c.coreAudioFault << ": " << out.faultHits << " hits";
        EXPECT_EQ(out.unstruck, "") << "driver library injections that never struck";
        return out;
    }

    // The cases of one group (the name's part before ':'); KESTRUN_CAMPAIGN_ONLY=text runs
    // only those whose names contain it.
    void RunGroup(const std::string& group, const std::set<std::string>& runningCalls = {})
    {
        const char* only = std::getenv("KESTRUN_CAMPAIGN_ONLY");
        const bool all = only == nullptr || *only == '\0';
        for (const Case& c : Cases(catalogue_, runningCalls))
            if (c.name.substr(0, c.name.find(':')) == group && (all || c.name.find(only) != std::string::npos))
                Run(c);
        if (all) {
            EXPECT_GT(run_, 0);
        }
    }

    ~CampaignRun()
    {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        std::printf("[campaign] %d cases, %d passed, %d failed, run time %.0f s, retries=%d rescues=%d\n", run_,
                    run_ - failed_, failed_, seconds, testsupport::TheTally().Retries(),
                    testsupport::TheTally().Rescues());
        std::fflush(stdout);
    }

private:
    ProgramFolders folders_;
    std::string catalogue_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    int run_ = 0;
    int failed_ = 0;
};

// A clean panel driven through every step: the Core Audio calls it makes, and those it makes
// from the mixer on (the ones a fault injected while it runs can meet).
struct CallSurvey {
    bool ok = false;
    std::set<std::string> made, whileRunning;
};

CallSurvey SurveyCalls(CampaignRun& run)
{
    CallSurvey survey;
    const Outcome out = run.Run({.name = "survey: a clean panel through every step"});
    survey.ok = !::testing::Test::HasFailure();
    for (uint32_t f = 0; f < CoreAudioSim::kFaultCount; ++f) {
        const std::string name = CoreAudioSim::FaultName(static_cast<CoreAudioSim::SimFault>(f));
        if (out.atEnd.calls[f] > 0)
            survey.made.insert(name);
        if (out.atEnd.calls[f] > out.atMixer.calls[f])
            survey.whileRunning.insert(name);
    }
    std::string listed;
    for (const std::string& name : survey.whileRunning)
        listed += (listed.empty() ? "" : ", ") + name;
    std::printf("[campaign] Core Audio calls of the running panel: %s\n", listed.c_str());
    return survey;
}

void RunGroup(const std::string& group)
{
    CampaignRun run;
    if (run.Ready())
        run.RunGroup(group);
}

TEST(FaultCampaign, Ini) { RunGroup("ini"); }
TEST(FaultCampaign, Machine) { RunGroup("machine"); }
TEST(FaultCampaign, Driver) { RunGroup("driver"); }
TEST(FaultCampaign, DriverCatalogue) { RunGroup("driver catalogue"); }
TEST(FaultCampaign, Audio) { RunGroup("audio"); }
TEST(FaultCampaign, AudioFaultsFromStartUp) { RunGroup("audio fault from start-up"); }

// Rows only for the calls the running panel makes: a fault injected into any other call
// could never strike.
TEST(FaultCampaign, AudioFaultsWhileRunning)
{
    CampaignRun run;
    if (!run.Ready())
        return;
    const CallSurvey survey = SurveyCalls(run);
    ASSERT_TRUE(survey.ok) << "the clean panel the rows are taken from failed";
    ASSERT_FALSE(survey.whileRunning.empty());
    run.RunGroup("audio fault while running", survey.whileRunning);
}

// The whole campaign's reach: every call the simulator can fail is one the panel makes, so
// each row of the start-up group meets the panel; and no default is asked for another role.
TEST(FaultCampaign, EveryCallIsMadeAndNoOtherRole)
{
    CampaignRun run;
    if (!run.Ready())
        return;
    const CallSurvey survey = SurveyCalls(run);
    ASSERT_TRUE(survey.ok);
    for (uint32_t f = 0; f < CoreAudioSim::kFaultCount; ++f) {
        const std::string name = CoreAudioSim::FaultName(static_cast<CoreAudioSim::SimFault>(f));
        EXPECT_EQ(survey.made.count(name) > 0, !IsOtherRole(name)) << name;
    }
}

}  // namespace
