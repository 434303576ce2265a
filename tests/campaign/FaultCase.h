// One row of the fault campaign: what is injected into the real Kestrun.exe and what must
// hold afterwards. The rows are in FaultCases.cpp.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace campaign {

// CPL.ini as the panel finds it, and as it must be after one click on the link indicator.
struct IniFile {
    enum class Kind { kFile, kMissing, kDirectory };
    Kind kind = Kind::kFile;
    std::string before;
    std::string afterClick;  // kFile and kMissing; a directory must stay as it was
};

// The usual file: the link on, so that the click writes "0".
IniFile StandardIni();

// What surrounds the program besides the simulators' scenarios.
enum class Machine {
    kAsInstalled,   // the driver library beside the program, the USB device present
    kNoLibrary,     // a copy of the program in a folder without osConfLibFlie
    kNoUsbDevice,   // the maker's USB device is not plugged in
};

enum class Boxes {
    kNone,  // no message box may appear
    kSome,  // the feature warning must appear (one box at a time)
};

// coreaudioctl command lines run while the panel is up: another program changes the
// volume, then the user picks the Speakers as the default playback device.
std::vector<std::string> DefaultMixer();

struct Case {
    std::string name;
    std::string conflib;                   // driver library scenario lines; empty: its default device
    std::optional<std::string> coreaudio;  // Core Audio scenario; none: the simulator's built-in demo
    Machine machine = Machine::kAsInstalled;
    std::vector<std::pair<std::string, std::string>> env = {};  // more environment for the panel
    IniFile ini = StandardIni();
    Boxes boxes = Boxes::kNone;
    bool endsAtStart = false;  // the described behaviour is to end right after initialisation
    bool eventRereads = true;  // the on-demand driver event is a format change: the format is read anew
    bool audioWrites = true;   // the mute click and the wheel reach Core Audio's setters
    bool spdifRecord = true;   // a driver record qualifies for S/PDIF: its click asks for the feature list
    std::vector<std::string> mixer = DefaultMixer();
    std::string coreAudioFault = {};  // the injected Core Audio call whose hits the case reports
};

// The hand-written rows, then one per case of the driver library simulator's injection
// catalogue (its text given), then every Core Audio injection in both forms met from start-up,
// and in both forms met only by the running panel for the calls it makes (runningCalls, from
// the simulator's call counters). A row's group is its name's part before ':'.
std::vector<Case> Cases(const std::string& conflibCatalogue, const std::set<std::string>& runningCalls);

}  // namespace campaign
