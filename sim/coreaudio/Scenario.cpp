#include "sim/coreaudio/SimShared.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace CoreAudioSim {

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

std::string Lower(std::string text)
{
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
    return text;
}

bool ParseControls(const std::string& text, uint32_t& bits)
{
    bits = 0;
    for (const std::string& name : Split(Lower(text), ',')) {
        if (name == "agc")
            bits |= kCtlAutoGain;
        else if (name == "selector")
            bits |= kCtlInputSelector;
        else if (name == "mute")
            bits |= kCtlMute;
        else if (name == "volume")
            bits |= kCtlVolumeLevel;
        else if (name != "none")
            return false;
    }
    return true;
}

bool ParseFailures(const std::string& text, uint32_t& bits)
{
    static const struct { const char* name; uint32_t bit; } kNames[] = {
        {"volume", kFailActivateVolume},     {"topology", kFailActivateTopology}, {"properties", kFailPropertyStore},
        {"noname", kFailNoName},             {"connector", kFailConnector},       {"subunitcount", kFailSubunitCount},
        {"getlevel", kFailGetLevel},         {"setlevel", kFailSetLevel},
    };
    for (const std::string& name : Split(Lower(text), ',')) {
        bool known = false;
        for (const auto& entry : kNames) {
            if (name == entry.name) {
                bits |= entry.bit;
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

bool ParseState(const std::string& text, DWORD& state)
{
    std::string name = Lower(text);
    if (name == "active")
        state = DEVICE_STATE_ACTIVE;
    else if (name == "disabled")
        state = DEVICE_STATE_DISABLED;
    else if (name == "notpresent")
        state = DEVICE_STATE_NOTPRESENT;
    else if (name == "unplugged")
        state = DEVICE_STATE_UNPLUGGED;
    else
        return false;
    return true;
}

bool ParseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

}  // namespace

bool ParseFaultOptions(const std::vector<std::string>& words, size_t first, FaultSpec& setting, std::string* why)
{
    const std::string form = first < words.size() ? Lower(words[first]) : std::string();
    char* formEnd = nullptr;
    const unsigned long long delay = form.rfind("delay=", 0) == 0 && form.size() > 6 ? std::strtoull(form.c_str() + 6, &formEnd, 0) : 0;
    if (form == "fail" || form == "null" || form == "off") {
        setting.mode = form == "fail" ? kFaultFail : form == "null" ? kFaultNull : kFaultOff;
    } else if (formEnd && *formEnd == '\0' && delay <= 60000) {
        // A minute at most: a longer wait is a typo that would only look like a hang.
        setting.mode = kFaultDelay;
        setting.delayMs = static_cast<uint32_t>(delay);
    } else {
        if (why)
            *why = "expected fail, null, off or delay=<ms up to 60000>, got '" + form + "'";
        return false;
    }
    for (size_t i = first + 1; i < words.size(); ++i) {
        std::string word = Lower(words[i]);
        size_t equals = word.find('=');
        std::string key = word.substr(0, equals);
        std::string value = equals == std::string::npos ? std::string() : word.substr(equals + 1);
        char* end = nullptr;
        unsigned long long number = value.empty() ? 0 : std::strtoull(value.c_str(), &end, 0);
        if (value.empty() || !end || *end != '\0' || number > 0xFFFFFFFFull) {
            if (why)
                *why = "expected hr=, skip= or count= with a number, got '" + words[i] + "'";
            return false;
        }
        if (key == "hr")
            setting.hr = static_cast<HRESULT>(static_cast<uint32_t>(number));
        else if (key == "skip")
            setting.skip = static_cast<uint32_t>(number);
        else if (key == "count")
            setting.count = static_cast<uint32_t>(number);
        else {
            if (why)
                *why = "unknown option '" + words[i] + "'";
            return false;
        }
    }
    if (setting.mode == kFaultFail && SUCCEEDED(setting.hr)) {
        if (why)
            *why = "hr= must be a failure code";
        return false;
    }
    return true;
}

namespace {

int FindInState(const SimState& state, const std::wstring& selector)
{
    if (!selector.empty() && selector.size() < 6 && selector.find_first_not_of(L"0123456789") == std::wstring::npos) {
        size_t index = static_cast<size_t>(std::stoi(selector));
        return index < state.endpoints.size() ? static_cast<int>(index) : -1;
    }
    for (size_t i = 0; i < state.endpoints.size(); ++i) {
        if (state.endpoints[i].id == selector || state.endpoints[i].name == selector)
            return static_cast<int>(i);
    }
    return -1;
}

// Rest of a line after the first n whitespace-separated words.
std::string RestAfter(const std::string& line, int words)
{
    size_t pos = 0;
    for (int i = 0; i < words; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string::npos)
            return std::string();
        pos = line.find_first_of(" \t", pos);
        if (pos == std::string::npos)
            return std::string();
    }
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string::npos)
        return std::string();
    size_t end = line.find_last_not_of(" \t\r");
    return line.substr(pos, end - pos + 1);
}

// One statement being read: its words, the line (comment removed) for the texts that run to
// its end, and the state built so far. A handler returns the reason when it rejects the line.
struct Statement {
    const std::vector<std::string>& w;
    const std::string& line;
    SimState& state;
    bool (&defaultGiven)[2];

    // The endpoint declared last, for the statements about it.
    EndpointInfo& endpoint() { return state.endpoints.back(); }
};

using Verdict = std::optional<std::string>;
const Verdict kAccepted;

bool ParseFlow(const std::string& text, SimFlow& flow)
{
    std::string name = Lower(text);
    if (name != "render" && name != "capture")
        return false;
    flow = name == "render" ? kFlowRender : kFlowCapture;
    return true;
}

bool IsCount(double value)
{
    return value == static_cast<int>(value);
}

Verdict ReadEndpoint(Statement& s)
{
    const std::vector<std::string>& w = s.w;
    if (w.size() < 6)
        return "endpoint needs <ID> <flow> <state> <channels> <name>";
    if (s.state.endpoints.size() >= kMaxEndpoints)
        return "more than " + std::to_string(kMaxEndpoints) + " endpoints";
    EndpointInfo info;
    info.id = Utf8ToWide(w[1]);
    if (info.id.size() >= kMaxIdChars)
        return "endpoint ID too long";
    if (FindInState(s.state, info.id) >= 0)
        return "duplicate endpoint ID";
    if (!ParseFlow(w[2], info.flow))
        return "flow must be render or capture";
    if (!ParseState(w[3], info.state))
        return "unknown state '" + w[3] + "'";
    double channels = 0;
    if (!ParseNumber(w[4], channels) || channels < 1 || channels > kMaxChannels || !IsCount(channels))
        return "channels must be 1.." + std::to_string(kMaxChannels);
    info.channels = static_cast<uint32_t>(channels);
    info.levels.assign(info.channels, 1.0f);
    info.name = Utf8ToWide(RestAfter(s.line, 5));
    if (info.name.size() >= kMaxNameChars)
        return "name too long";
    s.state.endpoints.push_back(info);
    return kAccepted;
}

Verdict ReadLevel(Statement& s)
{
    EndpointInfo& endpoint = s.endpoint();
    const std::vector<std::string>& w = s.w;
    double value = 0;
    if (w.size() != 3 || !ParseNumber(w[2], value) || !(value >= 0.0 && value <= 1.0))
        return "level <channel|all> <0..1>";
    double channel = 0;
    if (Lower(w[1]) == "all")
        endpoint.levels.assign(endpoint.channels, static_cast<float>(value));
    else if (ParseNumber(w[1], channel) && channel >= 0 && channel < endpoint.channels && IsCount(channel))
        endpoint.levels[static_cast<size_t>(channel)] = static_cast<float>(value);
    else
        return "no such channel '" + w[1] + "'";
    return kAccepted;
}

Verdict ReadMute(Statement& s)
{
    EndpointInfo& endpoint = s.endpoint();
    if (s.w.size() != 2 || (s.w[1] != "0" && s.w[1] != "1"))
        return "mute 0|1";
    endpoint.mute = s.w[1] == "1";
    return kAccepted;
}

Verdict ReadFail(Statement& s)
{
    EndpointInfo& endpoint = s.endpoint();
    if (s.w.size() != 2 || !ParseFailures(s.w[1], endpoint.fail))
        return "unknown failure in '" + RestAfter(s.line, 1) + "'";
    return kAccepted;
}

// `count` subunits whose controls are the word at `at`, then optional fail=<controls> words.
Verdict AppendSubunits(Statement& s, size_t at, double count)
{
    EndpointInfo& endpoint = s.endpoint();
    const std::vector<std::string>& w = s.w;
    if (w.size() <= at)
        return "subunit needs its controls";
    SubunitInfo subunit;
    if (!ParseControls(w[at], subunit.controls))
        return "unknown control in '" + w[at] + "'";
    for (size_t i = at + 1; i < w.size(); ++i) {
        if (Lower(w[i]).rfind("fail=", 0) != 0 || !ParseControls(w[i].substr(5), subunit.failRegister))
            return "expected fail=<controls>, got '" + w[i] + "'";
    }
    if (endpoint.subunits.size() + static_cast<size_t>(count) > kMaxSubunits)
        return "more than " + std::to_string(kMaxSubunits) + " subunits";
    endpoint.subunits.insert(endpoint.subunits.end(), static_cast<size_t>(count), subunit);
    return kAccepted;
}

Verdict ReadSubunit(Statement& s)
{
    return AppendSubunits(s, 1, 1);
}

Verdict ReadSubunits(Statement& s)
{
    double count = 1;
    if (s.w.size() < 3 || !ParseNumber(s.w[1], count) || count < 0 || !IsCount(count))
        return "subunits <count> <controls> [fail=<controls>]";
    return AppendSubunits(s, 2, count);
}

Verdict ReadDefault(Statement& s)
{
    const std::vector<std::string>& w = s.w;
    if (w.size() < 4)
        return "default <flow> <role> <endpoint|none>";
    SimFlow flowValue = kFlowRender;
    if (!ParseFlow(w[1], flowValue))
        return "flow must be render or capture";
    int flow = static_cast<int>(flowValue);
    std::string role = Lower(w[2]);
    int first = 0, lastRole = 2;
    if (role == "console")
        first = lastRole = 0;
    else if (role == "multimedia")
        first = lastRole = 1;
    else if (role == "communications")
        first = lastRole = 2;
    else if (role != "all")
        return "unknown role '" + w[2] + "'";
    std::string target = RestAfter(s.line, 3);
    std::wstring id;
    if (Lower(target) != "none") {
        int index = FindInState(s.state, Utf8ToWide(target));
        if (index < 0)
            return "no endpoint '" + target + "'";
        if (static_cast<int>(s.state.endpoints[index].flow) != flow)
            return "endpoint '" + target + "' has the other flow";
        id = s.state.endpoints[index].id;
    }
    for (int r = first; r <= lastRole; ++r)
        s.state.defaults[flow][r] = id;
    s.defaultGiven[flow] = true;
    return kAccepted;
}

Verdict ReadInject(Statement& s)
{
    const std::vector<std::string>& w = s.w;
    if (w.size() < 3)
        return "inject <call> <fail|null|delay=<ms>> [hr=<code>] [skip=<n>] [count=<n>]";
    SimFault fault = FaultFromName(w[1]);
    if (fault == kFaultCount)
        return "unknown call '" + w[1] + "' (coreaudioctl faults lists them)";
    FaultSpec setting;
    std::string why;
    if (!ParseFaultOptions(w, 2, setting, &why))
        return why;
    if (setting.mode == kFaultOff)
        return "inject needs fail, null or delay=<ms>, got '" + w[2] + "'";
    s.state.faults[fault] = setting;
    return kAccepted;
}

Verdict ReadDelivery(Statement& s)
{
    if (s.w.size() != 2 || (Lower(s.w[1]) != "serial" && Lower(s.w[1]) != "concurrent"))
        return "delivery serial|concurrent";
    s.state.serialDelivery = Lower(s.w[1]) == "serial";
    return kAccepted;
}

struct StatementRow {
    const char* keyword;
    bool aboutEndpoint;   // applies to the endpoint declared last, so none may come before one
    Verdict (*read)(Statement&);
};

// Every statement of the format, in README.md's order; the comments give their arguments.
const StatementRow kStatements[] = {
    {"endpoint", false, ReadEndpoint},   // <ID> <render|capture> <state> <channels> <friendly name...>
    {"level", true, ReadLevel},          // <channel|all> <scalar 0..1>
    {"mute", true, ReadMute},            // <0|1>
    {"subunit", true, ReadSubunit},      // <controls> [fail=<controls>]
    {"subunits", true, ReadSubunits},    // <count> <controls> [fail=<controls>]
    {"fail", true, ReadFail},            // <what>[,<what>...]
    {"default", false, ReadDefault},     // <render|capture> <console|multimedia|communications|all> <endpoint|none>
    {"inject", false, ReadInject},       // <call> <fail|null> [hr=<code>] [skip=<n>] [count=<n>]
    {"delivery", false, ReadDelivery},   // <serial|concurrent>
};

Verdict ReadStatement(Statement& s)
{
    const std::string keyword = Lower(s.w[0]);
    for (const StatementRow& row : kStatements) {
        if (keyword != row.keyword)
            continue;
        if (row.aboutEndpoint && s.state.endpoints.empty())
            return keyword + " before any endpoint";
        return row.read(s);
    }
    return "unknown statement '" + s.w[0] + "'";
}

void DropComment(std::string& line)
{
    size_t hash = line.find('#');
    if (hash != std::string::npos)
        line.erase(hash);
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;)
        w.push_back(word);
    return w;
}

// A flow with no `default` statement gets its first active endpoint for every role.
void DefaultToFirstActive(SimState& state, const bool (&defaultGiven)[2])
{
    for (int flow = 0; flow < 2; ++flow) {
        if (defaultGiven[flow])
            continue;
        for (const EndpointInfo& endpoint : state.endpoints) {
            if (static_cast<int>(endpoint.flow) == flow && endpoint.state == DEVICE_STATE_ACTIVE) {
                for (int r = 0; r < 3; ++r)
                    state.defaults[flow][r] = endpoint.id;
                break;
            }
        }
    }
}

}  // namespace

bool ParseScenario(const std::string& text, SimState& result, std::string* error)
{
    SimState state;
    bool defaultGiven[2] = {false, false};
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        DropComment(line);
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        Statement statement{w, line, state, defaultGiven};
        if (Verdict why = ReadStatement(statement)) {
            if (error)
                *error = "line " + std::to_string(number) + ": " + *why;
            return false;
        }
    }
    DefaultToFirstActive(state, defaultGiven);
    result = state;
    return true;
}

std::string DemoScenarioText()
{
    return "# Lumirel USB Audio Device, as Windows shows its two outputs\n"
           "endpoint {0.0.0.00000000}.{5f3a0101-0000-4c55-8001-000000000001} render active 2 "
           "SPDIF Interface (Lumirel USB Audio Device)\n"
           "level all 0.8\n"
           "subunit volume\n"
           "subunit mute\n"
           "endpoint {0.0.0.00000000}.{5f3a0101-0000-4c55-8001-000000000002} render active 2 "
           "Speakers (Lumirel USB Audio Device)\n"
           "level all 0.8\n"
           "subunit volume\n"
           "subunit mute\n"
           "default render all 0\n";
}

SimState InitialState()
{
    SimState state;
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"KESTRUN_COREAUDIO_SCENARIO", path, MAX_PATH);
    std::string error;
    if (length > 0 && length < MAX_PATH) {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        // A broken scenario leaves no endpoints, so that the mistake shows instead of the demo.
        if (!file || !ParseScenario(text.str(), state, &error)) {
            OutputDebugStringA(("KestrunCoreAudioSim: scenario not loaded: " + error + "\n").c_str());
            return SimState();
        }
        return state;
    }
    ParseScenario(DemoScenarioText(), state, &error);
    return state;
}

}  // namespace CoreAudioSim
