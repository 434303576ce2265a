// The campaign's rows. The simulators' injections come from their own tables (the driver
// library's catalogue, the Core Audio fault names), so a new one is a new row by itself; the
// rows written here are the settings file, the machine and scenarios beyond single faults.
// Scenario formats: sim/conflib/README.md, sim/coreaudio/README.md.
#include "tests/campaign/FaultCase.h"

#include <set>
#include <sstream>

#include "sim/coreaudio/SimControl.h"
#include "tests/support/Garbage.h"

namespace campaign {

namespace {

const char kIniLinked[] = "[CPL]\r\nlrchannel_linked=1\r\ncplversion=1.0.0.0\r\n";
const char kIniUnlinked[] = "[CPL]\r\nlrchannel_linked=0\r\ncplversion=1.0.0.0\r\n";

IniFile Ini(std::string before, std::string afterClick)
{
    return {IniFile::Kind::kFile, std::move(before), std::move(afterClick)};
}

// Notepad's "Unicode": UTF-16LE behind a byte-order mark (ASCII text only).
std::string Utf16Le(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A settings file of several MiB whose key stands near its end.
IniFile HugeIni()
{
    std::string filler;
    const std::string line = "; ................................................................\r\n";
    while (filler.size() < (5u << 20))
        filler += line;
    const std::string head = "[CPL]\r\ncplversion=1.0.0.0\r\n" + filler;
    return Ini(head + "lrchannel_linked=1\r\n; end\r\n", head + "lrchannel_linked=0\r\n; end\r\n");
}

const char kSpdifId[] = "{0.0.0.00000000}.{5f3a0101-0000-4c55-8001-000000000001}";
const char kSpeakersId[] = "{0.0.0.00000000}.{5f3a0101-0000-4c55-8001-000000000002}";

// The device's two outputs as the demo has them, with extra lines for each and at the end.
std::string Lumirel(const std::string& spdifLines, const std::string& speakersLines = "", const std::string& tail = "")
{
    return std::string("endpoint ") + kSpdifId + " render active 2 SPDIF Interface (Lumirel USB Audio Device)\n" +
           "level all 0.8\nsubunit volume\nsubunit mute\n" + spdifLines + "endpoint " + kSpeakersId +
           " render active 2 Speakers (Lumirel USB Audio Device)\nlevel all 0.8\nsubunit volume\nsubunit mute\n" +
           speakersLines + tail;
}

// One Core Audio failure on both outputs, whichever the panel is using.
std::string BothFail(const std::string& what)
{
    const std::string line = "fail " + what + "\n";
    return Lumirel(line, line);
}

// The catalogue's cases, in its order: [name] then the scenario lines.
std::vector<std::pair<std::string, std::string>> CatalogueCases(const std::string& catalogue)
{
    std::vector<std::pair<std::string, std::string>> cases;
    std::istringstream in(catalogue);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            cases.emplace_back(line.substr(1, line.size() - 2), "");
        else if (!cases.empty())
            cases.back().second += line + "\n";
    }
    return cases;
}

// Catalogue cases whose feature list is too short, so that an output switch warns. Any other
// case that shows a box fails until it is named here (or the box is mended).
const std::set<std::string> kWarningCatalogueCases = {
    "short-features", "empty-features", "unterminated-features", "delimiters-only-features"};

// Catalogue cases in which no record qualifies for S/PDIF.
const std::set<std::string> kNoSpdifRecordCatalogueCases = {"no-output-record", "device-record-fails"};

void AddCatalogueCases(const std::string& catalogue, std::vector<Case>& cases)
{
    for (const auto& [name, scenario] : CatalogueCases(catalogue)) {
        cases.push_back({.name = "driver catalogue: " + name, .conflib = scenario,
                         .boxes = kWarningCatalogueCases.count(name) > 0 ? Boxes::kSome : Boxes::kNone,
                         .spdifRecord = kNoSpdifRecordCatalogueCases.count(name) == 0});
    }
}

// The calls without which the panel has no endpoint volume to write the mute and levels to.
const std::set<std::string> kVolumeWriteCalls = {"CreateEnumerator", "GetDefaultAudioEndpoint.multimedia",
                                                 "Activate.IAudioEndpointVolume"};

// Every Core Audio call the simulator can fail, in both forms. From start-up: the scenario
// injects it for every call, so the panel meets it while starting and again at each drag,
// refresh and output switch. While running, for the calls the running panel makes: the panel
// starts clean (every sink registered) and the mixer injects it first, so only the calls of
// the running panel meet it.
void AddCoreAudioFaultCases(const std::set<std::string>& runningCalls, std::vector<Case>& cases)
{
    for (uint32_t f = 0; f < CoreAudioSim::kFaultCount; ++f) {
        const std::string fault = CoreAudioSim::FaultName(static_cast<CoreAudioSim::SimFault>(f));
        for (const char* mode : {"fail", "null"}) {
            const std::string inject = "inject " + fault + " " + mode;
            const bool writes = kVolumeWriteCalls.count(fault) == 0;
            cases.push_back({.name = "audio fault from start-up: " + fault + " " + mode,
                             .coreaudio = Lumirel("", "", inject + "\n"), .audioWrites = writes, .coreAudioFault = fault});
            if (runningCalls.count(fault) == 0)
                continue;
            std::vector<std::string> mixer = {inject};
            for (const std::string& step : DefaultMixer())
                mixer.push_back(step);
            cases.push_back({.name = "audio fault while running: " + fault + " " + mode, .audioWrites = writes,
                             .mixer = mixer, .coreAudioFault = fault});
        }
    }
}

}  // namespace

IniFile StandardIni() { return Ini(kIniLinked, kIniUnlinked); }

std::vector<std::string> DefaultMixer() { return {"set-level 0 master 0.3", "set-default 1", "set-default 0"}; }

std::vector<Case> Cases(const std::string& conflibCatalogue, const std::set<std::string>& runningCalls)
{
    const std::string garbage = paneltest::Garbage(4096, 4242);
    const std::string utf16Linked = Utf16Le(kIniLinked);
    const std::string utf16Unlinked = Utf16Le(kIniUnlinked);
    std::vector<Case> cases = {
        // ---- CPL.ini ------------------------------------------------------------------
        {.name = "ini: binary garbage", .ini = Ini(garbage, garbage + "\r\n[CPL]\r\nlrchannel_linked=0\r\n")},
        {.name = "ini: UTF-16LE with BOM", .ini = Ini(utf16Linked, utf16Unlinked)},
        {.name = "ini: 5 MiB, key near the end", .ini = HugeIni()},
        {.name = "ini: missing", .ini = {IniFile::Kind::kMissing, "", "[CPL]\r\nlrchannel_linked=0\r\n"}},
        {.name = "ini: a directory", .ini = {IniFile::Kind::kDirectory, "", ""}},
        {.name = "ini: no final newline",
         .ini = Ini("[CPL]\r\ncplversion=1.0.0.0\r\nlrchannel_linked=1", "[CPL]\r\ncplversion=1.0.0.0\r\nlrchannel_linked=0")},
        // The value is everything after '=' on its line; the blanks before it stay.
        {.name = "ini: odd case and blanks",
         .ini = Ini("; by hand\r\n[ cPl ]\r\n  LRChannel_LINKED\t =  1  \r\nCplVersion = 1.0.0.0\r\n",
                    "; by hand\r\n[ cPl ]\r\n  LRChannel_LINKED\t =0\r\nCplVersion = 1.0.0.0\r\n")},

        // ---- Machine ------------------------------------------------------------------
        {.name = "machine: USB device absent", .machine = Machine::kNoUsbDevice, .endsAtStart = true},
        {.name = "machine: driver library missing", .machine = Machine::kNoLibrary},

        // ---- Driver library -----------------------------------------------------------
        {.name = "driver: no device", .conflib = "no-device"},
        {.name = "driver: get rate fails", .conflib = "fail get DevSampleRateControl"},
        {.name = "driver: set rate fails", .conflib = "fail set DevSampleRateControl"},
        {.name = "driver: get depth fails", .conflib = "fail get DevBitDepthControl"},
        {.name = "driver: set depth fails", .conflib = "fail set DevBitDepthControl"},
        {.name = "driver: get and set channels fail",
         .conflib = "fail get DevChannelNumControl\nfail set DevChannelNumControl"},
        {.name = "driver: get and set LFE copy fail",
         .conflib = "fail get Enable_Channel_COPY_LFX\nfail set Enable_Channel_COPY_LFX"},
        {.name = "driver: get and set device-specific fail",
         .conflib = "fail get DeviceSpecificControl\nfail set DeviceSpecificControl"},
        {.name = "driver: format support query fails", .conflib = "fail get IsSupportFormat"},
        {.name = "driver: feature query fails", .conflib = "fail get GetSupportFeature"},
        {.name = "driver: every request fails",
         .conflib = "fail get DevSampleRateControl\nfail get DevBitDepthControl\nfail get DevChannelNumControl\n"
                    "fail get Enable_Channel_COPY_LFX\nfail get DeviceSpecificControl\nfail get IsSupportFormat\n"
                    "fail get GetSupportFeature\nfail set DevSampleRateControl\nfail set DevBitDepthControl\n"
                    "fail set DevChannelNumControl\nfail set Enable_Channel_COPY_LFX\nfail set DeviceSpecificControl"},
        {.name = "driver: 24 bits rejected", .conflib = "reject-depth 24"},
        {.name = "driver: only 32 bits accepted", .conflib = "accept-depth 32"},
        {.name = "driver: 96 and 192 kHz unsupported", .conflib = "unsupported-rate 96000 192000"},
        {.name = "driver: no rate at two channels", .conflib = "supported 2"},
        {.name = "driver: eight channels, no rate", .conflib = "channels 8"},
        {.name = "driver: odd current format", .conflib = "rate 12345\ndepth 20\nchannels 0"},
        {.name = "driver: odd support replies",
         .conflib = "support-reply 44100 2\nsupport-reply 48000 yes\nsupport-reply 96000\nsupport-reply 192000 -1"},
        {.name = "driver: odd format replies",
         .conflib = "reply DevSampleRateControl utf16 96000abc\nreply DevBitDepthControl utf16 -24\n"
                    "reply DevChannelNumControl ansi 99999999999"},
        {.name = "driver: empty format replies",
         .conflib = "reply DevSampleRateControl utf16\nreply DevBitDepthControl utf16\nreply DevChannelNumControl ansi\n"
                    "reply IsSupportFormat ansi"},
        {.name = "driver: rate reply oversized, unterminated", .conflib = "reply DevSampleRateControl fill16 0039 4096"},
        {.name = "driver: depth reply oversized, unterminated", .conflib = "reply DevBitDepthControl fill 41 5000"},
        {.name = "driver: channel reply oversized, unterminated", .conflib = "reply DevChannelNumControl fill 39 2000"},
        {.name = "driver: support reply oversized, unterminated", .conflib = "reply IsSupportFormat fill 31 2000"},
        {.name = "driver: six features", .conflib = "features a,b,c,d,e,f", .boxes = Boxes::kSome},
        {.name = "driver: empty feature list", .conflib = "features", .boxes = Boxes::kSome},
        {.name = "driver: feature list of commas only", .conflib = "features ,,,,,,,,", .boxes = Boxes::kSome},
        {.name = "driver: short feature list for S/PDIF only",
         .conflib = "reply GetSupportFeature@4 utf16 1,0", .boxes = Boxes::kSome},
        {.name = "driver: feature reply oversized, unterminated",
         .conflib = "reply GetSupportFeature fill16 0041 4096", .boxes = Boxes::kSome},
        {.name = "driver: feature reply of commas, unterminated",
         .conflib = "reply GetSupportFeature fill16 002C 4096", .boxes = Boxes::kSome},
        {.name = "driver: garbage counts", .conflib = "count 0 4294967295\ncount 1 4294967295"},
        {.name = "driver: count 0 with records", .conflib = "count 0 0"},
        {.name = "driver: no secondary record", .conflib = "record 0 1 1 0 1\nrecord 0 2 4 1 1"},
        {.name = "driver: no S/PDIF record", .conflib = "record 0 1 1 0 1\nrecord 1 3 2 0 0"},
        {.name = "driver: no record flagged as output",
         .conflib = "record 0 1 1 0 0\nrecord 0 2 4 1 0\nrecord 0 3 7 0 2\nrecord 1 4 2 0 0"},
        // No record qualifies for S/PDIF: its click asks the driver nothing.
        {.name = "driver: zero and negative types",
         .conflib = "record 0 1 0 0 1\nrecord 0 2 -4 1 1\nrecord 1 3 -2 0 0\nrecord 1 4 0 0 0", .spdifRecord = false},
        {.name = "driver: device event on demand", .conflib = "demand-event 8 128", .eventRereads = false},
        // The campaign's own on-demand event is a format change in code 256; this one in 128.
        {.name = "driver: format event 128 on demand", .conflib = "demand-event 1 128"},
        {.name = "driver: unknown event on demand", .conflib = "demand-event 5 384", .eventRereads = false},
        {.name = "driver: sets answered by device events", .conflib = "format-event 8 0"},
        {.name = "driver: no events after sets", .conflib = "events off"},
        // A slow driver whose thread calls back in the middle of requests and of the shut-down.
        {.name = "driver: slow, events during requests and shut-down",
         .conflib = "delay 10\nevent-during DevSampleRateControl 1 128 4\nevent-during GetSupportFeature 8 128 2\n"
                    "event-during IsSupportFormat 1 256 6\nuninit-event 8 128"},

        // ---- Core Audio ---------------------------------------------------------------
        // Without a render endpoint's volume control the mute click and the wheel write nothing.
        {.name = "audio: no endpoints", .coreaudio = "# nothing plugged in\n", .audioWrites = false, .mixer = {}},
        {.name = "audio: only other makers' endpoints",
         .coreaudio = "endpoint {x.1} render active 2 Speakers (Realtek High Definition Audio)\n"
                      "endpoint {x.2} render active 2 HDMI Output (NVIDIA)\n"},
        {.name = "audio: no default render endpoint", .coreaudio = Lumirel("", "", "default render all none\n")},
        {.name = "audio: console and multimedia defaults differ",
         .coreaudio = Lumirel("", "", "default render console 0\ndefault render multimedia 1\ndefault render communications 1\n")},
        {.name = "audio: outputs unplugged and disabled",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render unplugged 2 SPDIF Interface (Lumirel USB Audio Device)\n" +
                      "endpoint " + kSpeakersId + " render disabled 2 Speakers (Lumirel USB Audio Device)\n"},
        {.name = "audio: capture endpoints only",
         .coreaudio = "endpoint {c.1} capture active 2 SPDIF In (Lumirel USB Audio Device)\n"
                      "endpoint {c.2} capture active 1 Microphone (Lumirel USB Audio Device)\n", .audioWrites = false},
        {.name = "audio: a name with both output words",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 2 SPDIF Speakers (Lumirel USB Audio Device)\n" +
                      "endpoint " + kSpeakersId + " render active 2 Speakers SPDIF (Lumirel USB Audio Device)\n"},
        {.name = "audio: 127-character names",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 2 SPDIF Interface (Lumirel USB Audio Device) " +
                      std::string(127 - 43, 'x') + "\nendpoint " + kSpeakersId + " render active 2 " +
                      std::string(127 - 9, 'y') + " Speakers\n"},
        {.name = "audio: non-ASCII names",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 2 \xE6\x95\xB0\xE5\xAD\x97\xE8\xBE\x93\xE5\x87\xBA SPDIF "
                      "(Lumirel USB Audio Device \xE2\x84\xA2)\nendpoint " + kSpeakersId +
                      " render active 2 \xE6\x89\xAC\xE5\xA3\xB0\xE5\x99\xA8 Speakers (Lumirel \xC3\x9C\xC3\x9F)\n"},
        {.name = "audio: mono outputs",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 1 SPDIF Interface (Lumirel USB Audio Device)\n" +
                      "endpoint " + kSpeakersId + " render active 1 Speakers (Lumirel USB Audio Device)\n"},
        {.name = "audio: eight-channel outputs",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 8 SPDIF Interface (Lumirel USB Audio Device)\n" +
                      "endpoint " + kSpeakersId + " render active 8 Speakers (Lumirel USB Audio Device)\n"},
        {.name = "audio: muted, levels at the ends",
         .coreaudio = Lumirel("mute 1\nlevel 0 0\nlevel 1 1\n", "mute 1\nlevel all 0\n")},
        {.name = "audio: endpoint volume fails to activate", .coreaudio = BothFail("volume"), .audioWrites = false},
        {.name = "audio: topology fails to activate", .coreaudio = BothFail("topology")},
        {.name = "audio: property store fails", .coreaudio = BothFail("properties")},
        {.name = "audio: no friendly name", .coreaudio = BothFail("noname")},
        {.name = "audio: connector not connected", .coreaudio = BothFail("connector")},
        {.name = "audio: subunit count fails", .coreaudio = BothFail("subunitcount")},
        {.name = "audio: level reads fail", .coreaudio = BothFail("getlevel")},
        {.name = "audio: level writes fail", .coreaudio = BothFail("setlevel")},
        {.name = "audio: every endpoint failure",
         .coreaudio = BothFail("volume,topology,properties,noname,connector,subunitcount,getlevel,setlevel"), .audioWrites = false},
        {.name = "audio: no subunits",
         .coreaudio = std::string("endpoint ") + kSpdifId + " render active 2 SPDIF Interface (Lumirel USB Audio Device)\n" +
                      "endpoint " + kSpeakersId + " render active 2 Speakers (Lumirel USB Audio Device)\n"},
        {.name = "audio: 32 subunits with every control",
         .coreaudio = Lumirel("subunits 30 agc,selector,mute,volume\n", "subunits 30 agc,selector,mute,volume\n")},
        {.name = "audio: control registrations fail",
         .coreaudio = Lumirel("subunit agc,selector,mute,volume fail=agc,selector,mute,volume\n",
                              "subunit agc,selector,mute,volume fail=agc,selector,mute,volume\n")},
        // Calls in a loop that fail part-way (skip=1: the first passes), and a failure while
        // running that passes again after one call (count=1).
        {.name = "audio: the topology walk fails at the second subunit",
         .coreaudio = Lumirel("", "", "inject GetSubunit fail skip=1\n"),
         .coreAudioFault = "GetSubunit"},
        {.name = "audio: the second subunit is null", .coreaudio = Lumirel("", "", "inject GetSubunit null skip=1\n"),
         .coreAudioFault = "GetSubunit"},
        {.name = "audio: the second control activation fails",
         .coreaudio = Lumirel("", "", "inject Part.Activate fail skip=1\n"),
         .coreAudioFault = "Part.Activate"},
        {.name = "audio: the second endpoint of the enumeration fails",
         .coreaudio = Lumirel("", "", "inject Item fail skip=1\n"),
         .coreAudioFault = "Item"},
        {.name = "audio: the second endpoint volume fails to activate",
         .coreaudio = Lumirel("", "", "inject Activate.IAudioEndpointVolume fail skip=1\n"), .audioWrites = false,
         .coreAudioFault = "Activate.IAudioEndpointVolume"},
        {.name = "audio: one default look-up fails while running",
         .mixer = {"inject GetDefaultAudioEndpoint.multimedia fail count=1", "set-level 0 master 0.3", "set-default 1",
                   "set-default 0"},
         .coreAudioFault = "GetDefaultAudioEndpoint.multimedia"},
        // Changes while the panel runs, made through coreaudioctl.
        // By ID: once the first is removed, the Speakers are no longer endpoint 1.
        {.name = "audio: default output removed while running",
         .mixer = {"remove 0", std::string("set-level ") + kSpeakersId + " master 0.5", std::string("set-default ") + kSpeakersId}},
        {.name = "audio: both outputs unplugged while running", .mixer = {"unplug 0", "unplug 1", "plug 0"}},
        {.name = "audio: no default left while running", .audioWrites = false, .mixer = {"clear-default"}},
        {.name = "audio: output renamed and made default",
         .mixer = {"rename 1 SPDIF speaker (Lumirel USB Audio Device)", "set-default 1"}},
        {.name = "audio: output added and made default",
         .mixer = {"add {new.1} render 2 SPDIF Interface 2 (Lumirel USB Audio Device)", "set-default {new.1}"}},
        {.name = "audio: hardware controls and mute change", .mixer = {"hw-change 0 0", "hw-change 0 1", "set-mute 0 1"}},
        // The device comes and goes: what the panel registered through dies with the endpoint's
        // life, and the panel registers again, also while Core Audio calls fail.
        {.name = "audio: default output replugged while running", .mixer = {"replug 0", "set-level 0 master 0.3", "hw-change 0 0"}},
        {.name = "audio: default output replugged 20 times while running", .mixer = {"replug 0 20", "set-level 0 master 0.3"}},
        {.name = "audio: sleep and resume while running", .mixer = {"resume", "set-level 0 master 0.5", "hw-change 0 1"}},
        {.name = "audio: playback device added unplugged, plugged in and made default",
         .mixer = {"add-as unplugged {late.1} render 2 Headphones (USB Headset)", "plug {late.1}", "set-default {late.1}",
                   "set-level {late.1} master 0.4"}},
        {.name = "audio: replug while endpoint IDs cannot be read", .mixer = {"inject GetId fail", "replug 0", "set-level 0 master 0.3"},
         .coreAudioFault = "GetId"},
        {.name = "audio: replug while the endpoint volume fails to activate", .audioWrites = false,
         .mixer = {"inject Activate.IAudioEndpointVolume fail", "replug 0", "set-level 0 master 0.3"},
         .coreAudioFault = "Activate.IAudioEndpointVolume"},
        {.name = "audio: resume while the topology walk fails", .mixer = {"inject GetSubunit fail", "resume", "hw-change 0 0"},
         .coreAudioFault = "GetSubunit"},
    };
    AddCatalogueCases(conflibCatalogue, cases);
    AddCoreAudioFaultCases(runningCalls, cases);
    return cases;
}

}  // namespace campaign
