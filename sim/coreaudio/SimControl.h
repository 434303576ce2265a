// Control API of the Core Audio simulator (KestrunCoreAudioSim.dll).
//
// Tests link kestrun_coreaudio_simctl and use these functions to play the Windows mixer,
// another program or the hardware: every change goes into the simulator's shared state and
// is delivered, on a simulator thread, to the callbacks registered in every process that
// has loaded the simulator DLL (including the calling process).
//
// Endpoints are named by a selector: a decimal index into the endpoint table, an endpoint
// ID, or a friendly name (exact match first, then a case-insensitive substring).
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace CoreAudioSim {

// Fixed limits of the shared block; anything beyond them is refused or clamped.
constexpr uint32_t kMaxEndpoints = 16;
constexpr uint32_t kMaxSubunits = 32;
constexpr uint32_t kMaxChannels = 8;
constexpr uint32_t kMaxIdChars = 128;    // including the terminator
constexpr uint32_t kMaxNameChars = 128;  // including the terminator

enum SimFlow : uint32_t { kFlowRender = 0, kFlowCapture = 1 };
enum SimRole : int32_t { kRoleConsole = 0, kRoleMultimedia = 1, kRoleCommunications = 2, kRoleAll = -1 };

// Controls a subunit of the adapter topology can offer (bit mask).
enum SimControlBits : uint32_t {
    kCtlAutoGain = 1u << 0,       // IAudioAutoGainControl
    kCtlInputSelector = 1u << 1,  // IAudioInputSelector
    kCtlMute = 1u << 2,           // IAudioMute
    kCtlVolumeLevel = 1u << 3,    // IAudioVolumeLevel
};

// Failures an endpoint can be told to produce (bit mask), to exercise callers' error paths.
enum SimFailBits : uint32_t {
    kFailActivateVolume = 1u << 0,    // IMMDevice::Activate(IAudioEndpointVolume) -> E_FAIL
    kFailActivateTopology = 1u << 1,  // IMMDevice::Activate(IDeviceTopology) -> E_NOINTERFACE
    kFailPropertyStore = 1u << 2,     // IMMDevice::OpenPropertyStore -> E_FAIL
    kFailNoName = 1u << 3,            // the property store has no friendly name (VT_EMPTY)
    kFailConnector = 1u << 4,         // IConnector::GetConnectedTo -> E_NOTFOUND
    kFailSubunitCount = 1u << 5,      // adapter IDeviceTopology::GetSubunitCount -> E_FAIL
    kFailGetLevel = 1u << 6,          // IAudioEndpointVolume getters -> E_FAIL
    kFailSetLevel = 1u << 7,          // IAudioEndpointVolume setters -> E_FAIL
};

// Calls whose outcome can be forced from a scenario, coreaudioctl or a test, named by
// FaultName(). Every one of them can fail with an HRESULT or succeed with a null result.
enum SimFault : uint32_t {
    kFaultCreateEnumerator,                      // CoCreateInstance of the enumerator
    kFaultEnumAudioEndpoints,
    kFaultGetCount,                              // IMMDeviceCollection::GetCount
    kFaultItem,                                  // IMMDeviceCollection::Item
    kFaultGetId,                                 // IMMDevice::GetId
    kFaultGetDefaultConsole,                     // GetDefaultAudioEndpoint, per role
    kFaultGetDefaultMultimedia,
    kFaultGetDefaultCommunications,
    kFaultGetDevice,                             // IMMDeviceEnumerator::GetDevice
    kFaultActivateEndpointVolume,                // IMMDevice::Activate, per interface
    kFaultActivateDeviceTopology,
    kFaultOpenPropertyStore,
    kFaultGetValue,                              // IPropertyStore::GetValue
    kFaultGetConnector,                          // IDeviceTopology::GetConnector
    kFaultGetConnectedTo,                        // IConnector::GetConnectedTo
    kFaultConnectorPart,                         // QueryInterface(IPart) on a connector
    kFaultGetTopologyObject,                     // IPart::GetTopologyObject
    kFaultGetSubunitCount,
    kFaultGetSubunit,
    kFaultSubunitPart,                           // QueryInterface(IPart) on a subunit
    kFaultPartActivate,                          // IPart::Activate of a control interface
    kFaultRegisterControlChangeCallback,         // IPart
    kFaultRegisterControlChangeNotify,           // IAudioEndpointVolume
    kFaultRegisterEndpointNotificationCallback,  // IMMDeviceEnumerator
    kFaultGetChannelVolumeLevelScalar,
    kFaultSetChannelVolumeLevelScalar,
    kFaultGetMute,
    kFaultSetMute,
    kFaultCount
};

enum FaultMode : uint32_t {
    kFaultOff = 0,
    kFaultFail = 1,  // the call returns FaultSpec::hr and hands back nothing
    kFaultNull = 2,  // the call returns S_OK with a null result (see README.md for each call)
    kFaultDelay = 3, // the call waits FaultSpec::delayMs, then runs as usual
};

struct FaultSpec {
    FaultMode mode = kFaultOff;
    HRESULT hr = E_FAIL;  // kFaultFail only
    uint32_t skip = 0;    // calls that pass untouched before the fault strikes
    uint32_t count = 0;   // calls it strikes, then it switches itself off; 0: every call
    uint32_t delayMs = 0; // kFaultDelay only
};

struct FaultStatus {
    SimFault fault = kFaultCreateEnumerator;
    FaultSpec setting;     // what is left of it (skip and count go down as calls arrive)
    uint64_t calls = 0; // calls of this kind seen since the fault table was last set
    uint64_t hits = 0;  // calls the fault struck
};

// Stable names ("GetDefaultAudioEndpoint.multimedia", ...); null beyond kFaultCount.
const char* FaultName(SimFault fault);
// kFaultCount when the name is unknown (case-insensitive).
SimFault FaultFromName(const std::string& name);

struct SubunitInfo {
    uint32_t controls = 0;        // SimControlBits offered by IPart::Activate
    uint32_t failRegister = 0;    // SimControlBits whose RegisterControlChangeCallback fails (E_FAIL)
    bool mute = false;            // state of IAudioMute
    bool autoGain = false;        // state of IAudioAutoGainControl
    uint32_t selection = 0;       // state of IAudioInputSelector
    float levelDb = 0.0f;         // state of IAudioVolumeLevel (all channels)
};

struct EndpointInfo {
    std::wstring id;
    std::wstring name;
    SimFlow flow = kFlowRender;
    DWORD state = DEVICE_STATE_ACTIVE;  // DEVICE_STATE_* value
    uint32_t channels = 2;
    std::vector<float> levels;          // scalar 0..1, one per channel
    bool mute = false;
    uint32_t fail = 0;                  // SimFailBits
    std::vector<SubunitInfo> subunits;  // the adapter topology behind connector 0
};

struct SimState {
    std::vector<EndpointInfo> endpoints;  // in enumeration order
    // Default endpoint ID per flow and role (index: SimFlow, then role 0..2); empty = none.
    std::wstring defaults[2][3];
    FaultSpec faults[kFaultCount];
    // Callbacks are delivered from several simulator threads at once, as Windows does from its
    // RPC thread pool; serial delivery keeps them on one thread, in order.
    bool serialDelivery = false;
};

enum CallKind : uint32_t {
    kCallSetChannelLevel = 1,  // value = scalar level, channel
    kCallSetMasterLevel = 2,   // value = scalar level
    kCallSetMute = 3,          // value = 0 or 1
    kCallSetDefault = 4,       // channel = flow, subunit = role
    kCallSetState = 5,         // value = new DEVICE_STATE_*
    kCallHardwareChange = 6,   // subunit
    kCallSetPartControl = 7,   // subunit; a setter of IAudioMute/IAudioVolumeLevel/... on a part
};

// One state change, in the order the simulator applied it.
struct CallRecord {
    uint64_t sequence = 0;
    CallKind kind = kCallSetChannelLevel;
    bool viaControl = false;  // made through this API / coreaudioctl rather than a COM interface
    DWORD processId = 0;      // process that made the change
    std::wstring endpointId;
    uint32_t channel = 0;
    uint32_t subunit = 0;
    float value = 0.0f;
    GUID context = GUID_NULL;  // event context the changer passed (GUID_NULL for none)
    HRESULT result = S_OK;
};

enum RegistrationKind : uint32_t {
    kRegEndpointVolume = 1,    // IAudioEndpointVolume::RegisterControlChangeNotify
    kRegControlChange = 2,     // IPart::RegisterControlChangeCallback
    kRegNotificationClient = 3,// IMMDeviceEnumerator::RegisterEndpointNotificationCallback
};

struct RegistrationRecord {
    RegistrationKind kind = kRegEndpointVolume;
    bool unregister = false;
    DWORD processId = 0;
    std::wstring endpointId;  // empty for notification clients
    uint32_t subunit = 0;     // kRegControlChange only
    GUID iid = GUID_NULL;     // kRegControlChange only: the control interface named
    HRESULT result = S_OK;
};

// One IDeviceTopology::GetSubunit call on an adapter topology.
struct SubunitRequest {
    std::wstring endpointId;
    uint32_t index = 0;
    HRESULT result = S_OK;
};

// Re-creates the state as on first creation (the scenario file named by
// KESTRUN_COREAUDIO_SCENARIO, else the built-in demo) and clears every log.
bool Reset();
// Replaces the state with a scenario (see README.md) and clears every log. On a parse
// error the state is left unchanged and error (if given) names the line.
bool LoadScenarioText(const std::string& text, std::string* error = nullptr);
bool LoadScenarioFile(const std::wstring& path, std::string* error = nullptr);
// The built-in demo scenario's text.
std::string DemoScenarioText();

// Index of the endpoint named by selector, or -1.
int FindEndpoint(const std::wstring& selector);

// Changes made from outside the panel's process; each notifies the registered callbacks.
HRESULT SetChannelLevel(const std::wstring& endpoint, uint32_t channel, float level, const GUID& context);
HRESULT SetMasterLevel(const std::wstring& endpoint, float level, const GUID& context);
HRESULT SetMute(const std::wstring& endpoint, bool mute, const GUID& context);
// role kRoleAll sets all three roles (one OnDefaultDeviceChanged per role).
HRESULT SetDefault(const std::wstring& endpoint, SimFlow flow, SimRole role);
// Leaves no default endpoint for flow/role: OnDefaultDeviceChanged with a null ID.
HRESULT ClearDefault(SimFlow flow, SimRole role);
// Unplug: state DEVICE_STATE_UNPLUGGED; a default role it held moves to the next active
// endpoint of its flow, or to none. Plug: state DEVICE_STATE_ACTIVE; it becomes the default
// of every role of its flow that has none.
HRESULT Unplug(const std::wstring& endpoint);
HRESULT Plug(const std::wstring& endpoint);
HRESULT SetDeviceState(const std::wstring& endpoint, DWORD state);
// A USB unplug and replug: not present, then active again (an OnDeviceStateChanged each),
// same ID and name; the default roles it held come back to it. What was obtained from it
// before stays invalid (AUDCLNT_E_DEVICE_INVALIDATED), and its registrations never fire again.
HRESULT Replug(const std::wstring& endpoint);
// Sleep and resume: every endpoint whose friendly name contains namePart (case-insensitive)
// replugs at once: all go, then all come back. E_NOTFOUND when no name matches.
HRESULT Resume(const std::wstring& namePart);
// Removes the endpoint altogether (OnDeviceRemoved; GetDevice then gives E_NOTFOUND).
HRESULT Remove(const std::wstring& endpoint);
// Adds an endpoint, in the state endpoint.state says, at the end of the table (OnDeviceAdded); an active one becomes the default
// of every role of its flow that has none. E_INVALIDARG for a bad or taken ID, E_OUTOFMEMORY
// when the table is full.
HRESULT AddEndpoint(const EndpointInfo& endpoint);
// Renames the endpoint (OnPropertyValueChanged with PKEY_Device_FriendlyName).
HRESULT Rename(const std::wstring& endpoint, const std::wstring& name);
// A hardware control of an adapter subunit changed: IControlChangeNotify::OnNotify on every
// callback registered with that subunit, carrying context (GUID_NULL: a null context pointer).
HRESULT HardwareChange(const std::wstring& endpoint, uint32_t subunit, const GUID& context = GUID_NULL);

bool ReadState(SimState& state);
std::vector<CallRecord> ReadCallLog();
std::vector<RegistrationRecord> ReadRegistrations();
std::vector<SubunitRequest> ReadSubunitRequests();
void ClearLogs();

// Reads what follows "inject <call>": the form (fail, null, delay=<ms> or off) at words[first],
// then the options hr=<code>, skip=<n>, count=<n>.
bool ParseFaultOptions(const std::vector<std::string>& words, size_t first, FaultSpec& setting, std::string* why);
// Sets (setting.mode kFaultOff: clears) one fault; its call and hit counts restart.
bool InjectFault(SimFault fault, const FaultSpec& setting);
void ClearFaults();
std::vector<FaultStatus> ReadFaults();
bool SetSerialDelivery(bool serial);

// Simulated COM objects alive in one process, by kind, and the callbacks the simulator holds
// for it. Every object the simulator hands out counts from its creation to its last Release.
enum LiveKind : uint32_t {
    kLiveEnumerator,
    kLiveCollection,
    kLiveDevice,
    kLivePropertyStore,
    kLiveEndpointVolume,
    kLiveEndpointTopology,
    kLiveAdapterTopology,
    kLiveConnector,
    kLiveSubunit,
    kLiveControl,           // IAudioMute, IAudioVolumeLevel, ... activated on a part
    kLiveVolumeCallbacks,   // registered IAudioEndpointVolumeCallback
    kLiveClients,           // registered IMMNotificationClient
    kLiveControlCallbacks,  // registered IControlChangeNotify
    kLiveDeadObjects,       // of the objects above, those whose endpoint has since gone or replugged
    kLiveKindCount
};
struct LiveObjects {
    long count[kLiveKindCount] = {};
    long Objects() const;  // the COM objects, without the callbacks
};
const char* LiveKindName(LiveKind kind);
// This process's count (the simulator DLL must be loaded in it); false when it is not.
bool ReadLiveObjects(LiveObjects& live);
// Another process's count as its simulator last published it (at most ~200 ms old).
bool ReadLiveObjects(DWORD processId, LiveObjects& live);
// Processes that have the simulator loaded, with their delivery marks.
struct ListenerInfo {
    DWORD processId = 0;
    uint64_t delivered = 0;
    uint64_t lost = 0;  // changes that could not be kept for it (always 0 unless it stalled for seconds)
};
std::vector<ListenerInfo> ReadListeners();

// Number of callbacks delivered so far by the simulator in this process (all kinds). Lets a
// test wait until a change has reached its sinks.
uint64_t DeliveredSequence();
// Waits until every change made so far has been delivered in this process (the simulator
// DLL must be loaded in it); false on timeout.
bool WaitForDelivery(DWORD timeoutMs = 5000);

// Test hook: overwrites the shared block's payload (not its header) with pseudo-random bytes,
// as a misbehaving process might. Reset() repairs it.
void ScribbleSharedState(uint32_t seed);

// GUID text helpers ("{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}").
std::wstring GuidToString(const GUID& guid);
bool GuidFromString(const std::wstring& text, GUID& guid);

}  // namespace CoreAudioSim
