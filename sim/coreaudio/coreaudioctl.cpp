// coreaudioctl: the Core Audio simulator's control tool. It plays the Windows mixer, other
// programs and the hardware for scripts and end-to-end tests.
#include "sim/coreaudio/SimControl.h"

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace CoreAudioSim;

namespace {

// The context a change carries when the caller names none: "mixer" / "KestrunSIM".
constexpr GUID kMixerContext = {0x6D697865, 0x7200, 0x4B65, {0x73, 0x74, 0x72, 0x75, 0x6E, 0x53, 0x49, 0x4D}};

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

const char* FlowName(SimFlow flow)
{
    return flow == kFlowCapture ? "capture" : "render";
}

const char* StateName(DWORD state)
{
    switch (state) {
    case DEVICE_STATE_ACTIVE:
        return "active";
    case DEVICE_STATE_DISABLED:
        return "disabled";
    case DEVICE_STATE_NOTPRESENT:
        return "notpresent";
    case DEVICE_STATE_UNPLUGGED:
        return "unplugged";
    default:
        return "invalid";
    }
}

const char* kRoleNames[] = {"console", "multimedia", "communications"};

struct Options {
    std::vector<std::wstring> positional;
    bool hasContext = false;
    GUID context = GUID_NULL;
    bool hasFlow = false;
    SimFlow flow = kFlowRender;
    SimRole role = kRoleAll;
    bool bad = false;
};

Options ParseOptions(const std::vector<std::wstring>& args)
{
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == L"--context") {
            options.bad |= !hasValue || !GuidFromString(args[i + 1], options.context);
            options.hasContext = true;
            ++i;
        } else if (arg == L"--flow") {
            std::wstring value = hasValue ? args[i + 1] : L"";
            options.bad |= value != L"render" && value != L"capture";
            options.flow = value == L"capture" ? kFlowCapture : kFlowRender;
            options.hasFlow = true;
            ++i;
        } else if (arg == L"--role") {
            std::wstring value = hasValue ? args[i + 1] : L"";
            if (value == L"console")
                options.role = kRoleConsole;
            else if (value == L"multimedia")
                options.role = kRoleMultimedia;
            else if (value == L"communications")
                options.role = kRoleCommunications;
            else if (value == L"all")
                options.role = kRoleAll;
            else
                options.bad = true;
            ++i;
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

bool ParseFloat(const std::wstring& text, float& value)
{
    wchar_t* end = nullptr;
    value = std::wcstof(text.c_str(), &end);
    return !text.empty() && end && *end == L'\0';
}

bool ParseUnsigned(const std::wstring& text, uint32_t& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    value = static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 10));
    return true;
}

int Report(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        std::printf("error %s 0x%08lX\n", what, static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("ok %s%s\n", what, hr == S_FALSE ? " (unchanged)" : "");
    return 0;
}

int PrintState()
{
    SimState state;
    if (!ReadState(state)) {
        std::printf("error shared state not available\n");
        return 1;
    }
    for (size_t i = 0; i < state.endpoints.size(); ++i) {
        const EndpointInfo& endpoint = state.endpoints[i];
        std::string levels;
        for (float level : endpoint.levels) {
            char text[32];
            std::snprintf(text, sizeof(text), "%s%.6g", levels.empty() ? "" : ",", level);
            levels += text;
        }
        std::printf("endpoint %zu %s %s channels=%u levels=%s mute=%d subunits=%zu id=%s name=%s\n", i, FlowName(endpoint.flow),
                    StateName(endpoint.state), endpoint.channels, levels.c_str(), endpoint.mute ? 1 : 0,
                    endpoint.subunits.size(), Narrow(endpoint.id).c_str(), Narrow(endpoint.name).c_str());
    }
    for (int flow = 0; flow < 2; ++flow) {
        for (int role = 0; role < 3; ++role) {
            const std::wstring& id = state.defaults[flow][role];
            std::printf("default %s %s %s\n", FlowName(static_cast<SimFlow>(flow)), kRoleNames[role],
                        id.empty() ? "none" : Narrow(id).c_str());
        }
    }
    return 0;
}

const char* CallName(CallKind kind)
{
    switch (kind) {
    case kCallSetChannelLevel:
        return "set-level";
    case kCallSetMasterLevel:
        return "set-master";
    case kCallSetMute:
        return "set-mute";
    case kCallSetDefault:
        return "set-default";
    case kCallSetState:
        return "set-state";
    case kCallHardwareChange:
        return "hw-change";
    case kCallSetPartControl:
        return "part-control";
    default:
        return "unknown";
    }
}

// What a handler gets: the command word, its positional arguments and the options.
struct Call {
    std::string command;
    const std::vector<std::wstring>& p;
    const Options& options;
};

int Usage();

GUID ContextOr(const Options& options, const GUID& fallback)
{
    return options.hasContext ? options.context : fallback;
}

// The words from `first` on, joined by single spaces.
std::wstring JoinFrom(const std::vector<std::wstring>& words, size_t first)
{
    std::wstring joined = words[first];
    for (size_t i = first + 1; i < words.size(); ++i)
        joined += L" " + words[i];
    return joined;
}

// An optional single unsigned argument; false when there is more or it is not a number.
bool OptionalUnsigned(const std::vector<std::wstring>& p, uint32_t& value)
{
    return p.size() <= 1 && (p.empty() || ParseUnsigned(p[0], value));
}

int CmdState(const Call&)
{
    return PrintState();
}

int CmdReset(const Call&)
{
    return Reset() ? Report(S_OK, "reset") : Report(E_FAIL, "reset");
}

int CmdLoad(const Call& c)
{
    if (c.p.size() != 1)
        return Usage();
    std::string error;
    if (!LoadScenarioFile(c.p[0], &error)) {
        std::printf("error load %s\n", error.c_str());
        return 1;
    }
    return Report(S_OK, "load");
}

int CmdSetLevel(const Call& c)
{
    float level = 0.0f;
    uint32_t channel = 0;
    if (c.p.size() != 3 || !ParseFloat(c.p[2], level))
        return Usage();
    GUID context = ContextOr(c.options, kMixerContext);
    if (c.p[1] == L"master")
        return Report(SetMasterLevel(c.p[0], level, context), "set-level");
    if (!ParseUnsigned(c.p[1], channel))
        return Usage();
    return Report(SetChannelLevel(c.p[0], channel, level, context), "set-level");
}

int CmdSetMute(const Call& c)
{
    if (c.p.size() != 2 || (c.p[1] != L"0" && c.p[1] != L"1"))
        return Usage();
    return Report(SetMute(c.p[0], c.p[1] == L"1", ContextOr(c.options, kMixerContext)), "set-mute");
}

int CmdSetDefault(const Call& c)
{
    if (c.p.size() != 1)
        return Usage();
    SimFlow flow = c.options.flow;
    if (!c.options.hasFlow) {
        SimState state;
        int index = FindEndpoint(c.p[0]);
        if (index >= 0 && ReadState(state) && static_cast<size_t>(index) < state.endpoints.size())
            flow = state.endpoints[index].flow;
    }
    return Report(SetDefault(c.p[0], flow, c.options.role), "set-default");
}

int CmdClearDefault(const Call& c)
{
    return c.p.empty() ? Report(ClearDefault(c.options.flow, c.options.role), "clear-default") : Usage();
}

template <HRESULT (*Change)(const std::wstring&)>
int CmdEndpointChange(const Call& c)
{
    if (c.p.size() != 1)
        return Usage();
    return Report(Change(c.p[0]), c.command.c_str());
}

DWORD StateFromName(const std::wstring& name)
{
    return name == L"active"       ? DEVICE_STATE_ACTIVE
           : name == L"disabled"   ? DEVICE_STATE_DISABLED
           : name == L"notpresent" ? DEVICE_STATE_NOTPRESENT
           : name == L"unplugged"  ? DEVICE_STATE_UNPLUGGED
                                   : 0;
}

int CmdSetState(const Call& c)
{
    DWORD state = c.p.size() == 2 ? StateFromName(c.p[1]) : 0;
    if (state == 0)
        return Usage();
    return Report(SetDeviceState(c.p[0], state), "set-state");
}

// "<ID> render|capture <channels> <name...>" from positional argument first on.
int AddInState(const Call& c, size_t first, DWORD state)
{
    uint32_t channels = 0;
    if (state == 0 || c.p.size() < first + 4 || (c.p[first + 1] != L"render" && c.p[first + 1] != L"capture") ||
        !ParseUnsigned(c.p[first + 2], channels) || channels == 0 || channels > kMaxChannels)
        return Usage();
    EndpointInfo endpoint;
    endpoint.id = c.p[first];
    endpoint.flow = c.p[first + 1] == L"capture" ? kFlowCapture : kFlowRender;
    endpoint.state = state;
    endpoint.channels = channels;
    endpoint.levels.assign(channels, 1.0f);
    endpoint.name = JoinFrom(c.p, first + 3);
    return Report(AddEndpoint(endpoint), c.command.c_str());
}

int CmdAdd(const Call& c)
{
    return AddInState(c, 0, DEVICE_STATE_ACTIVE);
}

int CmdAddAs(const Call& c)
{
    return AddInState(c, 1, c.p.empty() ? 0 : StateFromName(c.p[0]));
}

int CmdReplug(const Call& c)
{
    uint32_t times = 1;
    if (c.p.empty() || c.p.size() > 2 || (c.p.size() == 2 && (!ParseUnsigned(c.p[1], times) || times == 0)))
        return Usage();
    HRESULT hr = S_OK;
    for (uint32_t n = 0; n < times && SUCCEEDED(hr); ++n)
        hr = Replug(c.p[0]);
    return Report(hr, "replug");
}

int CmdResume(const Call& c)
{
    if (c.p.size() > 1)
        return Usage();
    return Report(Resume(c.p.empty() ? std::wstring(L"Lumirel") : c.p[0]), "resume");
}

int CmdRename(const Call& c)
{
    if (c.p.size() < 2)
        return Usage();
    return Report(Rename(c.p[0], JoinFrom(c.p, 1)), "rename");
}

int CmdHardwareChange(const Call& c)
{
    uint32_t subunit = 0;
    if (c.p.size() != 2 || !ParseUnsigned(c.p[1], subunit))
        return Usage();
    return Report(HardwareChange(c.p[0], subunit, ContextOr(c.options, GUID_NULL)), "hw-change");
}

int CmdLog(const Call&)
{
    for (const CallRecord& call : ReadCallLog()) {
        std::printf("call %llu %s via=%s pid=%lu ep=%s channel=%u subunit=%u value=%.6g context=%s hr=0x%08lX\n",
                    static_cast<unsigned long long>(call.sequence), CallName(call.kind), call.viaControl ? "control" : "com",
                    static_cast<unsigned long>(call.processId), Narrow(call.endpointId).c_str(), call.channel, call.subunit,
                    call.value, Narrow(GuidToString(call.context)).c_str(), static_cast<unsigned long>(call.result));
    }
    return 0;
}

int CmdRegistrations(const Call&)
{
    static const char* kKinds[] = {"?", "endpoint-volume", "control-change", "notification-client"};
    for (const RegistrationRecord& entry : ReadRegistrations()) {
        uint32_t kind = static_cast<uint32_t>(entry.kind) <= 3 ? static_cast<uint32_t>(entry.kind) : 0u;
        std::printf("registration %s %s pid=%lu ep=%s subunit=%u iid=%s hr=0x%08lX\n", kKinds[kind],
                    entry.unregister ? "unregister" : "register", static_cast<unsigned long>(entry.processId),
                    Narrow(entry.endpointId).c_str(), entry.subunit, Narrow(GuidToString(entry.iid)).c_str(),
                    static_cast<unsigned long>(entry.result));
    }
    return 0;
}

int CmdSubunits(const Call&)
{
    for (const SubunitRequest& request : ReadSubunitRequests()) {
        std::printf("subunit-request ep=%s index=%u hr=0x%08lX\n", Narrow(request.endpointId).c_str(), request.index,
                    static_cast<unsigned long>(request.result));
    }
    return 0;
}

int CmdFaults(const Call&)
{
    static const char* kModes[] = {"off", "fail", "null", "delay"};
    for (const FaultStatus& status : ReadFaults()) {
        uint32_t mode = status.setting.mode <= kFaultDelay ? static_cast<uint32_t>(status.setting.mode) : 0u;
        std::printf("fault %s mode=%s hr=0x%08lX skip=%u count=%u delay=%u calls=%llu hits=%llu\n", FaultName(status.fault),
                    kModes[mode], static_cast<unsigned long>(status.setting.hr), status.setting.skip, status.setting.count,
                    status.setting.delayMs, static_cast<unsigned long long>(status.calls),
                    static_cast<unsigned long long>(status.hits));
    }
    return 0;
}

int CmdClearFaults(const Call&)
{
    ClearFaults();
    return Report(S_OK, "clear-faults");
}

int CmdInject(const Call& c)
{
    if (c.p.size() < 2)
        return Usage();
    SimFault fault = FaultFromName(Narrow(c.p[0]));
    if (fault == kFaultCount) {
        std::printf("error inject unknown call %s (see coreaudioctl faults)\n", Narrow(c.p[0]).c_str());
        return 2;
    }
    FaultSpec setting;
    std::vector<std::string> words;
    for (const std::wstring& word : c.p)
        words.push_back(Narrow(word));
    std::string why;
    if (!ParseFaultOptions(words, 1, setting, &why)) {
        std::printf("error inject %s\n", why.c_str());
        return 2;
    }
    return Report(InjectFault(fault, setting) ? S_OK : E_FAIL, "inject");
}

int CmdDelivery(const Call& c)
{
    if (c.p.size() != 1 || (c.p[0] != L"serial" && c.p[0] != L"concurrent"))
        return Usage();
    return Report(SetSerialDelivery(c.p[0] == L"serial") ? S_OK : E_FAIL, "delivery");
}

int CmdObjects(const Call& c)
{
    uint32_t only = 0;
    if (!OptionalUnsigned(c.p, only))
        return Usage();
    for (const ListenerInfo& listener : ReadListeners()) {
        LiveObjects live;
        if ((only != 0 && listener.processId != only) || !ReadLiveObjects(listener.processId, live))
            continue;
        std::printf("objects pid=%lu delivered=%llu lost=%llu", static_cast<unsigned long>(listener.processId),
                    static_cast<unsigned long long>(listener.delivered), static_cast<unsigned long long>(listener.lost));
        for (uint32_t k = 0; k < kLiveKindCount; ++k)
            std::printf(" %s=%ld", LiveKindName(static_cast<LiveKind>(k)), live.count[k]);
        std::printf("\n");
    }
    return 0;
}

int CmdHold(const Call& c)
{
    uint32_t seconds = 0;
    if (!OptionalUnsigned(c.p, seconds))
        return Usage();
    SimState state;
    if (!ReadState(state))
        return Report(E_FAIL, "hold");
    std::printf("holding\n");
    std::fflush(stdout);
    Sleep(seconds ? seconds * 1000 : INFINITE);
    return 0;
}

int Run(const std::vector<std::wstring>& args);

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

// One command per line (UTF-8, blank lines and "#" comments skipped), from a file or, with
// none or "-", from standard input: a test then starts one process for a whole sequence.
// The first line that fails ends the script with that line's exit code.
int CmdScript(const Call& c)
{
    if (c.p.size() > 1)
        return Usage();
    const bool fromInput = c.p.empty() || c.p[0] == L"-";
    FILE* in = fromInput ? stdin : _wfopen(c.p[0].c_str(), L"rb");
    if (in == nullptr) {
        std::printf("error script cannot open %s\n", Narrow(c.p[0]).c_str());
        return 1;
    }
    int code = 0;
    std::string line;
    int lineNumber = 0;
    for (int ch = 0; code == 0 && ch != EOF;) {
        line.clear();
        while ((ch = std::fgetc(in)) != EOF && ch != '\n')
            line += static_cast<char>(ch);
        ++lineNumber;
        std::vector<std::wstring> words;
        std::wistringstream split(Wide(line));
        for (std::wstring word; split >> word;)
            words.push_back(word);
        if (words.empty() || words[0][0] == L'#')
            continue;
        if (words[0] == L"script") {
            std::printf("error script line %d: a script cannot run another\n", lineNumber);
            code = 2;
            break;
        }
        code = Run(words);
        if (code != 0)
            std::printf("error script line %d failed: %s\n", lineNumber, line.c_str());
        std::fflush(stdout);
    }
    if (!fromInput)
        std::fclose(in);
    return code;
}

struct Command {
    const char* word;
    const char* arguments;   // the form shown by the usage text and README.md's table
    int (*handler)(const Call&);
};

// Every command of the tool; README.md's table lists the same rows.
const Command kCommands[] = {
    {"list", "", CmdState},
    {"state", "", CmdState},
    {"set-level", "<ep> <channel|master> <level> [--context GUID]", CmdSetLevel},
    {"set-mute", "<ep> 0|1 [--context GUID]", CmdSetMute},
    {"set-default", "<ep> [--flow render|capture] [--role console|multimedia|communications|all]", CmdSetDefault},
    {"clear-default", "[--flow render|capture] [--role console|multimedia|communications|all]", CmdClearDefault},
    {"unplug", "<ep>", CmdEndpointChange<Unplug>},
    {"plug", "<ep>", CmdEndpointChange<Plug>},
    {"remove", "<ep>", CmdEndpointChange<Remove>},
    {"set-state", "<ep> active|disabled|notpresent|unplugged", CmdSetState},
    {"add", "<ID> render|capture <channels> <name...>", CmdAdd},
    {"add-as", "active|disabled|notpresent|unplugged <ID> render|capture <channels> <name...>", CmdAddAs},
    {"replug", "<ep> [times]", CmdReplug},
    {"resume", "[name part]", CmdResume},
    {"rename", "<ep> <name...>", CmdRename},
    {"hw-change", "<ep> <subunit> [--context GUID]", CmdHardwareChange},
    {"load", "<scenario file>", CmdLoad},
    {"reset", "", CmdReset},
    {"log", "", CmdLog},
    {"registrations", "", CmdRegistrations},
    {"subunits", "", CmdSubunits},
    {"hold", "[seconds]", CmdHold},
    {"faults", "", CmdFaults},
    {"clear-faults", "", CmdClearFaults},
    {"inject", "<call> fail|null|delay=<ms>|off [hr=<code>] [skip=<n>] [count=<n>]", CmdInject},
    {"delivery", "serial|concurrent", CmdDelivery},
    {"objects", "[pid]", CmdObjects},
    {"script", "[file|-]", CmdScript},
};

int Usage()
{
    const char* lead = "usage:";
    for (const Command& command : kCommands) {
        std::printf("%-6s coreaudioctl %s%s%s\n", lead, command.word, *command.arguments ? " " : "", command.arguments);
        lead = "";
    }
    return 2;
}

int Run(const std::vector<std::wstring>& args)
{
    if (args.empty())
        return Usage();
    const std::string command = Narrow(args[0]);
    Options options = ParseOptions(std::vector<std::wstring>(args.begin() + 1, args.end()));
    if (options.bad)
        return Usage();
    for (const Command& entry : kCommands) {
        if (command == entry.word)
            return entry.handler(Call{command, options.positional, options});
    }
    return Usage();
}

}  // namespace

int main()
{
    // Plain "\n" line ends: the output is read by scripts on the Linux side too.
    _setmode(_fileno(stdout), _O_BINARY);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < count; ++i)
        args.emplace_back(argv[i]);
    if (argv)
        LocalFree(argv);
    int code = Run(args);
    std::fflush(stdout);
    return code;
}
