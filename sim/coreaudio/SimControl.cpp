#include "sim/coreaudio/SimControl.h"

#include "sim/coreaudio/SimShared.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <sstream>

namespace CoreAudioSim {

namespace {

template <class F>
HRESULT WithSelected(const std::wstring& selector, F&& change)
{
    CSimLock lock(CSimLock::kChange);
    if (!lock)
        return E_FAIL;
    int index = SelectEndpoint(lock.Block(), selector);
    if (index < 0)
        return kE_NotFound;
    return change(lock.Block(), index);
}

const GUID* OrNull(const GUID& context)
{
    return context == GUID_NULL ? nullptr : &context;
}

}  // namespace

bool Reset()
{
    CSimLock lock;
    if (!lock)
        return false;
    ResetLocked(lock.Block());
    return true;
}

bool LoadScenarioText(const std::string& text, std::string* error)
{
    SimState state;
    if (!ParseScenario(text, state, error))
        return false;
    CSimLock lock;
    if (!lock) {
        if (error)
            *error = "shared state not available";
        return false;
    }
    WriteStateLocked(lock.Block(), state);
    return true;
}

bool LoadScenarioFile(const std::wstring& path, std::string* error)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        if (error)
            *error = "cannot open " + WideToUtf8(path);
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return LoadScenarioText(text.str(), error);
}

int FindEndpoint(const std::wstring& selector)
{
    CSimLock lock;
    return lock ? SelectEndpoint(lock.Block(), selector) : -1;
}

HRESULT SetChannelLevel(const std::wstring& endpoint, uint32_t channel, float level, const GUID& context)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) {
        return SetChannelLevelLocked(block, index, channel, level, &context, true);
    });
}

HRESULT SetMasterLevel(const std::wstring& endpoint, float level, const GUID& context)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) {
        return SetMasterLevelLocked(block, index, level, &context, true);
    });
}

HRESULT SetMute(const std::wstring& endpoint, bool mute, const GUID& context)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) {
        return SetMuteLocked(block, index, mute, &context, true);
    });
}

HRESULT SetDefault(const std::wstring& endpoint, SimFlow flow, SimRole role)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) {
        return SetDefaultLocked(block, index, flow, role, true);
    });
}

HRESULT ClearDefault(SimFlow flow, SimRole role)
{
    CSimLock lock(CSimLock::kChange);
    if (!lock)
        return E_FAIL;
    return SetDefaultLocked(lock.Block(), -1, flow, role, true);
}

HRESULT Unplug(const std::wstring& endpoint)
{
    return SetDeviceState(endpoint, DEVICE_STATE_UNPLUGGED);
}

HRESULT Plug(const std::wstring& endpoint)
{
    return SetDeviceState(endpoint, DEVICE_STATE_ACTIVE);
}

HRESULT SetDeviceState(const std::wstring& endpoint, DWORD state)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) { return SetStateLocked(block, index, state, true); });
}

HRESULT Replug(const std::wstring& endpoint)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) { return ReplugLocked(block, {index}, true); });
}

HRESULT Resume(const std::wstring& namePart)
{
    auto lower = [](std::wstring text) {
        for (wchar_t& ch : text)
            ch = static_cast<wchar_t>(towlower(ch));
        return text;
    };
    CSimLock lock(CSimLock::kChange);
    if (!lock)
        return E_FAIL;
    std::vector<int> device;
    for (uint32_t i = 0; i < EndpointCount(lock.Block()); ++i) {
        if (lower(ReadFixed(lock.Block().endpoints[i].name)).find(lower(namePart)) != std::wstring::npos)
            device.push_back(static_cast<int>(i));
    }
    return device.empty() ? kE_NotFound : ReplugLocked(lock.Block(), device, true);
}

HRESULT Remove(const std::wstring& endpoint)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) { return RemoveLocked(block, index, true); });
}

HRESULT AddEndpoint(const EndpointInfo& endpoint)
{
    CSimLock lock(CSimLock::kChange);
    if (!lock)
        return E_FAIL;
    return AddLocked(lock.Block(), endpoint, true);
}

HRESULT Rename(const std::wstring& endpoint, const std::wstring& name)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) { return RenameLocked(block, index, name, true); });
}

HRESULT HardwareChange(const std::wstring& endpoint, uint32_t subunit, const GUID& context)
{
    return WithSelected(endpoint, [&](SharedBlock& block, int index) {
        return ControlChangeLocked(block, index, subunit, OrNull(context), true, kCallHardwareChange);
    });
}

bool ReadState(SimState& state)
{
    CSimLock lock;
    if (!lock)
        return false;
    ReadStateLocked(lock.Block(), state);
    return true;
}

namespace {

// The last entries of one of the block's log rings, oldest first, each read by convert.
template <class Record, class Entry, size_t N, class Convert>
std::vector<Record> ReadRing(uint64_t SharedBlock::*count, Entry (SharedBlock::*ring)[N], Convert&& convert)
{
    std::vector<Record> records;
    CSimLock lock;
    if (!lock)
        return records;
    const SharedBlock& block = lock.Block();
    uint64_t total = block.*count;
    for (uint64_t n = total > N ? total - N : 0; n < total; ++n)
        records.push_back(convert((block.*ring)[n % N]));
    return records;
}

}  // namespace

std::vector<CallRecord> ReadCallLog()
{
    return ReadRing<CallRecord>(&SharedBlock::callCount, &SharedBlock::calls, [](const SharedCall& call) {
        CallRecord record;
        record.sequence = call.sequence;
        record.kind = static_cast<CallKind>(call.kind);
        record.viaControl = call.viaControl != 0;
        record.processId = call.processId;
        record.endpointId = ReadFixed(call.endpointId);
        record.channel = call.channel;
        record.subunit = call.subunit;
        record.value = call.value;
        record.context = call.context;
        record.result = call.result;
        return record;
    });
}

std::vector<RegistrationRecord> ReadRegistrations()
{
    return ReadRing<RegistrationRecord>(&SharedBlock::registrationCount, &SharedBlock::registrations, [](const SharedRegistration& entry) {
        RegistrationRecord record;
        record.kind = static_cast<RegistrationKind>(entry.kind);
        record.unregister = entry.unregister != 0;
        record.processId = entry.processId;
        record.endpointId = ReadFixed(entry.endpointId);
        record.subunit = entry.subunit;
        record.iid = entry.iid;
        record.result = entry.result;
        return record;
    });
}

std::vector<SubunitRequest> ReadSubunitRequests()
{
    return ReadRing<SubunitRequest>(&SharedBlock::requestCount, &SharedBlock::requests, [](const SharedRequest& entry) {
        return SubunitRequest{ReadFixed(entry.endpointId), entry.index, entry.result};
    });
}

void ClearLogs()
{
    CSimLock lock;
    if (!lock)
        return;
    SharedBlock& block = lock.Block();
    block.callCount = 0;
    block.registrationCount = 0;
    block.requestCount = 0;
}

uint64_t DeliveredSequence()
{
    CSimLock lock;
    if (!lock)
        return 0;
    DWORD self = GetCurrentProcessId();
    for (const SharedListener& listener : lock.Block().listeners) {
        if (listener.processId == self)
            return listener.delivered;
    }
    return 0;
}

bool WaitForDelivery(DWORD timeoutMs)
{
    uint64_t target = 0;
    {
        CSimLock lock;
        if (!lock)
            return false;
        target = lock.Block().nextSequence;
    }
    // No slot of this process may also mean that its watcher is re-claiming a garbled one,
    // so the wait runs to the timeout either way.
    DWORD start = GetTickCount();
    for (;;) {
        if (DeliveredSequence() >= target)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(5);
    }
}

bool InjectFault(SimFault fault, const FaultSpec& setting)
{
    if (fault >= kFaultCount)
        return false;
    CSimLock lock;
    if (!lock)
        return false;
    WriteFaultLocked(lock.Block(), fault, setting);
    return true;
}

void ClearFaults()
{
    CSimLock lock;
    if (!lock)
        return;
    for (uint32_t f = 0; f < kFaultCount; ++f)
        WriteFaultLocked(lock.Block(), static_cast<SimFault>(f), FaultSpec());
}

std::vector<FaultStatus> ReadFaults()
{
    std::vector<FaultStatus> faults;
    CSimLock lock;
    if (!lock)
        return faults;
    SimState state;
    ReadStateLocked(lock.Block(), state);
    for (uint32_t f = 0; f < kFaultCount; ++f) {
        FaultStatus status;
        status.fault = static_cast<SimFault>(f);
        status.setting = state.faults[f];
        status.calls = lock.Block().faults[f].calls;
        status.hits = lock.Block().faults[f].hits;
        faults.push_back(status);
    }
    return faults;
}

bool SetSerialDelivery(bool serial)
{
    CSimLock lock;
    if (!lock)
        return false;
    lock.Block().serialDelivery = serial ? 1 : 0;
    return true;
}

long LiveObjects::Objects() const
{
    long total = 0;
    for (uint32_t k = 0; k < kLiveVolumeCallbacks; ++k)
        total += count[k];
    return total;
}

const char* LiveKindName(LiveKind kind)
{
    static const char* const kNames[kLiveKindCount] = {
        "enumerator", "collection", "device", "property-store", "endpoint-volume", "endpoint-topology",
        "adapter-topology", "connector", "subunit", "control", "volume-callbacks", "clients", "control-callbacks", "dead",
    };
    return kind < kLiveKindCount ? kNames[kind] : nullptr;
}

bool ReadLiveObjects(LiveObjects& live)
{
    live = LiveObjects();
    HMODULE simulator = GetModuleHandleW(L"KestrunCoreAudioSim.dll");
    if (!simulator)
        return false;
    using ReadFn = void(STDAPICALLTYPE*)(long*, unsigned);
    auto read = reinterpret_cast<ReadFn>(reinterpret_cast<void*>(GetProcAddress(simulator, "KestrunSimLiveObjects")));
    if (!read)
        return false;
    read(live.count, kLiveKindCount);
    return true;
}

bool ReadLiveObjects(DWORD processId, LiveObjects& live)
{
    live = LiveObjects();
    CSimLock lock;
    if (!lock)
        return false;
    for (const SharedListener& listener : lock.Block().listeners) {
        if (listener.processId != processId || processId == 0)
            continue;
        for (uint32_t k = 0; k < kLiveKindCount; ++k)
            live.count[k] = listener.live[k];
        return true;
    }
    return false;
}

std::vector<ListenerInfo> ReadListeners()
{
    std::vector<ListenerInfo> listeners;
    CSimLock lock;
    if (!lock)
        return listeners;
    for (const SharedListener& listener : lock.Block().listeners) {
        if (listener.processId != 0)
            listeners.push_back(ListenerInfo{listener.processId, listener.delivered, listener.lost});
    }
    return listeners;
}

void ScribbleSharedState(uint32_t seed)
{
    CSimLock lock;
    if (!lock)
        return;
    auto* bytes = reinterpret_cast<unsigned char*>(&lock.Block());
    uint32_t x = seed ? seed : 0x9E3779B9u;
    for (size_t i = kPayloadOffset; i < sizeof(SharedBlock); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<unsigned char>(x);
    }
    lock.MarkChanged();
}

std::wstring GuidToString(const GUID& guid)
{
    wchar_t text[40] = {};
    std::swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(guid.Data1),
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool GuidFromString(const std::wstring& text, GUID& guid)
{
    std::wstring body = text;
    if (body.size() == 38 && body.front() == L'{' && body.back() == L'}')
        body = body.substr(1, 36);
    if (body.size() != 36 || body[8] != L'-' || body[13] != L'-' || body[18] != L'-' || body[23] != L'-')
        return false;
    std::wstring hex;
    for (wchar_t ch : body) {
        if (ch == L'-')
            continue;
        if (!iswxdigit(ch))
            return false;
        hex.push_back(ch);
    }
    auto part = [&](size_t at, size_t length) { return std::stoul(hex.substr(at, length), nullptr, 16); };
    guid.Data1 = static_cast<unsigned long>(part(0, 8));
    guid.Data2 = static_cast<unsigned short>(part(8, 4));
    guid.Data3 = static_cast<unsigned short>(part(12, 4));
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<unsigned char>(part(16 + 2 * i, 2));
    return true;
}

}  // namespace CoreAudioSim
