// Device topology: the endpoint's topology with its one connector, the adapter connector on
// the other side (also an IPart), the adapter topology with its subunits and the control
// interfaces they offer. Objects hold the endpoint ID (and subunit index) only; the shared
// state decides what exists at the moment of each call.
#include "sim/coreaudio/SimNotify.h"

#include <cmath>
#include <new>

namespace CoreAudioSim {

namespace {

constexpr UINT kEndpointConnectorId = 0;
constexpr UINT kAdapterConnectorId = 1;
constexpr UINT kFirstSubunitId = 0x100;

std::wstring AdapterDeviceId(const std::wstring& endpointId)
{
    return L"KestrunSim\\Adapter\\" + endpointId;
}

// Runs check with the endpoint (and, when subunit >= 0, the subunit) under the lock.
template <class F>
HRESULT WithEndpoint(const std::wstring& id, int subunit, F&& check)
{
    CSimLock lock;
    if (!lock)
        return E_FAIL;
    int index = FindEndpointById(lock.Block(), id);
    if (index < 0)
        return AUDCLNT_E_DEVICE_INVALIDATED;
    SharedEndpoint& endpoint = lock.Block().endpoints[index];
    if (subunit >= 0 && static_cast<uint32_t>(subunit) >= SubunitCount(endpoint))
        return AUDCLNT_E_DEVICE_INVALIDATED;
    return check(lock.Block(), index, endpoint);
}

IDeviceTopology* NewAdapterTopology(const std::wstring& id);
IConnector* NewConnector(const std::wstring& id, bool adapterSide);
ISubUnit* NewSubunit(const std::wstring& id, uint32_t index);

// ---- Control interfaces of a subunit --------------------------------------------------------

// Common part of the four control objects: the subunit they belong to and the setter path.
class CSimControlBase : public CSimObject {
public:
    CSimControlBase(std::wstring id, uint32_t subunit) : m_id(std::move(id)), m_subunit(subunit) {}

protected:
    template <class F>
    HRESULT ReadSubunit(F&& read)
    {
        return WithEndpoint(m_id, static_cast<int>(m_subunit), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return read(endpoint.subunits[m_subunit], endpoint);
        });
    }
    // Applies change to the subunit; a real change reaches the part's control callbacks.
    template <class F>
    HRESULT WriteSubunit(LPCGUID context, F&& change)
    {
        return WithEndpoint(m_id, static_cast<int>(m_subunit), [&](SharedBlock& block, int index, SharedEndpoint& endpoint) {
            HRESULT hr = change(endpoint.subunits[m_subunit], endpoint);
            if (hr != S_OK)
                return hr;
            return ControlChangeLocked(block, index, m_subunit, context, false, kCallSetPartControl);
        });
    }

    std::wstring m_id;
    uint32_t m_subunit;
};

#define SIM_CONTROL_QI(Interface)                                                                 \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override                                  \
    {                                                                                             \
        return SimQueryInterface(iid, out, static_cast<Interface##Abi*>(this), __uuidof(Interface)); \
    }

using IAudioMuteAbi = IAudioMute;
using IAudioInputSelectorAbi = IAudioInputSelector;
using IAudioVolumeLevelAbi = IAudioVolumeLevel;

class CSimAudioMute : public CSimControlBase, public IAudioMute {
public:
    using CSimControlBase::CSimControlBase;
    SIM_REFCOUNT_METHODS
    SIM_CONTROL_QI(IAudioMute)
    STDMETHODIMP SetMute(BOOL mute, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) {
            uint32_t next = mute ? 1 : 0;
            if (subunit.mute == next)
                return S_FALSE;
            subunit.mute = next;
            return S_OK;
        });
    }
    STDMETHODIMP GetMute(BOOL* mute) override
    {
        if (!mute)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit& subunit, const SharedEndpoint&) {
            *mute = subunit.mute ? TRUE : FALSE;
            return S_OK;
        });
    }
};

class CSimAutoGain : public CSimControlBase, public IAudioAutoGainControlAbi {
public:
    using CSimControlBase::CSimControlBase;
    SIM_REFCOUNT_METHODS
    SIM_CONTROL_QI(IAudioAutoGainControl)
    STDMETHODIMP GetEnabled(BOOL* enabled) override
    {
        if (!enabled)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit& subunit, const SharedEndpoint&) {
            *enabled = subunit.autoGain ? TRUE : FALSE;
            return S_OK;
        });
    }
    STDMETHODIMP SetEnabled(BOOL enable, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) {
            uint32_t next = enable ? 1 : 0;
            if (subunit.autoGain == next)
                return S_FALSE;
            subunit.autoGain = next;
            return S_OK;
        });
    }
};

class CSimInputSelector : public CSimControlBase, public IAudioInputSelector {
public:
    using CSimControlBase::CSimControlBase;
    SIM_REFCOUNT_METHODS
    SIM_CONTROL_QI(IAudioInputSelector)
    STDMETHODIMP GetSelection(UINT* selected) override
    {
        if (!selected)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit& subunit, const SharedEndpoint&) {
            *selected = subunit.selection;
            return S_OK;
        });
    }
    STDMETHODIMP SetSelection(UINT select, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) {
            if (subunit.selection == select)
                return S_FALSE;
            subunit.selection = select;
            return S_OK;
        });
    }
};

class CSimVolumeLevel : public CSimControlBase, public IAudioVolumeLevel {
public:
    using CSimControlBase::CSimControlBase;
    SIM_REFCOUNT_METHODS
    SIM_CONTROL_QI(IAudioVolumeLevel)
    STDMETHODIMP GetChannelCount(UINT* channels) override
    {
        if (!channels)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit&, const SharedEndpoint& endpoint) {
            *channels = ChannelCount(endpoint);
            return S_OK;
        });
    }
    STDMETHODIMP GetLevelRange(UINT channel, float* minDb, float* maxDb, float* stepping) override
    {
        if (!minDb || !maxDb || !stepping)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit&, const SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint))
                return E_INVALIDARG;
            *minDb = kMinDb;
            *maxDb = kMaxDb;
            *stepping = 0.5f;
            return S_OK;
        });
    }
    STDMETHODIMP GetLevel(UINT channel, float* levelDb) override
    {
        if (!levelDb)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit& subunit, const SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint))
                return E_INVALIDARG;
            *levelDb = std::isfinite(subunit.levelDb) ? subunit.levelDb : kMinDb;
            return S_OK;
        });
    }
    STDMETHODIMP SetLevel(UINT channel, float levelDb, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint) || !ValidDb(levelDb))
                return E_INVALIDARG;
            return Store(subunit, levelDb);
        });
    }
    STDMETHODIMP SetLevelUniform(float levelDb, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) {
            return ValidDb(levelDb) ? Store(subunit, levelDb) : E_INVALIDARG;
        });
    }
    STDMETHODIMP SetLevelAllChannels(float* levelsDb, ULONG channels, LPCGUID context) override
    {
        if (!levelsDb)
            return E_POINTER;
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint& endpoint) {
            // One level serves every channel of a simulated subunit: the first one given.
            if (channels != ChannelCount(endpoint) || !ValidDb(levelsDb[0]))
                return E_INVALIDARG;
            return Store(subunit, levelsDb[0]);
        });
    }

private:
    static constexpr float kMinDb = -96.0f;
    static constexpr float kMaxDb = 0.0f;
    static bool ValidDb(float db) { return std::isfinite(db) && db >= kMinDb && db <= kMaxDb; }
    static HRESULT Store(SharedSubunit& subunit, float db)
    {
        if (subunit.levelDb == db)
            return S_FALSE;
        subunit.levelDb = db;
        return S_OK;
    }
};

// ---- Parts ---------------------------------------------------------------------------------

// IPart methods common to connectors and subunits.
class CSimPartBase : public CSimObject, public IPart {
public:
    STDMETHODIMP GetLocalId(UINT* id) override
    {
        if (!id)
            return E_POINTER;
        *id = LocalId();
        return S_OK;
    }
    STDMETHODIMP GetGlobalId(LPWSTR* id) override
    {
        if (!id)
            return E_POINTER;
        *id = CoTaskStrDup(AdapterDeviceId(m_id) + L"/" + std::to_wstring(LocalId()));
        return *id ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetSubType(GUID* subType) override
    {
        if (!subType)
            return E_POINTER;
        *subType = GUID_NULL;
        return S_OK;
    }
    STDMETHODIMP GetControlInterface(UINT, IControlInterface** control) override
    {
        if (!control)
            return E_POINTER;
        *control = nullptr;
        return E_NOTIMPL;  // not simulated: callers reach controls through Activate
    }
    STDMETHODIMP EnumPartsIncoming(IPartsList** parts) override
    {
        if (!parts)
            return E_POINTER;
        *parts = nullptr;
        return kE_NotFound;
    }
    STDMETHODIMP EnumPartsOutgoing(IPartsList** parts) override
    {
        if (!parts)
            return E_POINTER;
        *parts = nullptr;
        return kE_NotFound;
    }

protected:
    explicit CSimPartBase(std::wstring id) : m_id(std::move(id)) {}
    virtual UINT LocalId() const = 0;
    std::wstring m_id;
};

class CSimConnector : public CSimPartBase, public IConnector {
public:
    CSimConnector(std::wstring id, bool adapterSide) : CSimPartBase(std::move(id)), m_adapterSide(adapterSide) {}
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const IID second = __uuidof(IPart);
        return SimQueryInterface(iid, out, static_cast<IConnector*>(this), __uuidof(IConnector), &second,
                                 static_cast<IPart*>(this));
    }

    // IConnector
    STDMETHODIMP GetType(ConnectorType* type) override
    {
        if (!type)
            return E_POINTER;
        *type = m_adapterSide ? Physical_External : Software_IO;
        return S_OK;
    }
    STDMETHODIMP GetDataFlow(DataFlow* flow) override
    {
        if (!flow)
            return E_POINTER;
        SimFlow endpointFlow = kFlowRender;
        HRESULT hr = WithEndpoint(m_id, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            endpointFlow = FlowOf(endpoint);
            return S_OK;
        });
        // Render data flows out of the endpoint into the adapter; capture the other way.
        bool out = (endpointFlow == kFlowRender) != m_adapterSide;
        *flow = out ? Out : In;
        return hr;
    }
    STDMETHODIMP ConnectTo(IConnector*) override { return E_NOTIMPL; }  // the wiring is fixed
    STDMETHODIMP Disconnect() override { return E_NOTIMPL; }
    STDMETHODIMP IsConnected(BOOL* connected) override
    {
        if (!connected)
            return E_POINTER;
        *connected = TRUE;
        return S_OK;
    }
    STDMETHODIMP GetConnectedTo(IConnector** other) override
    {
        if (!other)
            return E_POINTER;
        *other = nullptr;
        HRESULT hr = WithEndpoint(m_id, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return (endpoint.fail & kFailConnector) ? kE_NotFound : S_OK;
        });
        if (FAILED(hr))
            return hr;
        *other = NewConnector(m_id, !m_adapterSide);
        return *other ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetConnectorIdConnectedTo(LPWSTR* id) override
    {
        if (!id)
            return E_POINTER;
        UINT other = m_adapterSide ? kEndpointConnectorId : kAdapterConnectorId;
        *id = CoTaskStrDup(AdapterDeviceId(m_id) + L"/" + std::to_wstring(other));
        return *id ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetDeviceIdConnectedTo(LPWSTR* id) override
    {
        if (!id)
            return E_POINTER;
        *id = CoTaskStrDup(m_adapterSide ? m_id : AdapterDeviceId(m_id));
        return *id ? S_OK : E_OUTOFMEMORY;
    }

    // IPart
    STDMETHODIMP GetName(LPWSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = CoTaskStrDup(m_adapterSide ? L"Adapter connector" : L"Endpoint connector");
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetPartType(PartType* type) override
    {
        if (!type)
            return E_POINTER;
        *type = Connector;
        return S_OK;
    }
    STDMETHODIMP GetControlInterfaceCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTopologyObjects(IDeviceTopology** topology) override
    {
        if (!topology)
            return E_POINTER;
        *topology = m_adapterSide ? NewAdapterTopology(m_id) : NewEndpointTopology(m_id);
        return *topology ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Activate(DWORD, REFIID, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return E_NOINTERFACE;  // connectors carry no controls here
    }
    STDMETHODIMP RegisterControlChangeCallback(REFGUID, IControlChangeNotify* notify) override
    {
        return notify ? E_NOINTERFACE : E_POINTER;
    }
    STDMETHODIMP UnregisterControlChangeCallback(IControlChangeNotify* notify) override
    {
        return notify ? kE_NotFound : E_POINTER;
    }

private:
    UINT LocalId() const override { return m_adapterSide ? kAdapterConnectorId : kEndpointConnectorId; }
    bool m_adapterSide;
};

class CSimSubunit : public CSimPartBase, public ISubUnit {
public:
    CSimSubunit(std::wstring id, uint32_t index) : CSimPartBase(std::move(id)), m_index(index) {}
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const IID second = __uuidof(IPart);
        return SimQueryInterface(iid, out, static_cast<ISubUnit*>(this), __uuidof(ISubUnit), &second,
                                 static_cast<IPart*>(this));
    }

    STDMETHODIMP GetName(LPWSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = CoTaskStrDup(L"Subunit " + std::to_wstring(m_index));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetPartType(PartType* type) override
    {
        if (!type)
            return E_POINTER;
        *type = Subunit;
        return S_OK;
    }
    STDMETHODIMP GetControlInterfaceCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        return WithEndpoint(m_id, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            uint32_t controls = endpoint.subunits[m_index].controls & 0xF;
            UINT n = 0;
            for (; controls; controls &= controls - 1)
                ++n;
            *count = n;
            return S_OK;
        });
    }
    STDMETHODIMP GetTopologyObjects(IDeviceTopology** topology) override
    {
        if (!topology)
            return E_POINTER;
        *topology = NewAdapterTopology(m_id);
        return *topology ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Activate(DWORD, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        uint32_t bit = ControlBitOf(iid);
        HRESULT hr = WithEndpoint(m_id, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return (bit != 0 && (endpoint.subunits[m_index].controls & bit)) ? S_OK : E_NOINTERFACE;
        });
        if (FAILED(hr))
            return hr;
        switch (bit) {
        case kCtlAutoGain:
            return HandOut(new (std::nothrow) CSimAutoGain(m_id, m_index), iid, out);
        case kCtlInputSelector:
            return HandOut(new (std::nothrow) CSimInputSelector(m_id, m_index), iid, out);
        case kCtlMute:
            return HandOut(new (std::nothrow) CSimAudioMute(m_id, m_index), iid, out);
        default:
            return HandOut(new (std::nothrow) CSimVolumeLevel(m_id, m_index), iid, out);
        }
    }
    STDMETHODIMP RegisterControlChangeCallback(REFGUID iid, IControlChangeNotify* notify) override
    {
        if (!notify)
            return E_POINTER;
        uint32_t bit = ControlBitOf(iid);
        HRESULT hr = WithEndpoint(m_id, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            const SharedSubunit& subunit = endpoint.subunits[m_index];
            if (bit == 0 || !(subunit.controls & bit))
                return E_NOINTERFACE;
            return (subunit.failRegister & bit) ? E_FAIL : S_OK;
        });
        if (SUCCEEDED(hr))
            hr = CNotifyHub::Instance().AddControl(m_id, m_index, notify);
        CSimLock lock;
        if (lock)
            LogRegistrationLocked(lock.Block(), kRegControlChange, false, m_id, m_index, iid, hr);
        return hr;
    }
    STDMETHODIMP UnregisterControlChangeCallback(IControlChangeNotify* notify) override
    {
        if (!notify)
            return E_POINTER;
        HRESULT hr = CNotifyHub::Instance().RemoveControl(m_id, m_index, notify);
        CSimLock lock;
        if (lock)
            LogRegistrationLocked(lock.Block(), kRegControlChange, true, m_id, m_index, GUID_NULL, hr);
        return hr;
    }

private:
    UINT LocalId() const override { return kFirstSubunitId + m_index; }
    uint32_t m_index;
};

// ---- Topologies ----------------------------------------------------------------------------

class CSimTopology : public CSimObject, public IDeviceTopology {
public:
    CSimTopology(std::wstring id, bool adapter) : m_id(std::move(id)), m_adapter(adapter) {}
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return SimQueryInterface(iid, out, static_cast<IDeviceTopology*>(this), __uuidof(IDeviceTopology));
    }
    STDMETHODIMP GetConnectorCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetConnector(UINT index, IConnector** connector) override
    {
        if (!connector)
            return E_POINTER;
        *connector = nullptr;
        if (index != 0)
            return E_INVALIDARG;
        HRESULT hr = WithEndpoint(m_id, -1, [](SharedBlock&, int, SharedEndpoint&) { return S_OK; });
        if (FAILED(hr))
            return hr;
        *connector = NewConnector(m_id, m_adapter);
        return *connector ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetSubunitCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        if (!m_adapter) {
            *count = 0;
            return S_OK;
        }
        return WithEndpoint(m_id, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            if (endpoint.fail & kFailSubunitCount)
                return E_FAIL;
            *count = SubunitCount(endpoint);
            return S_OK;
        });
    }
    STDMETHODIMP GetSubunit(UINT index, ISubUnit** subunit) override
    {
        if (!subunit)
            return E_POINTER;
        *subunit = nullptr;
        CSimLock lock;
        if (!lock)
            return E_FAIL;
        int endpoint = FindEndpointById(lock.Block(), m_id);
        HRESULT hr = S_OK;
        if (endpoint < 0)
            hr = AUDCLNT_E_DEVICE_INVALIDATED;
        else if (!m_adapter || index >= SubunitCount(lock.Block().endpoints[endpoint]))
            hr = E_INVALIDARG;
        LogSubunitRequestLocked(lock.Block(), m_id, index, hr);
        if (FAILED(hr))
            return hr;
        *subunit = NewSubunit(m_id, index);
        return *subunit ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetPartById(UINT id, IPart** part) override
    {
        if (!part)
            return E_POINTER;
        *part = nullptr;
        void* out = nullptr;
        HRESULT hr = kE_NotFound;
        if (id == (m_adapter ? kAdapterConnectorId : kEndpointConnectorId)) {
            hr = HandOut(NewConnector(m_id, m_adapter), __uuidof(IPart), &out);
        } else if (m_adapter && id >= kFirstSubunitId && id - kFirstSubunitId < kMaxSubunits) {
            uint32_t index = id - kFirstSubunitId;
            hr = WithEndpoint(m_id, static_cast<int>(index), [](SharedBlock&, int, SharedEndpoint&) { return S_OK; });
            if (SUCCEEDED(hr))
                hr = HandOut(NewSubunit(m_id, index), __uuidof(IPart), &out);
            else
                hr = kE_NotFound;
        }
        *part = static_cast<IPart*>(out);
        return hr;
    }
    STDMETHODIMP GetDeviceId(LPWSTR* id) override
    {
        if (!id)
            return E_POINTER;
        *id = CoTaskStrDup(m_adapter ? AdapterDeviceId(m_id) : m_id);
        return *id ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetSignalPath(IPart*, IPart*, BOOL, IPartsList** parts) override
    {
        if (!parts)
            return E_POINTER;
        *parts = nullptr;
        return E_NOTIMPL;  // not simulated
    }

private:
    std::wstring m_id;
    bool m_adapter;
};

IDeviceTopology* NewAdapterTopology(const std::wstring& id)
{
    return new (std::nothrow) CSimTopology(id, true);
}

IConnector* NewConnector(const std::wstring& id, bool adapterSide)
{
    return new (std::nothrow) CSimConnector(id, adapterSide);
}

ISubUnit* NewSubunit(const std::wstring& id, uint32_t index)
{
    return new (std::nothrow) CSimSubunit(id, index);
}

}  // namespace

uint32_t ControlBitOf(REFIID iid)
{
    if (iid == __uuidof(IAudioAutoGainControl))
        return kCtlAutoGain;
    if (iid == __uuidof(IAudioInputSelector))
        return kCtlInputSelector;
    if (iid == __uuidof(IAudioMute))
        return kCtlMute;
    if (iid == __uuidof(IAudioVolumeLevel))
        return kCtlVolumeLevel;
    return 0;
}

IDeviceTopology* NewEndpointTopology(const std::wstring& id)
{
    return new (std::nothrow) CSimTopology(id, false);
}

}  // namespace CoreAudioSim
