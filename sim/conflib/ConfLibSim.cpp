// osConfLib.dll stand-in: behaves like a Lumirel device behind the vendor's configuration
// library, driven by a scenario and recording every call (see README.md).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/conflib/ConfLibSim.h"

#define CONFLIB_API extern "C" __declspec(dllexport)

struct SimDeviceRecord {
    int32_t field[4];   // id, type, reserved, output flag
};
static_assert(sizeof(SimDeviceRecord) == 16, "the device record is 16 bytes");

typedef void (*SimCallbackFn)(void* context, void* source, uint32_t eventType, uint32_t eventCode);

namespace {

const size_t kReplyBufferBytes = 1024;
const size_t kFeatureBufferBytes = 2048;

const int32_t kOk = 0;
const int32_t kRefused = 1;
const int32_t kUnknown = 2;
const int32_t kBadArgument = 3;
const int32_t kNotInitialised = 4;   // a call other than ConfLibInit outside Init..UnInit

const DWORD kDeliveryTimeoutMs = 5000;

// An event the library delivers while a request for one property is in progress.
struct RequestEvent {
    std::string property;   // "Property" or "Property@type"
    uint32_t type;
    uint32_t code;
    uint32_t remaining;     // deliveries left
};

struct Scenario {
    std::vector<SimDeviceRecord> lists[2];
    bool recordsGiven = false;
    bool countGiven[2] = {false, false};
    uint32_t count[2] = {0, 0};
    uint32_t rate = 44100;
    uint32_t depth = 16;
    uint32_t channels = 2;
    uint32_t channelCopyLfx = 0;
    uint32_t deviceSpecific = 0;
    std::set<uint32_t> acceptedDepths = {16, 24};
    std::map<uint32_t, std::set<uint32_t>> supportedRates;   // channel count -> rates
    std::map<uint32_t, std::string> supportReply;            // rate -> IsSupportFormat text
    std::set<std::string> failGet, failSet;                  // "Property" or "Property@type"
    std::set<std::string> failCalls;                         // "GetDeviceCount[ list]", "GetDeviceById[ list[ index]]"
    std::map<std::string, std::vector<uint8_t>> replies;     // fixed get replies, raw bytes
    std::wstring features = L"1,0,1,1,0,0,1";
    bool eventsOnSet = true;
    uint32_t formatEvent[2] = {1, 0x80};
    uint32_t demandEvent[2] = {1, 0x80};
    std::vector<RequestEvent> requestEvents;
    bool uninitEventGiven = false;
    uint32_t uninitEvent[2] = {1, 0x80};
    uint32_t delayMs = 0;
};

Scenario DefaultScenario()
{
    Scenario s;
    s.lists[0] = {{{1, 1, 0, 1}}, {{2, 4, 1, 1}}};
    s.lists[1] = {{{3, 2, 0, 0}}};
    s.supportedRates[2] = {44100, 48000, 88200, 96000, 176400, 192000};
    return s;
}

struct PendingEvent {
    uint32_t type;
    uint32_t code;
    HANDLE done;   // signalled after delivery when someone waits, else null
};

struct SimState {
    std::mutex lock;
    bool loaded = false;
    Scenario scenario;
    std::vector<std::string> log;
    std::string logFile;
    bool listsCreated = false;
    bool initialised = false;
    SimCallbackFn callback = nullptr;
    void* callbackContext = nullptr;
    std::deque<PendingEvent> events;
    HANDLE thread = nullptr;
    HANDLE stopEvent = nullptr;
    HANDLE queueEvent = nullptr;
    HANDLE demandEvent = nullptr;
};

// Lives as long as the process; a DLL's statics may not be torn down while its thread runs.
SimState& State()
{
    static SimState* state = new SimState;
    return *state;
}

// The scenario's per-call delay, read without the lock so a slow call does not hold it.
std::atomic<uint32_t> g_delayMs{0};

std::vector<std::string> Tokens(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> tokens;
    std::string token;
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || parsed > 0xFFFFFFFFull || text[0] == '-')
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseSigned(const std::string& text, int32_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// The text after the first `skip` tokens and the single space that follows them.
std::string RestOfLine(const std::string& line, size_t skip)
{
    size_t pos = 0;
    for (size_t i = 0; i < skip; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        pos = line.find_first_of(" \t", pos);
        if (pos == std::string::npos)
            return std::string();
    }
    return line.substr(pos + 1);
}

std::vector<uint8_t> Utf16Bytes(const std::wstring& text, bool terminate)
{
    std::vector<uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    if (terminate) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* wide)
{
    if (wide == nullptr)
        return "(null)";
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.resize(static_cast<size_t>(n - 1));
    return text;
}

// One scenario line: its tokens, and the line itself for the texts that run to its end.
struct Line {
    const std::vector<std::string>& t;
    const std::string& text;
};

void DropDefaultLists(Scenario& s)
{
    s.lists[0].clear();
    s.lists[1].clear();
    s.recordsGiven = true;
}

bool ParseList(const std::string& text, uint32_t& list)
{
    return ParseUnsigned(text, list) && list <= 1;
}

// Calls `use` with every number from token `first` on; false at the first that is not one.
template <typename Use>
bool EachNumber(const Line& l, size_t first, Use use)
{
    for (size_t i = first; i < l.t.size(); ++i) {
        uint32_t value = 0;
        if (!ParseUnsigned(l.t[i], value))
            return false;
        use(value);
    }
    return true;
}

bool ReadNoDevice(Scenario& s, const Line&)
{
    DropDefaultLists(s);
    return true;
}

bool ReadRecord(Scenario& s, const Line& l)
{
    uint32_t list = 0;
    SimDeviceRecord record = {};
    if (!ParseList(l.t[1], list))
        return false;
    for (int i = 0; i < 4; ++i)
        if (!ParseSigned(l.t[2 + i], record.field[i]))
            return false;
    if (!s.recordsGiven)
        DropDefaultLists(s);
    s.lists[list].push_back(record);
    return true;
}

bool ReadCount(Scenario& s, const Line& l)
{
    uint32_t list = 0;
    if (!ParseList(l.t[1], list) || !ParseUnsigned(l.t[2], s.count[list]))
        return false;
    s.countGiven[list] = true;
    return true;
}

template <uint32_t Scenario::*Field>
bool ReadNumber(Scenario& s, const Line& l)
{
    return ParseUnsigned(l.t[1], s.*Field);
}

template <uint32_t (Scenario::*Event)[2]>
bool ReadEvent(Scenario& s, const Line& l)
{
    return ParseUnsigned(l.t[1], (s.*Event)[0]) && ParseUnsigned(l.t[2], (s.*Event)[1]);
}

bool ReadAcceptDepth(Scenario& s, const Line& l)
{
    s.acceptedDepths.clear();
    return EachNumber(l, 1, [&](uint32_t depth) { s.acceptedDepths.insert(depth); });
}

bool ReadRejectDepth(Scenario& s, const Line& l)
{
    return EachNumber(l, 1, [&](uint32_t depth) { s.acceptedDepths.erase(depth); });
}

bool ReadSupported(Scenario& s, const Line& l)
{
    uint32_t channels = 0;
    if (!ParseUnsigned(l.t[1], channels))
        return false;
    std::set<uint32_t>& rates = s.supportedRates[channels];
    rates.clear();
    return EachNumber(l, 2, [&](uint32_t rate) { rates.insert(rate); });
}

bool ReadUnsupportedRate(Scenario& s, const Line& l)
{
    return EachNumber(l, 1, [&](uint32_t rate) {
        for (auto& entry : s.supportedRates)
            entry.second.erase(rate);
    });
}

bool ReadSupportReply(Scenario& s, const Line& l)
{
    uint32_t rate = 0;
    if (!ParseUnsigned(l.t[1], rate))
        return false;
    s.supportReply[rate] = RestOfLine(l.text, 2);
    return true;
}

// fail get|set PROPERTY, fail GetDeviceCount [LIST], fail GetDeviceById [LIST [INDEX]].
bool ReadFail(Scenario& s, const Line& l)
{
    const std::vector<std::string>& t = l.t;
    if (t.size() == 3 && (t[1] == "get" || t[1] == "set")) {
        (t[1] == "get" ? s.failGet : s.failSet).insert(t[2]);
        return true;
    }
    const bool countCall = t[1] == "GetDeviceCount" && t.size() <= 3;
    const bool recordCall = t[1] == "GetDeviceById";
    if (!countCall && !recordCall)
        return false;
    uint32_t list = 0, index = 0;
    if ((t.size() >= 3 && !ParseList(t[2], list)) || (t.size() == 4 && !ParseUnsigned(t[3], index)))
        return false;
    std::string call = t[1];
    for (size_t i = 2; i < t.size(); ++i)
        call += " " + t[i];
    s.failCalls.insert(call);
    return true;
}

// The bytes of `reply PROPERTY utf16|ansi TEXT` or `reply PROPERTY fill|fill16 HEX N`.
bool ReplyBytes(const Line& l, std::vector<uint8_t>& bytes)
{
    const std::vector<std::string>& t = l.t;
    if (t[2] == "utf16") {
        bytes = Utf16Bytes(Widen(RestOfLine(l.text, 3)), true);
        return true;
    }
    if (t[2] == "ansi") {
        const std::string text = RestOfLine(l.text, 3);
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
        return true;
    }
    if ((t[2] != "fill" && t[2] != "fill16") || t.size() != 5)
        return false;
    uint32_t unit = 0, count = 0;
    if (!ParseUnsigned("0x" + t[3], unit) || !ParseUnsigned(t[4], count) || count > 1u << 20)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        if (t[2] == "fill16")
            bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
    }
    return true;
}

bool ReadReply(Scenario& s, const Line& l)
{
    std::vector<uint8_t> bytes;
    if (!ReplyBytes(l, bytes))
        return false;
    s.replies[l.t[1]] = bytes;
    return true;
}

bool ReadFeatures(Scenario& s, const Line& l)
{
    s.features = Widen(RestOfLine(l.text, 1));
    return true;
}

bool ReadEvents(Scenario& s, const Line& l)
{
    if (l.t[1] != "on" && l.t[1] != "off")
        return false;
    s.eventsOnSet = l.t[1] == "on";
    return true;
}

bool ReadEventDuring(Scenario& s, const Line& l)
{
    const std::vector<std::string>& t = l.t;
    RequestEvent event{t[1], 0, 0, 1};
    if (!ParseUnsigned(t[2], event.type) || !ParseUnsigned(t[3], event.code) ||
        (t.size() == 5 && !ParseUnsigned(t[4], event.remaining)))
        return false;
    s.requestEvents.push_back(event);
    return true;
}

bool ReadUninitEvent(Scenario& s, const Line& l)
{
    s.uninitEventGiven = true;
    return ReadEvent<&Scenario::uninitEvent>(s, l);
}

bool ReadDelay(Scenario& s, const Line& l)
{
    return ParseUnsigned(l.t[1], s.delayMs) && s.delayMs <= 60000;
}

const size_t kAnyCount = SIZE_MAX;

struct Keyword {
    const char* word;
    size_t minTokens, maxTokens;   // the keyword included
    bool (*read)(Scenario&, const Line&);
};

// Every scenario line; README.md's table gives each one's arguments and effect.
const Keyword kKeywords[] = {
    {"no-device", 1, 1, ReadNoDevice},                     // no-device
    {"record", 6, 6, ReadRecord},                          // record LIST ID TYPE RESERVED OUTPUT
    {"count", 3, 3, ReadCount},                            // count LIST N
    {"rate", 2, 2, ReadNumber<&Scenario::rate>},           // rate HZ
    {"depth", 2, 2, ReadNumber<&Scenario::depth>},         // depth BITS
    {"channels", 2, 2, ReadNumber<&Scenario::channels>},   // channels N
    {"accept-depth", 2, kAnyCount, ReadAcceptDepth},       // accept-depth BITS...
    {"reject-depth", 2, kAnyCount, ReadRejectDepth},       // reject-depth BITS...
    {"supported", 2, kAnyCount, ReadSupported},            // supported CHANNELS HZ...
    {"unsupported-rate", 2, kAnyCount, ReadUnsupportedRate},   // unsupported-rate HZ...
    {"support-reply", 2, kAnyCount, ReadSupportReply},     // support-reply HZ TEXT
    {"fail", 2, 4, ReadFail},                              // fail get|set|GetDeviceCount|GetDeviceById ...
    {"reply", 3, kAnyCount, ReadReply},                    // reply PROPERTY[@TYPE] utf16|ansi|fill|fill16 ...
    {"features", 1, kAnyCount, ReadFeatures},              // features TEXT
    {"events", 2, 2, ReadEvents},                          // events on|off
    {"format-event", 3, 3, ReadEvent<&Scenario::formatEvent>},   // format-event TYPE CODE
    {"demand-event", 3, 3, ReadEvent<&Scenario::demandEvent>},   // demand-event TYPE CODE
    {"event-during", 4, 5, ReadEventDuring},               // event-during PROPERTY[@TYPE] TYPE CODE [N]
    {"uninit-event", 3, 3, ReadUninitEvent},               // uninit-event TYPE CODE
    {"delay", 2, 2, ReadDelay},                            // delay MS
};

bool ParseLine(Scenario& s, const std::string& rawLine)
{
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const std::vector<std::string> t = Tokens(line);
    if (t.empty() || t[0][0] == '#')
        return true;
    for (const Keyword& keyword : kKeywords) {
        if (t[0] == keyword.word)
            return t.size() >= keyword.minTokens && t.size() <= keyword.maxTokens && keyword.read(s, Line{t, line});
    }
    return false;
}

int ParseScenario(Scenario& s, const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0, firstBad = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!ParseLine(s, line) && firstBad == 0)
            firstBad = lineNumber;
    }
    g_delayMs = s.delayMs;
    return firstBad;
}

// A slow driver: every entry point takes this long, outside the lock so events still flow.
void Delay()
{
    if (const uint32_t ms = g_delayMs.load())
        Sleep(ms);
}

// Called with the lock held.
void AddLog(SimState& st, const std::string& line)
{
    st.log.push_back(line);
    if (st.logFile.empty())
        return;
    if (FILE* f = std::fopen(st.logFile.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// Called with the lock held: the first use reads the scenario named by the environment.
void EnsureLoaded(SimState& st)
{
    if (st.loaded)
        return;
    st.loaded = true;
    st.scenario = DefaultScenario();
    if (const char* logFile = std::getenv(CONFLIB_SIM_LOG_ENV))
        st.logFile = logFile;
    const char* path = std::getenv(CONFLIB_SIM_SCENARIO_ENV);
    if (path == nullptr || *path == '\0')
        return;
    std::string text;
    if (FILE* f = std::fopen(path, "rb")) {
        char chunk[512];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
            text.append(chunk, n);
        std::fclose(f);
    } else {
        AddLog(st, std::string("scenario-missing ") + path);
        return;
    }
    if (const int bad = ParseScenario(st.scenario, text))
        AddLog(st, "scenario-error line " + std::to_string(bad));
}

DWORD WINAPI EventThread(LPVOID)
{
    SimState& st = State();
    HANDLE waits[3] = {st.stopEvent, st.queueEvent, st.demandEvent};
    const DWORD waitCount = st.demandEvent != nullptr ? 3 : 2;
    for (;;) {
        const DWORD which = WaitForMultipleObjects(waitCount, waits, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0)
            return 0;
        if (which == WAIT_OBJECT_0 + 2) {
            std::lock_guard<std::mutex> guard(st.lock);
            st.events.push_back({st.scenario.demandEvent[0], st.scenario.demandEvent[1], nullptr});
        } else if (which != WAIT_OBJECT_0 + 1) {
            return 1;
        }
        for (;;) {
            PendingEvent event;
            SimCallbackFn callback = nullptr;
            void* context = nullptr;
            {
                std::lock_guard<std::mutex> guard(st.lock);
                if (st.events.empty())
                    break;
                event = st.events.front();
                st.events.pop_front();
                callback = st.callback;
                context = st.callbackContext;
                if (callback != nullptr)
                    AddLog(st, "callback " + std::to_string(event.type) + " " + std::to_string(event.code));
            }
            // Outside the lock: the callback may call straight back into the library.
            if (callback != nullptr)
                callback(context, nullptr, event.type, event.code);
            if (event.done != nullptr)
                SetEvent(event.done);
        }
    }
}

// Called with the lock held.
void QueueEvent(SimState& st, uint32_t type, uint32_t code, HANDLE done)
{
    st.events.push_back({type, code, done});
    SetEvent(st.queueEvent);
}

// Called with the lock held (through `lock`): delivers an event on the event thread and waits,
// with the lock released, until the callback has returned.
void DeliverAndWait(SimState& st, std::unique_lock<std::mutex>& lock, uint32_t type, uint32_t code)
{
    if (st.thread == nullptr || st.callback == nullptr)
        return;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr)
        return;
    QueueEvent(st, type, code, done);
    lock.unlock();
    const bool delivered = WaitForSingleObject(done, kDeliveryTimeoutMs) == WAIT_OBJECT_0;
    lock.lock();
    // Undelivered, the thread still holds the handle in its queue entry: left to the process end.
    if (delivered)
        CloseHandle(done);
}

// Declared first in an entry point, so that the delay falls after the lock is released.
struct SlowAnswer {
    ~SlowAnswer() { Delay(); }
};

// A call outside ConfLibInit..ConfLibUnInit: its log line says so and it fails.
const char kNotInitialisedMark[] = " not-initialised";

void StartThread(SimState& st)
{
    if (st.thread != nullptr)
        return;
    st.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    st.queueEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    st.demandEvent = CreateEventA(nullptr, FALSE, FALSE, CONFLIB_SIM_EVENT_NAME);
    st.thread = CreateThread(nullptr, 0, EventThread, nullptr, 0, nullptr);
}

void StopThread(SimState& st)
{
    if (st.thread == nullptr)
        return;
    SetEvent(st.stopEvent);
    WaitForSingleObject(st.thread, INFINITE);
    for (HANDLE* h : {&st.thread, &st.stopEvent, &st.queueEvent, &st.demandEvent}) {
        if (*h != nullptr)
            CloseHandle(*h);
        *h = nullptr;
    }
    // Undelivered events die with the thread; wake anyone waiting on them.
    for (const PendingEvent& event : st.events)
        if (event.done != nullptr)
            SetEvent(event.done);
    st.events.clear();
}

std::string Hex(const uint8_t* bytes, size_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 15]);
    }
    return text;
}

// "null" for a missing pointer, else the hex of the bytes the property defines, with '*'
// when anything after them in the buffer is not zero (the panel clears what it hands over).
std::string DescribeBuffer(unsigned char** holder, size_t defined, size_t bufferBytes)
{
    if (holder == nullptr)
        return "null";
    if (*holder == nullptr)
        return "nullbuf";
    std::string text = Hex(*holder, defined);
    for (size_t i = defined; i < bufferBytes; ++i) {
        if ((*holder)[i] != 0) {
            text.push_back('*');
            break;
        }
    }
    return text;
}

struct PropertyLayout {
    size_t setValue;
    size_t setParam;
    size_t getParam;
    size_t buffer;
};

PropertyLayout LayoutOf(const std::string& name)
{
    if (name == "DevBitDepthControl" || name == "DevChannelNumControl")
        return {2, 0, 0, kReplyBufferBytes};
    if (name == "DevSampleRateControl" || name == "Enable_Channel_COPY_LFX")
        return {4, 0, 0, kReplyBufferBytes};
    if (name == "DeviceSpecificControl")
        return {4, 4, 4, kReplyBufferBytes};
    if (name == "IsSupportFormat")
        return {0, 0, 8, kReplyBufferBytes};
    if (name == "GetSupportFeature")
        return {0, 0, 0, kFeatureBufferBytes};
    return {0, 0, 0, kReplyBufferBytes};
}

// The first of the keys that is present ("Property@type" before "Property"), or "".
std::string FirstListed(const std::set<std::string>& keys, std::initializer_list<std::string> candidates)
{
    for (const std::string& key : candidates)
        if (keys.count(key) > 0)
            return key;
    return std::string();
}

// An injected failure or oddity is about to answer: the log says which scenario entry struck,
// so that a test can tell an injection that never met the program from one that did.
void Struck(SimState& st, const std::string& entry)
{
    AddLog(st, "injected " + entry);
}

// A `fail get|set` line naming this property, struck when there is one.
bool RequestFails(SimState& st, const std::set<std::string>& keys, const char* direction, const std::string& name, int32_t type)
{
    const std::string key = FirstListed(keys, {name + "@" + std::to_string(type), name});
    if (!key.empty())
        Struck(st, std::string("fail ") + direction + " " + key);
    return !key.empty();
}

// A `fail GetDeviceCount|GetDeviceById` line naming this call: bare, by list, or by list and
// index; struck when there is one.
bool CallFails(SimState& st, const std::string& call, int32_t list, int32_t index = -1)
{
    const std::string byList = call + " " + std::to_string(list);
    const std::string key =
        FirstListed(st.scenario.failCalls, {call, byList, index >= 0 ? byList + " " + std::to_string(index) : call});
    if (!key.empty())
        Struck(st, "fail " + key);
    return !key.empty();
}

// The reply never runs past the panel's buffer: a longer one is cut off without terminator.
void WriteReply(unsigned char* buffer, size_t bufferBytes, const std::vector<uint8_t>& bytes)
{
    std::memcpy(buffer, bytes.data(), bytes.size() < bufferBytes ? bytes.size() : bufferBytes);
}

std::vector<uint8_t> Utf16Decimal(uint32_t value)
{
    return Utf16Bytes(std::to_wstring(value), true);
}

std::vector<uint8_t> AnsiText(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

template <typename T>
T ReadValue(const unsigned char* buffer)
{
    T value = 0;
    std::memcpy(&value, buffer, sizeof(T));
    return value;
}

// Called with the lock held.
int32_t GetProperty(SimState& st, const std::string& name, int32_t type, unsigned char* reply,
                    unsigned char** param, size_t bufferBytes)
{
    Scenario& s = st.scenario;
    if (RequestFails(st, s.failGet, "get", name, type))
        return kRefused;
    auto fixed = s.replies.find(name + "@" + std::to_string(type));
    if (fixed == s.replies.end())
        fixed = s.replies.find(name);
    if (fixed != s.replies.end()) {
        Struck(st, "reply " + fixed->first);
        WriteReply(reply, bufferBytes, fixed->second);
        return kOk;
    }

    std::vector<uint8_t> bytes;
    if (name == "DevSampleRateControl") {
        bytes = Utf16Decimal(s.rate);
    } else if (name == "DevBitDepthControl") {
        bytes = Utf16Decimal(s.depth);
    } else if (name == "DevChannelNumControl") {
        bytes = AnsiText(std::to_string(s.channels));
    } else if (name == "Enable_Channel_COPY_LFX") {
        bytes = Utf16Decimal(s.channelCopyLfx);
    } else if (name == "DeviceSpecificControl") {
        bytes = Utf16Decimal(s.deviceSpecific);
    } else if (name == "GetSupportFeature") {
        bytes = Utf16Bytes(s.features, true);
    } else if (name == "IsSupportFormat") {
        if (param == nullptr || *param == nullptr)
            return kBadArgument;
        const uint16_t channels = ReadValue<uint16_t>(*param);
        const uint16_t bits = ReadValue<uint16_t>(*param + 2);
        const uint32_t rate = ReadValue<uint32_t>(*param + 4);
        auto special = s.supportReply.find(rate);
        if (special != s.supportReply.end()) {
            Struck(st, "support-reply " + std::to_string(rate));
            bytes = AnsiText(special->second);
        } else {
            auto rates = s.supportedRates.find(channels);
            const bool supported = rates != s.supportedRates.end() && rates->second.count(rate) > 0 &&
                                   (bits == 16 || s.acceptedDepths.count(bits) > 0);
            bytes = AnsiText(supported ? "1" : "0");
        }
    } else {
        return kUnknown;
    }
    WriteReply(reply, bufferBytes, bytes);
    return kOk;
}

// Called with the lock held.
int32_t SetProperty(SimState& st, const std::string& name, int32_t type, const unsigned char* value,
                    unsigned char** param)
{
    Scenario& s = st.scenario;
    if (RequestFails(st, s.failSet, "set", name, type))
        return kRefused;
    if (name == "DevBitDepthControl") {
        const uint16_t depth = ReadValue<uint16_t>(value);
        if (s.acceptedDepths.count(depth) == 0)
            return kRefused;
        s.depth = depth;
    } else if (name == "DevSampleRateControl") {
        const uint32_t rate = ReadValue<uint32_t>(value);
        auto rates = s.supportedRates.find(s.channels);
        if (rates == s.supportedRates.end() || rates->second.count(rate) == 0)
            return kRefused;
        s.rate = rate;
    } else if (name == "DevChannelNumControl") {
        const uint16_t channels = ReadValue<uint16_t>(value);
        if (channels < 1 || channels > 8)
            return kRefused;
        s.channels = channels;
    } else if (name == "Enable_Channel_COPY_LFX") {
        s.channelCopyLfx = ReadValue<uint32_t>(value);
    } else if (name == "DeviceSpecificControl") {
        if (param == nullptr || *param == nullptr)
            return kBadArgument;
        s.deviceSpecific = ReadValue<uint32_t>(value);
    } else {
        return kUnknown;
    }
    // Like the driver, an accepted format set is announced whether or not it changed anything.
    if (s.eventsOnSet && st.callback != nullptr && st.thread != nullptr &&
        (name == "DevBitDepthControl" || name == "DevSampleRateControl" || name == "DevChannelNumControl"))
        QueueEvent(st, s.formatEvent[0], s.formatEvent[1], nullptr);
    return kOk;
}

}  // namespace

CONFLIB_API int32_t ConfLibInit()
{
    SlowAnswer slow;
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    AddLog(st, "ConfLibInit");
    st.initialised = true;
    StartThread(st);
    return kOk;
}

CONFLIB_API int32_t CreateDeviceList()
{
    SlowAnswer slow;
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    if (!st.initialised) {
        AddLog(st, std::string("CreateDeviceList") + kNotInitialisedMark);
        return kNotInitialised;
    }
    AddLog(st, "CreateDeviceList");
    st.listsCreated = true;
    return kOk;
}

CONFLIB_API int32_t GetDeviceCount(int32_t list, uint32_t* count)
{
    SlowAnswer slow;
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    uint32_t n = 0;
    int32_t result = kOk;
    if (list < 0 || list > 1 || count == nullptr) {
        result = kBadArgument;
    } else if (!st.initialised) {
        *count = 0;
        result = kNotInitialised;
    } else if (CallFails(st, "GetDeviceCount", list)) {
        result = kRefused;   // and nothing written
    } else {
        const Scenario& s = st.scenario;
        if (st.listsCreated && s.countGiven[list])
            Struck(st, "count " + std::to_string(list));
        if (st.listsCreated)
            n = s.countGiven[list] ? s.count[list] : static_cast<uint32_t>(s.lists[list].size());
        *count = n;
    }
    AddLog(st, "GetDeviceCount " + std::to_string(list) + " -> " +
                   (result == kRefused ? std::string("error 1") : std::to_string(n)) +
                   (st.initialised ? "" : kNotInitialisedMark));
    return result;
}

CONFLIB_API int32_t GetDeviceById(int32_t list, int32_t index, SimDeviceRecord* record)
{
    SlowAnswer slow;
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    int32_t result = kBadArgument;
    if (list >= 0 && list <= 1 && record != nullptr && CallFails(st, "GetDeviceById", list, index)) {
        result = kRefused;   // and nothing written
    } else if (list >= 0 && list <= 1 && record != nullptr && st.listsCreated && index >= 0 &&
               static_cast<size_t>(index) < st.scenario.lists[list].size()) {
        *record = st.scenario.lists[list][static_cast<size_t>(index)];
        result = kOk;
    }
    if (!st.initialised)
        result = kNotInitialised;
    AddLog(st, "GetDeviceById " + std::to_string(list) + " " + std::to_string(index) + " -> " +
                   std::to_string(result) + (st.initialised ? "" : kNotInitialisedMark));
    return result;
}

CONFLIB_API int32_t PropertyControl(SimDeviceRecord record, const wchar_t* property, unsigned char** value,
                                    unsigned char** param, uint8_t direction)
{
    SlowAnswer slow;
    SimState& st = State();
    std::unique_lock<std::mutex> lock(st.lock);
    EnsureLoaded(st);
    const std::string name = Narrow(property);
    const PropertyLayout layout = LayoutOf(name);
    const bool set = direction == 1;

    std::string line = "PropertyControl ";
    line += direction == 0 ? "get " : direction == 1 ? "set " : "dir" + std::to_string(direction) + " ";
    line += name + " dev=" + std::to_string(record.field[0]) + "," + std::to_string(record.field[1]) + "," +
            std::to_string(record.field[2]) + "," + std::to_string(record.field[3]);
    line += " value=" + DescribeBuffer(value, set ? layout.setValue : 0, layout.buffer);
    line += " param=" + DescribeBuffer(param, set ? layout.setParam : layout.getParam, layout.buffer);

    int32_t result = kBadArgument;
    if (!st.initialised) {
        result = kNotInitialised;
        line += kNotInitialisedMark;
    } else if (property != nullptr && value != nullptr && *value != nullptr && direction <= 1) {
        if (set)
            result = SetProperty(st, name, record.field[1], *value, param);
        else
            result = GetProperty(st, name, record.field[1], *value, param, layout.buffer);
    }
    // An event that arrives while this request is in progress: its callback has run (and
    // logged) before the request answers.
    for (RequestEvent& event : st.scenario.requestEvents) {
        if (event.remaining == 0 ||
            (event.property != name && event.property != name + "@" + std::to_string(record.field[1])))
            continue;
        --event.remaining;
        Struck(st, "event-during " + event.property);
        DeliverAndWait(st, lock, event.type, event.code);
        break;
    }
    AddLog(st, line + " -> " + std::to_string(result));
    return result;
}

CONFLIB_API int32_t RegisterCallbackFunction(SimCallbackFn callback, void* context)
{
    SlowAnswer slow;
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    if (!st.initialised) {
        AddLog(st, std::string("RegisterCallbackFunction") + kNotInitialisedMark);
        return kNotInitialised;
    }
    AddLog(st, "RegisterCallbackFunction");
    st.callback = callback;
    st.callbackContext = context;
    return kOk;
}

CONFLIB_API int32_t ConfLibUnInit()
{
    SlowAnswer slow;
    SimState& st = State();
    HANDLE thread = nullptr;
    {
        std::unique_lock<std::mutex> lock(st.lock);
        EnsureLoaded(st);
        if (st.scenario.uninitEventGiven)
            Struck(st, "uninit-event");
        AddLog(st, "ConfLibUnInit");
        // The library's thread calls back while the shut-down is under way.
        if (st.scenario.uninitEventGiven)
            DeliverAndWait(st, lock, st.scenario.uninitEvent[0], st.scenario.uninitEvent[1]);
        st.initialised = false;
        st.listsCreated = false;
        st.callback = nullptr;
        thread = st.thread;
    }
    // The event thread takes the lock itself, so it is stopped outside it.
    if (thread != nullptr)
        StopThread(st);
    return kOk;
}

CONFLIB_API int SimLoadScenario(const char* text)
{
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    st.scenario = DefaultScenario();
    st.log.clear();
    st.initialised = false;
    st.listsCreated = false;
    st.callback = nullptr;
    st.callbackContext = nullptr;
    g_delayMs = 0;
    return text != nullptr ? ParseScenario(st.scenario, text) : 0;
}

CONFLIB_API size_t SimGetCallLog(char* buffer, size_t size)
{
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    std::string text;
    for (const std::string& line : st.log)
        text += line + "\n";
    if (buffer != nullptr && size > 0) {
        const size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text.size() + 1;
}

CONFLIB_API void SimClearCallLog()
{
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    st.log.clear();
}

CONFLIB_API int SimFireEvent(uint32_t eventType, uint32_t eventCode)
{
    SimState& st = State();
    HANDLE done = nullptr;
    {
        std::lock_guard<std::mutex> guard(st.lock);
        EnsureLoaded(st);
        if (st.thread == nullptr)
            return 2;
        if (st.callback == nullptr)
            return 1;
        done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (done == nullptr)
            return 3;
        QueueEvent(st, eventType, eventCode, done);
    }
    const DWORD waited = WaitForSingleObject(done, 5000);
    if (waited != WAIT_OBJECT_0) {
        // The thread still holds the handle in its queue entry; leave it to the process end.
        return 3;
    }
    CloseHandle(done);
    return 0;
}

CONFLIB_API int SimGetFormat(uint32_t* rateHz, uint32_t* bitDepth, uint32_t* channels)
{
    SimState& st = State();
    std::lock_guard<std::mutex> guard(st.lock);
    EnsureLoaded(st);
    if (rateHz != nullptr)
        *rateHz = st.scenario.rate;
    if (bitDepth != nullptr)
        *bitDepth = st.scenario.depth;
    if (channels != nullptr)
        *channels = st.scenario.channels;
    return 0;
}
