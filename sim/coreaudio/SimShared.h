// The simulator's state as it lies in named shared memory, and the operations on it that
// both the COM server and the control library use. Everything read from the block is
// checked: another process may have written anything into it.
#pragma once

#include "sim/coreaudio/SimControl.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace CoreAudioSim {

constexpr uint32_t kSharedMagic = 0x4D495343;  // "CSIM"
constexpr uint32_t kSharedVersion = 3;
// Changes not yet read by every watcher; a writer waits for room rather than overwrite one.
constexpr uint32_t kEventRing = 1024;
constexpr uint32_t kEventsPerChangeMax = 12 * kMaxEndpoints;  // the most one change appends (a resume)
constexpr uint32_t kCallRing = 512;
constexpr uint32_t kRegistrationRing = 256;
constexpr uint32_t kRequestRing = 512;
constexpr uint32_t kMaxListeners = 16;
constexpr uint32_t kMaxFaults = 64;  // room beyond kFaultCount for later injection points
static_assert(kFaultCount <= kMaxFaults);

constexpr wchar_t kMappingName[] = L"KestrunCoreAudioSim.State";
constexpr wchar_t kMutexName[] = L"KestrunCoreAudioSim.Mutex";
constexpr wchar_t kWatchEventPrefix[] = L"KestrunCoreAudioSim.Watch.";

#ifndef AUDCLNT_E_DEVICE_INVALIDATED
#define AUDCLNT_E_DEVICE_INVALIDATED ((HRESULT)0x88890004L)
#endif
constexpr HRESULT kE_NotFound = static_cast<HRESULT>(0x80070490L);  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)

enum EventKind : uint32_t {
    kEventVolume = 1,    // endpoint volume or mute changed; carries a snapshot
    kEventDefault = 2,   // default endpoint of flow/role changed; empty ID = none left
    kEventState = 3,     // device state changed
    kEventAdded = 4,
    kEventRemoved = 5,
    kEventProperty = 6,  // friendly name changed
    kEventControl = 7,   // hardware control of an adapter subunit changed
};

struct SharedSubunit {
    uint32_t controls;
    uint32_t failRegister;
    uint32_t mute;
    uint32_t autoGain;
    uint32_t selection;
    float levelDb;
};

struct SharedEndpoint {
    wchar_t id[kMaxIdChars];
    wchar_t name[kMaxNameChars];
    uint32_t flow;
    uint32_t state;
    uint32_t channels;
    float levels[kMaxChannels];
    uint32_t mute;
    uint32_t fail;
    uint32_t subunitCount;
    SharedSubunit subunits[kMaxSubunits];
    // The endpoint's current life: a new one on every add and every move into or out of the
    // active state. Objects obtained in an earlier life are invalidated, as on Windows.
    uint32_t life;
};

struct SharedEvent {
    uint64_t sequence;
    uint32_t kind;
    uint32_t flow;
    int32_t role;
    uint32_t state;
    uint32_t subunit;
    uint32_t hasContext;
    DWORD processId;
    GUID context;
    wchar_t endpointId[kMaxIdChars];
    uint32_t mute;
    float master;
    uint32_t channels;
    float levels[kMaxChannels];
    uint32_t life;  // the endpoint's life after the change (a removal: one past its last)
};

struct SharedCall {
    uint64_t sequence;
    uint32_t kind;
    uint32_t viaControl;
    DWORD processId;
    uint32_t channel;
    uint32_t subunit;
    float value;
    GUID context;
    HRESULT result;
    wchar_t endpointId[kMaxIdChars];
};

struct SharedRegistration {
    uint32_t kind;
    uint32_t unregister;
    DWORD processId;
    uint32_t subunit;
    GUID iid;
    HRESULT result;
    wchar_t endpointId[kMaxIdChars];
};

struct SharedRequest {
    uint32_t index;
    HRESULT result;
    wchar_t endpointId[kMaxIdChars];
};

struct SharedListener {
    DWORD processId;
    uint32_t published;  // rounds in which the watcher published `live`: a reader can wait for a fresh one
    uint64_t delivered;  // every change with a smaller sequence has been delivered
    uint64_t read;       // every change with a smaller sequence has been taken from the ring
    uint64_t lost;       // changes overwritten before this watcher read them
    int32_t live[kLiveKindCount];  // the process's live objects, as last published
};

struct SharedFault {
    uint32_t mode;
    HRESULT hr;
    uint32_t skip;
    uint32_t count;
    uint64_t calls;
    uint64_t hits;
    uint32_t delayMs;
    uint32_t spare;
};

struct SharedBlock {
    // Header: never scribbled.
    uint32_t magic;
    uint32_t version;
    uint64_t nextSequence;  // sequence of the next change; starts at 1
    uint64_t lastLife;      // the last endpoint life handed out; lives are never reused
    // Payload.
    uint32_t endpointCount;
    SharedEndpoint endpoints[kMaxEndpoints];
    wchar_t defaults[2][3][kMaxIdChars];
    SharedEvent events[kEventRing];
    uint64_t callCount;
    SharedCall calls[kCallRing];
    uint64_t registrationCount;
    SharedRegistration registrations[kRegistrationRing];
    uint64_t requestCount;
    SharedRequest requests[kRequestRing];
    SharedListener listeners[kMaxListeners];
    SharedFault faults[kMaxFaults];
    uint32_t serialDelivery;
};

constexpr size_t kPayloadOffset = offsetof(SharedBlock, endpointCount);

// The process's view of the shared block, opened on first use and kept for the process's life.
class CSharedState {
public:
    static CSharedState& Instance();
    SharedBlock* Block() const { return m_block; }
    HANDLE Mutex() const { return m_mutex; }

private:
    CSharedState();
    HANDLE m_mutex = nullptr;
    HANDLE m_mapping = nullptr;
    SharedBlock* m_block = nullptr;
};

// Holds the named mutex; wakes the watchers of every process when a change was made under it.
// A lock taken for a change first waits (without the mutex) until every live watcher has
// read far enough that the change cannot overwrite a change it has not read.
class CSimLock {
public:
    enum Purpose { kRead, kChange };
    explicit CSimLock(Purpose purpose = kRead);
    ~CSimLock();
    CSimLock(const CSimLock&) = delete;
    CSimLock& operator=(const CSimLock&) = delete;
    explicit operator bool() const { return m_block != nullptr; }
    SharedBlock& Block() const { return *m_block; }
    void MarkChanged() { m_changed = true; }

private:
    SharedBlock* m_block = nullptr;
    uint64_t m_startSequence = 0;
    bool m_changed = false;
};

// Bounded copies of fixed-size wide strings.
std::wstring ReadFixed(const wchar_t* text, size_t capacity);
template <size_t N> std::wstring ReadFixed(const wchar_t (&text)[N]) { return ReadFixed(text, N); }
void WriteFixed(wchar_t* target, size_t capacity, const std::wstring& text);
template <size_t N> void WriteFixed(wchar_t (&target)[N], const std::wstring& text) { WriteFixed(target, N, text); }

// Validated readers (clamp counts, terminate strings, sanitise levels).
uint32_t EndpointCount(const SharedBlock& block);
uint32_t ChannelCount(const SharedEndpoint& endpoint);
uint32_t SubunitCount(const SharedEndpoint& endpoint);
SimFlow FlowOf(const SharedEndpoint& endpoint);
float LevelOf(const SharedEndpoint& endpoint, uint32_t channel);
float MasterOf(const SharedEndpoint& endpoint);
int FindEndpointById(const SharedBlock& block, const std::wstring& id);
// The endpoint's index while the given life of it lasts, else -1.
int FindEndpointLife(const SharedBlock& block, const std::wstring& id, uint32_t life);
uint32_t EndpointLife(const SharedBlock& block, const std::wstring& id);  // 0 when absent
int SelectEndpoint(const SharedBlock& block, const std::wstring& selector);
std::wstring DefaultId(const SharedBlock& block, SimFlow flow, int role);
void ReadEndpoint(const SharedBlock& block, int index, EndpointInfo& info);
void ReadStateLocked(const SharedBlock& block, SimState& state);

// Whole-state operations (they clear the logs; the change sequence keeps counting).
void WriteStateLocked(SharedBlock& block, const SimState& state);
void ResetLocked(SharedBlock& block);

// Changes. Each one records a call and appends the change for the watchers; context is null
// when the changer passed none.
HRESULT SetChannelLevelLocked(SharedBlock& block, int index, uint32_t channel, float level, const GUID* context, bool viaControl);
HRESULT SetMasterLevelLocked(SharedBlock& block, int index, float level, const GUID* context, bool viaControl);
HRESULT SetMuteLocked(SharedBlock& block, int index, bool mute, const GUID* context, bool viaControl);
HRESULT SetDefaultLocked(SharedBlock& block, int index, SimFlow flow, SimRole role, bool viaControl);
HRESULT SetStateLocked(SharedBlock& block, int index, DWORD state, bool viaControl);
HRESULT RemoveLocked(SharedBlock& block, int index, bool viaControl);
HRESULT AddLocked(SharedBlock& block, const EndpointInfo& endpoint, bool viaControl);
// A USB unplug and replug: not present, then active again, each with its state change; the
// default roles it held come back to it, as Windows gives them back to a returning device.
HRESULT ReplugLocked(SharedBlock& block, const std::vector<int>& indices, bool viaControl);
HRESULT RenameLocked(SharedBlock& block, int index, const std::wstring& name, bool viaControl);
// A control change of one adapter subunit; kind is kCallHardwareChange or kCallSetPartControl.
HRESULT ControlChangeLocked(SharedBlock& block, int index, uint32_t subunit, const GUID* context, bool viaControl, CallKind kind);

void LogRegistrationLocked(SharedBlock& block, RegistrationKind kind, bool unregister, const std::wstring& endpointId,
                           uint32_t subunit, const GUID& iid, HRESULT result);
// The fault table's answer for one call: kFaultOff to go on, else the form to produce (hr then
// holds the failure code; kFaultDelay: wait the entry's delayMs without the lock, then go on).
// Counts the call.
// fail, null or delay: the forms a fault table entry may hold.
bool IsFaultForm(uint32_t mode);
void WriteFaultLocked(SharedBlock& block, SimFault fault, const FaultSpec& setting);
FaultMode TakeFaultLocked(SharedBlock& block, SimFault fault, HRESULT& hr);
// True when some live watcher could lose a change if kEventsPerChangeMax more were appended.
bool RingFullLocked(const SharedBlock& block);
bool ProcessAlive(DWORD processId);

void LogSubunitRequestLocked(SharedBlock& block, const std::wstring& endpointId, uint32_t index, HRESULT result);

// Scenario text (UTF-8) to state; false with a message naming the line on error.
bool ParseScenario(const std::string& text, SimState& state, std::string* error);
// The state the block gets when created or reset.
SimState InitialState();

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring WatchEventName(DWORD processId);

}  // namespace CoreAudioSim
