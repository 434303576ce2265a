#include "sim/coreaudio/SimShared.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <sstream>

namespace CoreAudioSim {

namespace {

constexpr DWORD kLockTimeoutMs = 5000;
// A watcher that has not read for this long is taken to be stuck: the writer goes on and
// that watcher loses the oldest changes (counted in its slot) rather than block everyone.
constexpr DWORD kRoomTimeoutMs = 10000;

const char* const kFaultNames[kFaultCount] = {
    "CreateEnumerator",
    "EnumAudioEndpoints",
    "GetCount",
    "Item",
    "GetId",
    "GetDefaultAudioEndpoint.console",
    "GetDefaultAudioEndpoint.multimedia",
    "GetDefaultAudioEndpoint.communications",
    "GetDevice",
    "Activate.IAudioEndpointVolume",
    "Activate.IDeviceTopology",
    "OpenPropertyStore",
    "GetValue",
    "GetConnector",
    "GetConnectedTo",
    "Connector.QueryInterface.IPart",
    "GetTopologyObject",
    "GetSubunitCount",
    "GetSubunit",
    "Subunit.QueryInterface.IPart",
    "Part.Activate",
    "RegisterControlChangeCallback",
    "RegisterControlChangeNotify",
    "RegisterEndpointNotificationCallback",
    "GetChannelVolumeLevelScalar",
    "SetChannelVolumeLevelScalar",
    "GetMute",
    "SetMute",
};

void WakeWatchers(const DWORD (&listeners)[kMaxListeners])
{
    for (DWORD pid : listeners) {
        if (pid == 0)
            continue;
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, WatchEventName(pid).c_str());
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
}

void ListenerIds(const SharedBlock& block, DWORD (&listeners)[kMaxListeners])
{
    for (uint32_t i = 0; i < kMaxListeners; ++i)
        listeners[i] = block.listeners[i].processId;
}

SharedEvent& NewEvent(SharedBlock& block, EventKind kind, const std::wstring& endpointId)
{
    uint64_t sequence = block.nextSequence == 0 ? 1 : block.nextSequence;
    block.nextSequence = sequence + 1;
    SharedEvent& event = block.events[sequence % kEventRing];
    std::memset(&event, 0, sizeof(event));
    event.sequence = sequence;
    event.kind = kind;
    event.processId = GetCurrentProcessId();
    event.life = EndpointLife(block, endpointId);
    WriteFixed(event.endpointId, endpointId);
    return event;
}

uint32_t NewLife(SharedBlock& block)
{
    if (++block.lastLife > UINT32_MAX)
        block.lastLife = 1;
    return static_cast<uint32_t>(block.lastLife);
}

void LogCall(SharedBlock& block, CallKind kind, bool viaControl, const std::wstring& endpointId, uint32_t channel,
             uint32_t subunit, float value, const GUID* context, HRESULT result)
{
    uint64_t n = block.callCount++;
    SharedCall& call = block.calls[n % kCallRing];
    std::memset(&call, 0, sizeof(call));
    call.sequence = n + 1;
    call.kind = kind;
    call.viaControl = viaControl ? 1 : 0;
    call.processId = GetCurrentProcessId();
    call.channel = channel;
    call.subunit = subunit;
    call.value = value;
    call.context = context ? *context : GUID_NULL;
    call.result = result;
    WriteFixed(call.endpointId, endpointId);
}

void AppendVolumeEvent(SharedBlock& block, int index, const GUID* context)
{
    const SharedEndpoint& endpoint = block.endpoints[index];
    SharedEvent& event = NewEvent(block, kEventVolume, ReadFixed(endpoint.id));
    event.context = context ? *context : GUID_NULL;
    event.hasContext = 1;
    event.mute = endpoint.mute ? 1 : 0;
    event.master = MasterOf(endpoint);
    event.channels = ChannelCount(endpoint);
    for (uint32_t c = 0; c < event.channels; ++c)
        event.levels[c] = LevelOf(endpoint, c);
}

bool ValidIndex(const SharedBlock& block, int index)
{
    return index >= 0 && static_cast<uint32_t>(index) < EndpointCount(block);
}

bool ValidLevel(float level)
{
    return std::isfinite(level) && level >= 0.0f && level <= 1.0f;
}

// Picks the endpoint that takes over a default role: the first active one of the flow.
int FirstActive(const SharedBlock& block, SimFlow flow, int except)
{
    for (uint32_t i = 0; i < EndpointCount(block); ++i) {
        const SharedEndpoint& endpoint = block.endpoints[i];
        if (static_cast<int>(i) != except && FlowOf(endpoint) == flow && endpoint.state == DEVICE_STATE_ACTIVE)
            return static_cast<int>(i);
    }
    return -1;
}

void ChangeDefault(SharedBlock& block, SimFlow flow, int role, const std::wstring& id)
{
    WriteFixed(block.defaults[flow][role], id);
    SharedEvent& event = NewEvent(block, kEventDefault, id);
    event.flow = flow;
    event.role = role;
}

void WriteEndpoint(SharedEndpoint& endpoint, const EndpointInfo& info, uint32_t life)
{
    std::memset(&endpoint, 0, sizeof(endpoint));
    endpoint.life = life;
    WriteFixed(endpoint.id, info.id);
    WriteFixed(endpoint.name, info.name);
    endpoint.flow = info.flow;
    endpoint.state = info.state;
    endpoint.channels = std::clamp(info.channels, 1u, kMaxChannels);
    for (uint32_t c = 0; c < endpoint.channels; ++c) {
        float level = c < info.levels.size() ? info.levels[c] : (info.levels.empty() ? 1.0f : info.levels.back());
        endpoint.levels[c] = ValidLevel(level) ? level : 1.0f;
    }
    endpoint.mute = info.mute ? 1 : 0;
    endpoint.fail = info.fail;
    endpoint.subunitCount = static_cast<uint32_t>(std::min<size_t>(info.subunits.size(), kMaxSubunits));
    for (uint32_t s = 0; s < endpoint.subunitCount; ++s) {
        const SubunitInfo& subunit = info.subunits[s];
        endpoint.subunits[s] = SharedSubunit{subunit.controls, subunit.failRegister, subunit.mute ? 1u : 0u,
                                             subunit.autoGain ? 1u : 0u, subunit.selection, subunit.levelDb};
    }
}

}  // namespace

// ---- Shared block ----------------------------------------------------------------------

CSharedState& CSharedState::Instance()
{
    // Kept for the process's life: the watcher thread and every COM object use the mapping.
    static CSharedState* state = new CSharedState();
    return *state;
}

CSharedState::CSharedState()
{
    m_mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (!m_mutex)
        return;
    DWORD wait = WaitForSingleObject(m_mutex, kLockTimeoutMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
        return;
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   static_cast<DWORD>(sizeof(SharedBlock)), kMappingName);
    bool created = m_mapping && GetLastError() != ERROR_ALREADY_EXISTS;
    if (m_mapping) {
        m_block = static_cast<SharedBlock*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedBlock)));
        if (m_block && (created || m_block->magic != kSharedMagic || m_block->version != kSharedVersion)) {
            std::memset(m_block, 0, sizeof(SharedBlock));
            m_block->magic = kSharedMagic;
            m_block->version = kSharedVersion;
            m_block->nextSequence = 1;
            ResetLocked(*m_block);
        }
    }
    ReleaseMutex(m_mutex);
}

CSimLock::CSimLock(Purpose purpose)
{
    CSharedState& state = CSharedState::Instance();
    if (!state.Block())
        return;
    const DWORD start = GetTickCount();
    for (DWORD round = 0;; ++round) {
        DWORD wait = WaitForSingleObject(state.Mutex(), kLockTimeoutMs);
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
            return;
        if (purpose == kRead || !RingFullLocked(*state.Block()) || GetTickCount() - start >= kRoomTimeoutMs)
            break;
        // Every change is delivered, as on Windows: wait for the slowest watcher to read.
        DWORD listeners[kMaxListeners];
        ListenerIds(*state.Block(), listeners);
        ReleaseMutex(state.Mutex());
        if (round % 32 == 0)
            WakeWatchers(listeners);
        Sleep(1);
    }
    m_block = state.Block();
    m_startSequence = m_block->nextSequence;
}

CSimLock::~CSimLock()
{
    if (!m_block)
        return;
    DWORD listeners[kMaxListeners] = {};
    bool changed = m_changed || m_block->nextSequence != m_startSequence;
    if (changed)
        ListenerIds(*m_block, listeners);
    ReleaseMutex(CSharedState::Instance().Mutex());
    if (changed)
        WakeWatchers(listeners);
}

bool ProcessAlive(DWORD processId)
{
    if (processId == 0)
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return false;
    bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

bool RingFullLocked(const SharedBlock& block)
{
    const uint64_t head = block.nextSequence;
    for (const SharedListener& listener : block.listeners) {
        // A mark ahead of the log is garbage, not a watcher that is behind.
        if (listener.processId == 0 || listener.read > head)
            continue;
        if (head - listener.read + kEventsPerChangeMax > kEventRing && ProcessAlive(listener.processId))
            return true;
    }
    return false;
}

bool IsFaultForm(uint32_t mode)
{
    return mode == kFaultFail || mode == kFaultNull || mode == kFaultDelay;
}

FaultMode TakeFaultLocked(SharedBlock& block, SimFault fault, HRESULT& hr)
{
    if (fault >= kFaultCount)
        return kFaultOff;
    SharedFault& entry = block.faults[fault];
    ++entry.calls;
    if (!IsFaultForm(entry.mode))
        return kFaultOff;
    if (entry.skip > 0) {
        --entry.skip;
        return kFaultOff;
    }
    FaultMode mode = static_cast<FaultMode>(entry.mode);
    // A success code would not be a failure: such a garbled entry fails with E_FAIL.
    if (mode != kFaultDelay)
        hr = SUCCEEDED(entry.hr) ? E_FAIL : entry.hr;
    ++entry.hits;
    if (entry.count > 0 && --entry.count == 0)
        entry.mode = kFaultOff;
    return mode;
}

const char* FaultName(SimFault fault)
{
    return fault < kFaultCount ? kFaultNames[fault] : nullptr;
}

SimFault FaultFromName(const std::string& name)
{
    for (uint32_t i = 0; i < kFaultCount; ++i) {
        if (_stricmp(name.c_str(), kFaultNames[i]) == 0)
            return static_cast<SimFault>(i);
    }
    return kFaultCount;
}

void WriteFaultLocked(SharedBlock& block, SimFault fault, const FaultSpec& setting)
{
    if (fault >= kFaultCount)
        return;
    SharedFault& entry = block.faults[fault];
    entry = SharedFault{};
    entry.mode = IsFaultForm(setting.mode) ? setting.mode : kFaultOff;
    entry.hr = setting.hr;
    entry.skip = setting.skip;
    entry.count = setting.count;
    entry.delayMs = setting.delayMs;
}

// ---- Bounded readers ---------------------------------------------------------------------

std::wstring ReadFixed(const wchar_t* text, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && text[length] != L'\0')
        ++length;
    if (length == capacity)
        --length;  // unterminated: drop the last unit rather than read past the field
    return std::wstring(text, length);
}

void WriteFixed(wchar_t* target, size_t capacity, const std::wstring& text)
{
    size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(target, text.data(), length * sizeof(wchar_t));
    std::memset(target + length, 0, (capacity - length) * sizeof(wchar_t));
}

uint32_t EndpointCount(const SharedBlock& block)
{
    return std::min(block.endpointCount, kMaxEndpoints);
}

uint32_t ChannelCount(const SharedEndpoint& endpoint)
{
    return std::clamp(endpoint.channels, 1u, kMaxChannels);
}

uint32_t SubunitCount(const SharedEndpoint& endpoint)
{
    return std::min(endpoint.subunitCount, kMaxSubunits);
}

SimFlow FlowOf(const SharedEndpoint& endpoint)
{
    return endpoint.flow == kFlowCapture ? kFlowCapture : kFlowRender;
}

float LevelOf(const SharedEndpoint& endpoint, uint32_t channel)
{
    if (channel >= kMaxChannels)
        return 0.0f;
    float level = endpoint.levels[channel];
    if (!std::isfinite(level))
        return 0.0f;
    return std::clamp(level, 0.0f, 1.0f);
}

float MasterOf(const SharedEndpoint& endpoint)
{
    float master = 0.0f;
    for (uint32_t c = 0; c < ChannelCount(endpoint); ++c)
        master = std::max(master, LevelOf(endpoint, c));
    return master;
}

int FindEndpointById(const SharedBlock& block, const std::wstring& id)
{
    if (id.empty())
        return -1;
    for (uint32_t i = 0; i < EndpointCount(block); ++i) {
        if (ReadFixed(block.endpoints[i].id) == id)
            return static_cast<int>(i);
    }
    return -1;
}

int FindEndpointLife(const SharedBlock& block, const std::wstring& id, uint32_t life)
{
    int index = FindEndpointById(block, id);
    return index >= 0 && block.endpoints[index].life == life ? index : -1;
}

uint32_t EndpointLife(const SharedBlock& block, const std::wstring& id)
{
    int index = FindEndpointById(block, id);
    return index >= 0 ? block.endpoints[index].life : 0;
}

int SelectEndpoint(const SharedBlock& block, const std::wstring& selector)
{
    if (selector.empty())
        return -1;
    if (selector.find_first_not_of(L"0123456789") == std::wstring::npos && selector.size() < 6) {
        int index = std::stoi(selector);
        return ValidIndex(block, index) ? index : -1;
    }
    int byId = FindEndpointById(block, selector);
    if (byId >= 0)
        return byId;
    for (uint32_t i = 0; i < EndpointCount(block); ++i) {
        if (ReadFixed(block.endpoints[i].name) == selector)
            return static_cast<int>(i);
    }
    auto lower = [](std::wstring text) {
        for (wchar_t& ch : text)
            ch = static_cast<wchar_t>(towlower(ch));
        return text;
    };
    std::wstring wanted = lower(selector);
    for (uint32_t i = 0; i < EndpointCount(block); ++i) {
        if (lower(ReadFixed(block.endpoints[i].name)).find(wanted) != std::wstring::npos)
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring DefaultId(const SharedBlock& block, SimFlow flow, int role)
{
    if (role < 0 || role > 2)
        return std::wstring();
    return ReadFixed(block.defaults[flow == kFlowCapture ? 1 : 0][role]);
}

void ReadEndpoint(const SharedBlock& block, int index, EndpointInfo& info)
{
    info = EndpointInfo();
    if (!ValidIndex(block, index))
        return;
    const SharedEndpoint& endpoint = block.endpoints[index];
    info.id = ReadFixed(endpoint.id);
    info.name = ReadFixed(endpoint.name);
    info.flow = FlowOf(endpoint);
    info.state = endpoint.state;
    info.channels = ChannelCount(endpoint);
    for (uint32_t c = 0; c < info.channels; ++c)
        info.levels.push_back(LevelOf(endpoint, c));
    info.mute = endpoint.mute != 0;
    info.fail = endpoint.fail;
    for (uint32_t s = 0; s < SubunitCount(endpoint); ++s) {
        const SharedSubunit& shared = endpoint.subunits[s];
        SubunitInfo subunit;
        subunit.controls = shared.controls & 0xF;
        subunit.failRegister = shared.failRegister & 0xF;
        subunit.mute = shared.mute != 0;
        subunit.autoGain = shared.autoGain != 0;
        subunit.selection = shared.selection;
        subunit.levelDb = std::isfinite(shared.levelDb) ? shared.levelDb : 0.0f;
        info.subunits.push_back(subunit);
    }
}

void ReadStateLocked(const SharedBlock& block, SimState& state)
{
    state = SimState();
    for (uint32_t i = 0; i < EndpointCount(block); ++i) {
        EndpointInfo info;
        ReadEndpoint(block, static_cast<int>(i), info);
        state.endpoints.push_back(info);
    }
    for (int flow = 0; flow < 2; ++flow) {
        for (int role = 0; role < 3; ++role)
            state.defaults[flow][role] = ReadFixed(block.defaults[flow][role]);
    }
    for (uint32_t f = 0; f < kFaultCount; ++f) {
        const SharedFault& entry = block.faults[f];
        FaultSpec& setting = state.faults[f];
        setting.mode = IsFaultForm(entry.mode) ? static_cast<FaultMode>(entry.mode) : kFaultOff;
        setting.hr = entry.hr;
        setting.skip = entry.skip;
        setting.count = entry.count;
        setting.delayMs = entry.delayMs;
    }
    state.serialDelivery = block.serialDelivery != 0;
}

// ---- Whole state -------------------------------------------------------------------------

void WriteStateLocked(SharedBlock& block, const SimState& state)
{
    const size_t payload = sizeof(SharedBlock) - kPayloadOffset;
    // An endpoint that stays keeps its life, so that what callers hold follows its ID.
    std::vector<std::pair<std::wstring, uint32_t>> lives;
    for (uint32_t i = 0; i < EndpointCount(block); ++i)
        lives.emplace_back(ReadFixed(block.endpoints[i].id), block.endpoints[i].life);
    // Listener slots belong to the running watchers, not to the scenario.
    SharedListener listeners[kMaxListeners];
    std::memcpy(listeners, block.listeners, sizeof(listeners));
    std::memset(reinterpret_cast<char*>(&block) + kPayloadOffset, 0, payload);
    std::memcpy(block.listeners, listeners, sizeof(listeners));
    for (SharedListener& listener : block.listeners) {
        // A garbled delivery mark would let a waiter believe a change was already delivered.
        if (listener.delivered > block.nextSequence)
            listener.delivered = 0;
        if (listener.read > block.nextSequence)
            listener.read = block.nextSequence;
    }
    for (uint32_t f = 0; f < kFaultCount; ++f)
        WriteFaultLocked(block, static_cast<SimFault>(f), state.faults[f]);
    block.serialDelivery = state.serialDelivery ? 1 : 0;

    uint32_t count = static_cast<uint32_t>(std::min<size_t>(state.endpoints.size(), kMaxEndpoints));
    block.endpointCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        auto kept = std::find_if(lives.begin(), lives.end(), [&](const auto& entry) { return entry.first == state.endpoints[i].id; });
        WriteEndpoint(block.endpoints[i], state.endpoints[i], kept != lives.end() && kept->second != 0 ? kept->second : NewLife(block));
    }
    for (int flow = 0; flow < 2; ++flow) {
        for (int role = 0; role < 3; ++role)
            WriteFixed(block.defaults[flow][role], state.defaults[flow][role]);
    }
}

void ResetLocked(SharedBlock& block)
{
    WriteStateLocked(block, InitialState());
}

// ---- Changes -----------------------------------------------------------------------------

HRESULT SetChannelLevelLocked(SharedBlock& block, int index, uint32_t channel, float level, const GUID* context, bool viaControl)
{
    if (!ValidIndex(block, index))
        return AUDCLNT_E_DEVICE_INVALIDATED;
    SharedEndpoint& endpoint = block.endpoints[index];
    std::wstring id = ReadFixed(endpoint.id);
    HRESULT hr = S_OK;
    if (!viaControl && (endpoint.fail & kFailSetLevel))
        hr = E_FAIL;
    else if (channel >= ChannelCount(endpoint) || !ValidLevel(level))
        hr = E_INVALIDARG;
    LogCall(block, kCallSetChannelLevel, viaControl, id, channel, 0, level, context, hr);
    if (FAILED(hr))
        return hr;
    if (endpoint.levels[channel] != level) {
        endpoint.levels[channel] = level;
        AppendVolumeEvent(block, index, context);
    }
    return S_OK;
}

HRESULT SetMasterLevelLocked(SharedBlock& block, int index, float level, const GUID* context, bool viaControl)
{
    if (!ValidIndex(block, index))
        return AUDCLNT_E_DEVICE_INVALIDATED;
    SharedEndpoint& endpoint = block.endpoints[index];
    HRESULT hr = S_OK;
    if (!viaControl && (endpoint.fail & kFailSetLevel))
        hr = E_FAIL;
    else if (!ValidLevel(level))
        hr = E_INVALIDARG;
    LogCall(block, kCallSetMasterLevel, viaControl, ReadFixed(endpoint.id), 0, 0, level, context, hr);
    if (FAILED(hr))
        return hr;
    // The master is the loudest channel; moving it keeps the balance between the channels.
    float master = MasterOf(endpoint);
    bool changed = false;
    for (uint32_t c = 0; c < ChannelCount(endpoint); ++c) {
        float next = master > 0.0f ? std::clamp(LevelOf(endpoint, c) * level / master, 0.0f, 1.0f) : level;
        if (endpoint.levels[c] != next) {
            endpoint.levels[c] = next;
            changed = true;
        }
    }
    if (changed)
        AppendVolumeEvent(block, index, context);
    return S_OK;
}

HRESULT SetMuteLocked(SharedBlock& block, int index, bool mute, const GUID* context, bool viaControl)
{
    if (!ValidIndex(block, index))
        return AUDCLNT_E_DEVICE_INVALIDATED;
    SharedEndpoint& endpoint = block.endpoints[index];
    HRESULT hr = (!viaControl && (endpoint.fail & kFailSetLevel)) ? E_FAIL : S_OK;
    if (SUCCEEDED(hr) && (endpoint.mute != 0) == mute)
        hr = S_FALSE;  // as Windows: no change, no notification
    LogCall(block, kCallSetMute, viaControl, ReadFixed(endpoint.id), 0, 0, mute ? 1.0f : 0.0f, context, hr);
    if (hr != S_OK)
        return hr;
    endpoint.mute = mute ? 1 : 0;
    AppendVolumeEvent(block, index, context);
    return S_OK;
}

HRESULT SetDefaultLocked(SharedBlock& block, int index, SimFlow flow, SimRole role, bool viaControl)
{
    if (index >= 0 && !ValidIndex(block, index))
        return kE_NotFound;
    if (role != kRoleAll && (role < kRoleConsole || role > kRoleCommunications))
        return E_INVALIDARG;
    std::wstring id = index >= 0 ? ReadFixed(block.endpoints[index].id) : std::wstring();
    HRESULT hr = S_OK;
    if (index >= 0 && FlowOf(block.endpoints[index]) != flow)
        hr = E_INVALIDARG;
    LogCall(block, kCallSetDefault, viaControl, id, flow, static_cast<uint32_t>(role), 0.0f, nullptr, hr);
    if (FAILED(hr))
        return hr;
    for (int r = 0; r < 3; ++r) {
        if (role == kRoleAll || role == r)
            ChangeDefault(block, flow, r, id);
    }
    return S_OK;
}

HRESULT SetStateLocked(SharedBlock& block, int index, DWORD state, bool viaControl)
{
    if (!ValidIndex(block, index))
        return kE_NotFound;
    if (state != DEVICE_STATE_ACTIVE && state != DEVICE_STATE_DISABLED && state != DEVICE_STATE_NOTPRESENT &&
        state != DEVICE_STATE_UNPLUGGED)
        return E_INVALIDARG;
    SharedEndpoint& endpoint = block.endpoints[index];
    std::wstring id = ReadFixed(endpoint.id);
    LogCall(block, kCallSetState, viaControl, id, 0, 0, static_cast<float>(state), nullptr, S_OK);
    if (endpoint.state == state)
        return S_FALSE;
    if ((endpoint.state == DEVICE_STATE_ACTIVE) != (state == DEVICE_STATE_ACTIVE))
        endpoint.life = NewLife(block);
    endpoint.state = state;
    SharedEvent& event = NewEvent(block, kEventState, id);
    event.state = state;

    SimFlow flow = FlowOf(endpoint);
    for (int role = 0; role < 3; ++role) {
        std::wstring current = DefaultId(block, flow, role);
        if (state != DEVICE_STATE_ACTIVE && current == id) {
            int next = FirstActive(block, flow, index);
            ChangeDefault(block, flow, role, next >= 0 ? ReadFixed(block.endpoints[next].id) : std::wstring());
        } else if (state == DEVICE_STATE_ACTIVE && FindEndpointById(block, current) < 0) {
            ChangeDefault(block, flow, role, id);
        }
    }
    return S_OK;
}

HRESULT RemoveLocked(SharedBlock& block, int index, bool viaControl)
{
    if (!ValidIndex(block, index))
        return kE_NotFound;
    HRESULT hr = S_OK;
    if (block.endpoints[index].state == DEVICE_STATE_ACTIVE)
        hr = SetStateLocked(block, index, DEVICE_STATE_NOTPRESENT, viaControl);
    if (FAILED(hr))
        return hr;
    std::wstring id = ReadFixed(block.endpoints[index].id);
    uint32_t count = EndpointCount(block);
    for (uint32_t i = static_cast<uint32_t>(index); i + 1 < count; ++i)
        block.endpoints[i] = block.endpoints[i + 1];
    std::memset(&block.endpoints[count - 1], 0, sizeof(SharedEndpoint));
    block.endpointCount = count - 1;
    NewEvent(block, kEventRemoved, id).life = NewLife(block);  // ends every life it had
    for (int flow = 0; flow < 2; ++flow) {
        for (int role = 0; role < 3; ++role) {
            if (DefaultId(block, static_cast<SimFlow>(flow), role) != id)
                continue;
            int next = FirstActive(block, static_cast<SimFlow>(flow), -1);
            ChangeDefault(block, static_cast<SimFlow>(flow), role, next >= 0 ? ReadFixed(block.endpoints[next].id) : std::wstring());
        }
    }
    return S_OK;
}

HRESULT AddLocked(SharedBlock& block, const EndpointInfo& endpoint, bool viaControl)
{
    if (endpoint.id.empty() || endpoint.id.size() >= kMaxIdChars || endpoint.name.size() >= kMaxNameChars ||
        FindEndpointById(block, endpoint.id) >= 0)
        return E_INVALIDARG;
    uint32_t count = EndpointCount(block);
    if (count >= kMaxEndpoints)
        return E_OUTOFMEMORY;
    WriteEndpoint(block.endpoints[count], endpoint, NewLife(block));
    block.endpointCount = count + 1;
    NewEvent(block, kEventAdded, endpoint.id);
    if (endpoint.state == DEVICE_STATE_ACTIVE) {
        SimFlow flow = endpoint.flow == kFlowCapture ? kFlowCapture : kFlowRender;
        for (int role = 0; role < 3; ++role) {
            if (FindEndpointById(block, DefaultId(block, flow, role)) < 0)
                ChangeDefault(block, flow, role, endpoint.id);
        }
    }
    return S_OK;
}

HRESULT ReplugLocked(SharedBlock& block, const std::vector<int>& indices, bool viaControl)
{
    struct Held {
        std::wstring id;
        bool roles[2][3];
    };
    std::vector<Held> held(indices.size());
    for (size_t n = 0; n < indices.size(); ++n) {
        if (!ValidIndex(block, indices[n]))
            return kE_NotFound;
        held[n].id = ReadFixed(block.endpoints[indices[n]].id);
        for (int flow = 0; flow < 2; ++flow) {
            for (int role = 0; role < 3; ++role)
                held[n].roles[flow][role] = DefaultId(block, static_cast<SimFlow>(flow), role) == held[n].id;
        }
    }
    for (int index : indices)
        SetStateLocked(block, index, DEVICE_STATE_NOTPRESENT, viaControl);
    for (int index : indices)
        SetStateLocked(block, index, DEVICE_STATE_ACTIVE, viaControl);
    for (const Held& entry : held) {
        for (int flow = 0; flow < 2; ++flow) {
            for (int role = 0; role < 3; ++role) {
                if (entry.roles[flow][role] && DefaultId(block, static_cast<SimFlow>(flow), role) != entry.id)
                    ChangeDefault(block, static_cast<SimFlow>(flow), role, entry.id);
            }
        }
    }
    return S_OK;
}

HRESULT RenameLocked(SharedBlock& block, int index, const std::wstring& name, bool viaControl)
{
    if (!ValidIndex(block, index))
        return kE_NotFound;
    SharedEndpoint& endpoint = block.endpoints[index];
    WriteFixed(endpoint.name, name);
    NewEvent(block, kEventProperty, ReadFixed(endpoint.id));
    return S_OK;
}

HRESULT ControlChangeLocked(SharedBlock& block, int index, uint32_t subunit, const GUID* context, bool viaControl, CallKind kind)
{
    if (!ValidIndex(block, index))
        return kE_NotFound;
    const SharedEndpoint& endpoint = block.endpoints[index];
    std::wstring id = ReadFixed(endpoint.id);
    HRESULT hr = subunit < SubunitCount(endpoint) ? S_OK : E_INVALIDARG;
    LogCall(block, kind, viaControl, id, 0, subunit, 0.0f, context, hr);
    if (FAILED(hr))
        return hr;
    SharedEvent& event = NewEvent(block, kEventControl, id);
    event.subunit = subunit;
    event.hasContext = context ? 1 : 0;
    event.context = context ? *context : GUID_NULL;
    return S_OK;
}

void LogRegistrationLocked(SharedBlock& block, RegistrationKind kind, bool unregister, const std::wstring& endpointId,
                           uint32_t subunit, const GUID& iid, HRESULT result)
{
    uint64_t n = block.registrationCount++;
    SharedRegistration& entry = block.registrations[n % kRegistrationRing];
    std::memset(&entry, 0, sizeof(entry));
    entry.kind = kind;
    entry.unregister = unregister ? 1 : 0;
    entry.processId = GetCurrentProcessId();
    entry.subunit = subunit;
    entry.iid = iid;
    entry.result = result;
    WriteFixed(entry.endpointId, endpointId);
}

void LogSubunitRequestLocked(SharedBlock& block, const std::wstring& endpointId, uint32_t index, HRESULT result)
{
    uint64_t n = block.requestCount++;
    SharedRequest& entry = block.requests[n % kRequestRing];
    std::memset(&entry, 0, sizeof(entry));
    entry.index = index;
    entry.result = result;
    WriteFixed(entry.endpointId, endpointId);
}

// ---- Text --------------------------------------------------------------------------------

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring WatchEventName(DWORD processId)
{
    return std::wstring(kWatchEventPrefix) + std::to_wstring(processId);
}

}  // namespace CoreAudioSim
