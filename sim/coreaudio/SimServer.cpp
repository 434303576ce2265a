// The device enumerator and what it hands out, the class factory and the DLL entry points.
#include "sim/coreaudio/SimNotify.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace CoreAudioSim {

std::atomic<long> g_serverReferences{0};
std::atomic<long> g_live[kLiveKindCount];

FaultMode TakeFault(SimFault fault, HRESULT& hr)
{
    DWORD delayMs = 0;
    FaultMode mode = kFaultOff;
    {
        CSimLock lock;
        if (lock)
            mode = TakeFaultLocked(lock.Block(), fault, hr);
        if (mode == kFaultDelay)
            delayMs = std::min<DWORD>(lock.Block().faults[fault].delayMs, 60000);  // garbage stays short
    }
    if (mode != kFaultDelay)
        return mode;
    // Outside the lock, so that other processes can change the state meanwhile.
    ::Sleep(delayMs);
    return kFaultOff;
}

LPWSTR CoTaskStrDup(const std::wstring& text)
{
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy) {
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    return copy;
}

namespace {

// Every bound object of this process, so that the dead ones can be counted. Kept for the
// process's life: objects may be released while the process ends.
std::mutex& BoundLock()
{
    static std::mutex* lock = new std::mutex();
    return *lock;
}
std::unordered_set<const CBoundObject*>& BoundObjects()
{
    static auto* objects = new std::unordered_set<const CBoundObject*>();
    return *objects;
}

}  // namespace

CBoundObject::CBoundObject(LiveKind kind, std::wstring id, uint32_t life) : CSimObject(kind), m_id(std::move(id)), m_life(life)
{
    std::lock_guard<std::mutex> guard(BoundLock());
    BoundObjects().insert(this);
}

CBoundObject::~CBoundObject()
{
    std::lock_guard<std::mutex> guard(BoundLock());
    BoundObjects().erase(this);
}

long CountDeadLocked(const SharedBlock& block)
{
    std::lock_guard<std::mutex> guard(BoundLock());
    long dead = 0;
    for (const CBoundObject* object : BoundObjects())
        dead += object->FindLive(block) < 0 ? 1 : 0;
    return dead;
}

HRESULT LogRegistration(RegistrationKind kind, bool unregister, const std::wstring& endpointId, uint32_t subunit,
                        const GUID& iid, HRESULT hr)
{
    CSimLock lock;
    if (lock)
        LogRegistrationLocked(lock.Block(), kind, unregister, endpointId, subunit, iid, hr);
    return hr;
}

namespace {

class CSimPropertyStore : public CSimCom<IPropertyStore, CBoundObject> {
public:
    CSimPropertyStore(std::wstring id, uint32_t life, std::wstring name, bool hasName)
        : CSimCom(kLivePropertyStore, std::move(id), life), m_name(std::move(name)), m_hasName(hasName)
    {
    }
    STDMETHODIMP GetCount(DWORD* count) override
    {
        HRESULT hr = Alive();
        return FAILED(hr) ? hr : Give(count, m_hasName ? 1 : 0);
    }
    STDMETHODIMP GetAt(DWORD index, PROPERTYKEY* key) override
    {
        if (!key)
            return E_POINTER;
        if (HRESULT hr = Alive(); FAILED(hr))
            return hr;
        if (!m_hasName || index != 0)
            return E_INVALIDARG;
        *key = kFriendlyNameKey;
        return S_OK;
    }
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        PropVariantInit(value);
        HRESULT hr = S_OK;
        switch (TakeFault(kFaultGetValue, hr)) {
        case kFaultFail:
            return hr;
        case kFaultNull:
            value->vt = VT_LPWSTR;  // a string property whose string is missing
            return S_OK;
        default:
            break;
        }
        if (FAILED(hr = Alive()))
            return hr;
        if (m_hasName && key.fmtid == kFriendlyNameKey.fmtid && key.pid == kFriendlyNameKey.pid) {
            value->pwszVal = CoTaskStrDup(m_name);
            if (!value->pwszVal)
                return E_OUTOFMEMORY;
            value->vt = VT_LPWSTR;
        }
        return S_OK;  // as Windows: an absent property reads as VT_EMPTY
    }
    STDMETHODIMP SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Commit() override { return STG_E_ACCESSDENIED; }

private:
    std::wstring m_name;
    bool m_hasName;
};

class CSimDevice : public CBoundObject, public IMMDevice, public IMMEndpoint {
public:
    CSimDevice(std::wstring id, uint32_t life, SimFlow flow) : CBoundObject(kLiveDevice, std::move(id), life), m_flow(flow) {}
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const IID second = __uuidof(IMMEndpoint);
        return SimQueryInterface(iid, out, static_cast<IMMDevice*>(this), __uuidof(IMMDevice), &second,
                                 static_cast<IMMEndpoint*>(this));
    }

    STDMETHODIMP Activate(REFIID iid, DWORD, PROPVARIANT*, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        HRESULT injected = S_OK;
        if (iid == __uuidof(IAudioEndpointVolume) && Injected(kFaultActivateEndpointVolume, out, injected))
            return injected;
        if (iid == __uuidof(IDeviceTopology) && Injected(kFaultActivateDeviceTopology, out, injected))
            return injected;
        uint32_t fail = 0;
        HRESULT hr = WithLive([&](SharedBlock& block, int index) { return Give(&fail, block.endpoints[index].fail); });
        if (FAILED(hr))
            return hr;
        if (iid == __uuidof(IAudioEndpointVolume)) {
            if (fail & kFailActivateVolume)
                return E_FAIL;
            return HandOut(NewEndpointVolume(m_id, m_life), iid, out);
        }
        if (iid == __uuidof(IDeviceTopology)) {
            if (fail & kFailActivateTopology)
                return E_NOINTERFACE;
            return HandOut(NewEndpointTopology(m_id, m_life), iid, out);
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP OpenPropertyStore(DWORD access, IPropertyStore** store) override
    {
        HRESULT injected = S_OK;
        if (!store)
            return E_POINTER;
        if (Injected(kFaultOpenPropertyStore, store, injected))
            return injected;
        *store = nullptr;
        if (access != STGM_READ && access != STGM_WRITE && access != STGM_READWRITE)
            return E_INVALIDARG;
        std::wstring name;
        uint32_t fail = 0;
        HRESULT hr = WithLive([&](SharedBlock& block, int index) {
            name = ReadFixed(block.endpoints[index].name);
            return Give(&fail, block.endpoints[index].fail);
        });
        if (FAILED(hr))
            return hr;
        if (fail & kFailPropertyStore)
            return E_FAIL;
        *store = new (std::nothrow) CSimPropertyStore(m_id, m_life, name, (fail & kFailNoName) == 0);
        return *store ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetId(LPWSTR* id) override
    {
        HRESULT injected = S_OK;
        if (id && Injected(kFaultGetId, id, injected))
            return injected;
        if (HRESULT hr = Alive(); FAILED(hr))
            return hr;
        return GiveText(id, m_id);
    }
    STDMETHODIMP GetState(DWORD* state) override
    {
        if (!state)
            return E_POINTER;
        return WithLive([&](SharedBlock& block, int index) { return Give(state, block.endpoints[index].state); });
    }
    STDMETHODIMP GetDataFlow(EDataFlow* flow) override
    {
        HRESULT hr = Alive();
        return FAILED(hr) ? hr : Give(flow, m_flow == kFlowCapture ? eCapture : eRender);
    }

private:
    SimFlow m_flow;
};

class CSimCollection : public CSimCom<IMMDeviceCollection> {
public:
    struct Entry {
        std::wstring id;
        uint32_t life;  // the endpoint's life when the collection was made
        SimFlow flow;
    };
    explicit CSimCollection(std::vector<Entry> items) : CSimCom(kLiveCollection), m_items(std::move(items)) {}
    STDMETHODIMP GetCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        HRESULT hr = S_OK;
        switch (TakeFault(kFaultGetCount, hr)) {
        case kFaultFail:
            return hr;
        case kFaultNull:
            return Give(count, 0u);  // an empty result: nothing to enumerate
        default:
            return Give(count, static_cast<UINT>(m_items.size()));
        }
    }
    STDMETHODIMP Item(UINT index, IMMDevice** device) override
    {
        HRESULT hr = S_OK;
        if (device && Injected(kFaultItem, device, hr))
            return hr;
        if (device && index >= m_items.size())
            return Refuse(device, E_INVALIDARG);
        return GiveNew(device, [&] { return NewDevice(m_items[index].id, m_items[index].life, m_items[index].flow); });
    }

private:
    std::vector<Entry> m_items;  // a snapshot, as taken when the collection was made
};

class CSimEnumerator : public CSimCom<IMMDeviceEnumerator> {
public:
    CSimEnumerator() : CSimCom(kLiveEnumerator) {}
    STDMETHODIMP EnumAudioEndpoints(EDataFlow flow, DWORD stateMask, IMMDeviceCollection** devices) override
    {
        if (!devices)
            return E_POINTER;
        *devices = nullptr;
        HRESULT injected = S_OK;
        if (Injected(kFaultEnumAudioEndpoints, devices, injected))
            return injected;
        if (flow != eRender && flow != eCapture && flow != eAll)
            return E_INVALIDARG;
        if (stateMask == 0 || (stateMask & ~static_cast<DWORD>(DEVICE_STATEMASK_ALL)) != 0)
            return E_INVALIDARG;
        std::vector<CSimCollection::Entry> items;
        {
            CSimLock lock;
            if (!lock)
                return E_FAIL;
            const SharedBlock& block = lock.Block();
            for (uint32_t i = 0; i < EndpointCount(block); ++i) {
                const SharedEndpoint& endpoint = block.endpoints[i];
                SimFlow endpointFlow = FlowOf(endpoint);
                bool flowMatches = flow == eAll || (flow == eRender) == (endpointFlow == kFlowRender);
                if (flowMatches && (endpoint.state & stateMask) != 0)
                    items.push_back(CSimCollection::Entry{ReadFixed(endpoint.id), endpoint.life, endpointFlow});
            }
        }
        *devices = new (std::nothrow) CSimCollection(std::move(items));
        return *devices ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** endpoint) override
    {
        if (!endpoint)
            return E_POINTER;
        *endpoint = nullptr;
        if ((flow != eRender && flow != eCapture) || role < eConsole || role > eCommunications)
            return E_INVALIDARG;
        HRESULT injected = S_OK;
        if (Injected(static_cast<SimFault>(static_cast<uint32_t>(kFaultGetDefaultConsole) + static_cast<uint32_t>(role)), endpoint, injected))
            return injected;
        SimFlow simFlow = flow == eRender ? kFlowRender : kFlowCapture;
        std::wstring id;
        uint32_t life = 0;
        {
            CSimLock lock;
            if (!lock)
                return E_FAIL;
            id = DefaultId(lock.Block(), simFlow, role);
            if (FindEndpointById(lock.Block(), id) < 0)
                return kE_NotFound;
            life = EndpointLife(lock.Block(), id);
        }
        *endpoint = NewDevice(id, life, simFlow);
        return *endpoint ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetDevice(LPCWSTR id, IMMDevice** device) override
    {
        if (!id || !device)
            return E_POINTER;
        *device = nullptr;
        HRESULT injected = S_OK;
        if (Injected(kFaultGetDevice, device, injected))
            return injected;
        SimFlow flow = kFlowRender;
        uint32_t life = 0;
        std::wstring wanted(id, wcsnlen(id, kMaxIdChars));
        {
            CSimLock lock;
            if (!lock)
                return E_FAIL;
            int index = FindEndpointById(lock.Block(), wanted);
            if (index < 0 || wanted.size() >= kMaxIdChars)
                return kE_NotFound;
            flow = FlowOf(lock.Block().endpoints[index]);
            life = lock.Block().endpoints[index].life;
        }
        *device = NewDevice(wanted, life, flow);
        return *device ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP RegisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        if (!client)
            return E_POINTER;
        return Register(kFaultRegisterEndpointNotificationCallback, kRegNotificationClient, std::wstring(), 0, GUID_NULL,
                        [&] { return CNotifyHub::Instance().AddClient(client); });
    }
    STDMETHODIMP UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        if (!client)
            return E_POINTER;
        return LogRegistration(kRegNotificationClient, true, std::wstring(), 0, GUID_NULL,
                               CNotifyHub::Instance().RemoveClient(client));
    }
};

class CSimClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return SimQueryInterface(iid, out, static_cast<IClassFactory*>(this), __uuidof(IClassFactory));
    }
    // A single static factory: its references only keep the server loaded.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++g_serverReferences); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--g_serverReferences); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!CSharedState::Instance().Block())
            return E_FAIL;
        CNotifyHub::Instance().Start();
        HRESULT injected = S_OK;
        if (Injected(kFaultCreateEnumerator, out, injected))
            return injected;
        IMMDeviceEnumerator* enumerator = NewEnumerator();
        if (!enumerator)
            return E_OUTOFMEMORY;
        return HandOut(enumerator, iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            ++g_serverReferences;
        else
            --g_serverReferences;
        return S_OK;
    }
};

CSimClassFactory g_classFactory;

}  // namespace

IMMDeviceEnumerator* NewEnumerator()
{
    return new (std::nothrow) CSimEnumerator();
}

IMMDevice* NewDevice(const std::wstring& id, uint32_t life, SimFlow flow)
{
    return new (std::nothrow) CSimDevice(id, life, flow);
}

}  // namespace CoreAudioSim

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != CoreAudioSim::kClsidMMDeviceEnumerator)
        return CLASS_E_CLASSNOTAVAILABLE;
    return CoreAudioSim::g_classFactory.QueryInterface(iid, out);
}

// Test hook: this process's live simulated objects and held callbacks, by CoreAudioSim::LiveKind.
extern "C" void STDAPICALLTYPE KestrunSimLiveObjects(long* counts, unsigned kinds)
{
    {
        CoreAudioSim::CSimLock lock;
        if (lock)
            CoreAudioSim::g_live[CoreAudioSim::kLiveDeadObjects] = CoreAudioSim::CountDeadLocked(lock.Block());
    }
    for (unsigned k = 0; counts && k < kinds && k < CoreAudioSim::kLiveKindCount; ++k)
        counts[k] = CoreAudioSim::g_live[k].load();
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return CoreAudioSim::g_serverReferences.load() == 0 ? S_OK : S_FALSE;
}
