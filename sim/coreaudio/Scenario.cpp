#include "sim/coreaudio/SimShared.h"

#include <cstdlib>
#include <fstream>
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

bool ParseFaultOptions(const std::vector<std::string>& words, size_t first, FaultSpec& spec, std::string* why)
{
    for (size_t i = first; i < words.size(); ++i) {
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
            spec.hr = static_cast<HRESULT>(static_cast<uint32_t>(number));
        else if (key == "skip")
            spec.skip = static_cast<uint32_t>(number);
        else if (key == "count")
            spec.count = static_cast<uint32_t>(number);
        else {
            if (why)
                *why = "unknown option '" + words[i] + "'";
            return false;
        }
    }
    if (spec.mode == kFaultFail && SUCCEEDED(spec.hr)) {
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

}  // namespace

bool ParseScenario(const std::string& text, SimState& result, std::string* error)
{
    SimState state;
    bool defaultGiven[2] = {false, false};
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;
        const std::string keyword = Lower(w[0]);
        EndpointInfo* last = state.endpoints.empty() ? nullptr : &state.endpoints.back();
        if (keyword == "endpoint") {
            if (w.size() < 6)
                return fail("endpoint needs <ID> <flow> <state> <channels> <name>");
            if (state.endpoints.size() >= kMaxEndpoints)
                return fail("more than " + std::to_string(kMaxEndpoints) + " endpoints");
            EndpointInfo info;
            info.id = Utf8ToWide(w[1]);
            if (info.id.size() >= kMaxIdChars)
                return fail("endpoint ID too long");
            if (FindInState(state, info.id) >= 0)
                return fail("duplicate endpoint ID");
            std::string flow = Lower(w[2]);
            if (flow != "render" && flow != "capture")
                return fail("flow must be render or capture");
            info.flow = flow == "render" ? kFlowRender : kFlowCapture;
            if (!ParseState(w[3], info.state))
                return fail("unknown state '" + w[3] + "'");
            double channels = 0;
            if (!ParseNumber(w[4], channels) || channels < 1 || channels > kMaxChannels || channels != static_cast<int>(channels))
                return fail("channels must be 1.." + std::to_string(kMaxChannels));
            info.channels = static_cast<uint32_t>(channels);
            info.levels.assign(info.channels, 1.0f);
            info.name = Utf8ToWide(RestAfter(line, 5));
            if (info.name.size() >= kMaxNameChars)
                return fail("name too long");
            state.endpoints.push_back(info);
        } else if (keyword == "level" || keyword == "mute" || keyword == "subunit" || keyword == "subunits" || keyword == "fail") {
            if (!last)
                return fail(keyword + " before any endpoint");
            if (keyword == "level") {
                double value = 0;
                if (w.size() != 3 || !ParseNumber(w[2], value) || !(value >= 0.0 && value <= 1.0))
                    return fail("level <channel|all> <0..1>");
                double channel = 0;
                if (Lower(w[1]) == "all") {
                    last->levels.assign(last->channels, static_cast<float>(value));
                } else if (ParseNumber(w[1], channel) && channel >= 0 && channel < last->channels && channel == static_cast<int>(channel)) {
                    last->levels[static_cast<size_t>(channel)] = static_cast<float>(value);
                } else {
                    return fail("no such channel '" + w[1] + "'");
                }
            } else if (keyword == "mute") {
                if (w.size() != 2 || (w[1] != "0" && w[1] != "1"))
                    return fail("mute 0|1");
                last->mute = w[1] == "1";
            } else if (keyword == "fail") {
                if (w.size() != 2 || !ParseFailures(w[1], last->fail))
                    return fail("unknown failure in '" + RestAfter(line, 1) + "'");
            } else {
                size_t at = 1;
                double count = 1;
                if (keyword == "subunits") {
                    if (w.size() < 3 || !ParseNumber(w[1], count) || count < 0 || count != static_cast<int>(count))
                        return fail("subunits <count> <controls> [fail=<controls>]");
                    at = 2;
                }
                if (w.size() <= at)
                    return fail("subunit needs its controls");
                SubunitInfo subunit;
                if (!ParseControls(w[at], subunit.controls))
                    return fail("unknown control in '" + w[at] + "'");
                for (size_t i = at + 1; i < w.size(); ++i) {
                    if (Lower(w[i]).rfind("fail=", 0) != 0 || !ParseControls(w[i].substr(5), subunit.failRegister))
                        return fail("expected fail=<controls>, got '" + w[i] + "'");
                }
                if (last->subunits.size() + static_cast<size_t>(count) > kMaxSubunits)
                    return fail("more than " + std::to_string(kMaxSubunits) + " subunits");
                last->subunits.insert(last->subunits.end(), static_cast<size_t>(count), subunit);
            }
        } else if (keyword == "default") {
            if (w.size() < 4)
                return fail("default <flow> <role> <endpoint|none>");
            std::string flowName = Lower(w[1]);
            if (flowName != "render" && flowName != "capture")
                return fail("flow must be render or capture");
            int flow = flowName == "render" ? 0 : 1;
            std::string role = Lower(w[2]);
            int first = 0, lastRole = 2;
            if (role == "console")
                first = lastRole = 0;
            else if (role == "multimedia")
                first = lastRole = 1;
            else if (role == "communications")
                first = lastRole = 2;
            else if (role != "all")
                return fail("unknown role '" + w[2] + "'");
            std::string target = RestAfter(line, 3);
            std::wstring id;
            if (Lower(target) != "none") {
                int index = FindInState(state, Utf8ToWide(target));
                if (index < 0)
                    return fail("no endpoint '" + target + "'");
                if (static_cast<int>(state.endpoints[index].flow) != flow)
                    return fail("endpoint '" + target + "' has the other flow");
                id = state.endpoints[index].id;
            }
            for (int r = first; r <= lastRole; ++r)
                state.defaults[flow][r] = id;
            defaultGiven[flow] = true;
        } else if (keyword == "inject") {
            if (w.size() < 3)
                return fail("inject <call> <fail|null> [hr=<code>] [skip=<n>] [count=<n>]");
            SimFault fault = FaultFromName(w[1]);
            if (fault == kFaultCount)
                return fail("unknown call '" + w[1] + "' (coreaudioctl faults lists them)");
            FaultSpec spec;
            std::string mode = Lower(w[2]);
            if (mode == "fail")
                spec.mode = kFaultFail;
            else if (mode == "null")
                spec.mode = kFaultNull;
            else
                return fail("inject needs fail or null, got '" + w[2] + "'");
            std::string why;
            if (!ParseFaultOptions(w, 3, spec, &why))
                return fail(why);
            state.faults[fault] = spec;
        } else if (keyword == "delivery") {
            if (w.size() != 2 || (Lower(w[1]) != "serial" && Lower(w[1]) != "concurrent"))
                return fail("delivery serial|concurrent");
            state.serialDelivery = Lower(w[1]) == "serial";
        } else {
            return fail("unknown statement '" + w[0] + "'");
        }
    }
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
