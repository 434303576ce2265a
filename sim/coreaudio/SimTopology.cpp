// Device topology: the endpoint's topology with its one connector, the adapter connector on
// the other side (also an IPart), the adapter topology with its subunits and the control
// interfaces they offer. Objects hold the endpoint ID and life (and subunit index) only; the
// shared state decides what exists at the moment of each call.
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
HRESULT WithEndpoint(const std::wstring& id, uint32_t life, int subunit, F&& check, CSimLock::Purpose purpose = CSimLock::kRead)
{
    CSimLock lock(purpose);
    if (!lock)
        return E_FAIL;
    int index = FindEndpointLife(lock.Block(), id, life);
    if (index < 0)
        return AUDCLNT_E_DEVICE_INVALIDATED;
    SharedEndpoint& endpoint = lock.Block().endpoints[index];
    if (subunit >= 0 && static_cast<uint32_t>(subunit) >= SubunitCount(endpoint))
        return AUDCLNT_E_DEVICE_INVALIDATED;
    return check(lock.Block(), index, endpoint);
}

IDeviceTopology* NewAdapterTopology(const std::wstring& id, uint32_t life);
IConnector* NewConnector(const std::wstring& id, uint32_t life, bool adapterSide);
ISubUnit* NewSubunit(const std::wstring& id, uint32_t life, uint32_t index);

// ---- Control interfaces of a subunit --------------------------------------------------------

// Common part of the four control objects: the subunit they belong to and the setter path.
class CSimControlBase : public CBoundObject {
public:
    CSimControlBase(std::wstring id, uint32_t life, uint32_t subunit) : CBoundObject(kLiveControl, std::move(id), life), m_subunit(subunit) {}

protected:
    template <class F>
    HRESULT ReadSubunit(F&& read)
    {
        return WithEndpoint(m_id, m_life, static_cast<int>(m_subunit), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return read(endpoint.subunits[m_subunit], endpoint);
        });
    }
    // Applies change to the subunit; a real change reaches the part's control callbacks.
    template <class F>
    HRESULT WriteSubunit(LPCGUID context, F&& change)
    {
        return WithEndpoint(m_id, m_life, static_cast<int>(m_subunit), [&](SharedBlock& block, int index, SharedEndpoint& endpoint) {
            HRESULT hr = change(endpoint.subunits[m_subunit], endpoint);
            if (hr != S_OK)
                return hr;
            return ControlChangeLocked(block, index, m_subunit, context, false, kCallSetPartControl);
        }, CSimLock::kChange);
    }
    // One field of the subunit's state behind a getter.
    template <class Out, class Field>
    HRESULT GetField(Out* out, Field SharedSubunit::*field)
    {
        if (!out)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit& subunit, const SharedEndpoint&) {
            *out = static_cast<Out>(subunit.*field);
            return S_OK;
        });
    }
    // The same field behind a setter: S_FALSE and no notification when nothing changes.
    template <class Field>
    HRESULT SetField(Field SharedSubunit::*field, Field next, LPCGUID context)
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) { return Store(subunit.*field, next); });
    }
    template <class Field>
    static HRESULT Store(Field& field, Field next)
    {
        if (field == next)
            return S_FALSE;
        field = next;
        return S_OK;
    }

    uint32_t m_subunit;
};

// Interface as callers see it, and as this object implements it (they differ for AGC only).
template <class Interface, class Implemented = Interface>
using CSimControl = CSimCom<Interface, CSimControlBase, Implemented>;

class CSimAudioMute : public CSimControl<IAudioMute> {
public:
    using CSimCom::CSimCom;
    STDMETHODIMP SetMute(BOOL mute, LPCGUID context) override { return SetField(&SharedSubunit::mute, mute ? 1u : 0u, context); }
    STDMETHODIMP GetMute(BOOL* mute) override { return GetField(mute, &SharedSubunit::mute); }
};

class CSimAutoGain : public CSimControl<IAudioAutoGainControl, IAudioAutoGainControlAbi> {
public:
    using CSimCom::CSimCom;
    STDMETHODIMP GetEnabled(BOOL* enabled) override { return GetField(enabled, &SharedSubunit::autoGain); }
    STDMETHODIMP SetEnabled(BOOL enable, LPCGUID context) override
    {
        return SetField(&SharedSubunit::autoGain, enable ? 1u : 0u, context);
    }
};

class CSimInputSelector : public CSimControl<IAudioInputSelector> {
public:
    using CSimCom::CSimCom;
    STDMETHODIMP GetSelection(UINT* selected) override { return GetField(selected, &SharedSubunit::selection); }
    STDMETHODIMP SetSelection(UINT select, LPCGUID context) override
    {
        return SetField(&SharedSubunit::selection, static_cast<uint32_t>(select), context);
    }
};

class CSimVolumeLevel : public CSimControl<IAudioVolumeLevel> {
public:
    using CSimCom::CSimCom;
    STDMETHODIMP GetChannelCount(UINT* channels) override
    {
        if (!channels)
            return E_POINTER;
        return ReadSubunit([&](const SharedSubunit&, const SharedEndpoint& endpoint) { return Give(channels, ChannelCount(endpoint)); });
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
            return Give(levelDb, std::isfinite(subunit.levelDb) ? subunit.levelDb : kMinDb);
        });
    }
    STDMETHODIMP SetLevel(UINT channel, float levelDb, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint) || !ValidDb(levelDb))
                return E_INVALIDARG;
            return Store(subunit.levelDb, levelDb);
        });
    }
    STDMETHODIMP SetLevelUniform(float levelDb, LPCGUID context) override
    {
        return WriteSubunit(context, [&](SharedSubunit& subunit, SharedEndpoint&) {
            return ValidDb(levelDb) ? Store(subunit.levelDb, levelDb) : E_INVALIDARG;
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
            return Store(subunit.levelDb, levelsDb[0]);
        });
    }

private:
    static constexpr float kMinDb = -96.0f;
    static constexpr float kMaxDb = 0.0f;
    static bool ValidDb(float db) { return std::isfinite(db) && db >= kMinDb && db <= kMaxDb; }
};

// ---- Parts ---------------------------------------------------------------------------------

// IPart methods common to connectors and subunits.
class CSimPartBase : public CBoundObject, public IPart {
public:
    STDMETHODIMP GetLocalId(UINT* id) override { return GiveIfAlive(id, LocalId()); }
    STDMETHODIMP GetGlobalId(LPWSTR* id) override
    {
        return GiveTextIfAlive(id, AdapterDeviceId(m_id) + L"/" + std::to_wstring(LocalId()));
    }
    STDMETHODIMP GetSubType(GUID* subType) override { return GiveIfAlive(subType, GUID_NULL); }
    // Not simulated: callers reach controls through Activate.
    STDMETHODIMP GetControlInterface(UINT, IControlInterface** control) override { return Refuse(control, E_NOTIMPL); }
    STDMETHODIMP EnumPartsIncoming(IPartsList** parts) override { return Refuse(parts, kE_NotFound); }
    STDMETHODIMP EnumPartsOutgoing(IPartsList** parts) override { return Refuse(parts, kE_NotFound); }
    STDMETHODIMP GetTopologyObjects(IDeviceTopology** topology) override
    {
        HRESULT hr = S_OK;
        if (topology && Injected(kFaultGetTopologyObject, topology, hr))
            return hr;
        if (topology && FAILED(hr = Alive()))
            return Refuse(topology, hr);
        return GiveNew(topology, [&] { return AdapterSide() ? NewAdapterTopology(m_id, m_life) : NewEndpointTopology(m_id, m_life); });
    }

protected:
    CSimPartBase(LiveKind kind, std::wstring id, uint32_t life) : CBoundObject(kind, std::move(id), life) {}
    virtual UINT LocalId() const = 0;
    virtual bool AdapterSide() const = 0;
    // QueryInterface of a part: its own interface, or IPart unless an injected fault decides.
    HRESULT QueryPart(REFIID iid, void** out, IUnknown* self, REFIID own, SimFault partFault)
    {
        HRESULT hr = S_OK;
        if (out && iid == __uuidof(IPart) && Injected(partFault, out, hr))
            return hr;
        const IID part = __uuidof(IPart);
        return SimQueryInterface(iid, out, self, own, &part, static_cast<IPart*>(this));
    }
};

class CSimConnector : public CSimPartBase, public IConnector {
public:
    CSimConnector(std::wstring id, uint32_t life, bool adapterSide)
        : CSimPartBase(kLiveConnector, std::move(id), life), m_adapterSide(adapterSide)
    {
    }
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return QueryPart(iid, out, static_cast<IConnector*>(this), __uuidof(IConnector), kFaultConnectorPart);
    }

    // IConnector
    STDMETHODIMP GetType(ConnectorType* type) override { return GiveIfAlive(type, m_adapterSide ? Physical_External : Software_IO); }
    STDMETHODIMP GetDataFlow(DataFlow* flow) override
    {
        if (!flow)
            return E_POINTER;
        SimFlow endpointFlow = kFlowRender;
        HRESULT hr = WithEndpoint(m_id, m_life, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
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
    STDMETHODIMP IsConnected(BOOL* connected) override { return GiveIfAlive(connected, TRUE); }
    STDMETHODIMP GetConnectedTo(IConnector** other) override
    {
        if (!other)
            return E_POINTER;
        *other = nullptr;
        HRESULT hr = S_OK;
        if (Injected(kFaultGetConnectedTo, other, hr))
            return hr;
        hr = WithEndpoint(m_id, m_life, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return (endpoint.fail & kFailConnector) ? kE_NotFound : S_OK;
        });
        if (FAILED(hr))
            return hr;
        return GiveNew(other, [&] { return NewConnector(m_id, m_life, !m_adapterSide); });
    }
    STDMETHODIMP GetConnectorIdConnectedTo(LPWSTR* id) override
    {
        UINT other = m_adapterSide ? kEndpointConnectorId : kAdapterConnectorId;
        return GiveTextIfAlive(id, AdapterDeviceId(m_id) + L"/" + std::to_wstring(other));
    }
    STDMETHODIMP GetDeviceIdConnectedTo(LPWSTR* id) override { return GiveTextIfAlive(id, m_adapterSide ? m_id : AdapterDeviceId(m_id)); }

    // IPart
    STDMETHODIMP GetName(LPWSTR* name) override { return GiveTextIfAlive(name, m_adapterSide ? L"Adapter connector" : L"Endpoint connector"); }
    STDMETHODIMP GetPartType(PartType* type) override { return GiveIfAlive(type, Connector); }
    STDMETHODIMP GetControlInterfaceCount(UINT* count) override { return GiveIfAlive(count, 0u); }
    // Connectors carry no controls here.
    STDMETHODIMP Activate(DWORD, REFIID, void** out) override { return Refuse(out, E_NOINTERFACE); }
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
    bool AdapterSide() const override { return m_adapterSide; }
    bool m_adapterSide;
};

class CSimSubunit : public CSimPartBase, public ISubUnit {
public:
    CSimSubunit(std::wstring id, uint32_t life, uint32_t index) : CSimPartBase(kLiveSubunit, std::move(id), life), m_index(index) {}
    SIM_REFCOUNT_METHODS

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return QueryPart(iid, out, static_cast<ISubUnit*>(this), __uuidof(ISubUnit), kFaultSubunitPart);
    }

    STDMETHODIMP GetName(LPWSTR* name) override { return GiveTextIfAlive(name, L"Subunit " + std::to_wstring(m_index)); }
    STDMETHODIMP GetPartType(PartType* type) override { return GiveIfAlive(type, Subunit); }
    STDMETHODIMP GetControlInterfaceCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        return WithEndpoint(m_id, m_life, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            uint32_t controls = endpoint.subunits[m_index].controls & 0xF;
            UINT n = 0;
            for (; controls; controls &= controls - 1)
                ++n;
            return Give(count, n);
        });
    }
    STDMETHODIMP Activate(DWORD, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        HRESULT hr = S_OK;
        if (Injected(kFaultPartActivate, out, hr))
            return hr;
        uint32_t bit = ControlBitOf(iid);
        hr = WithEndpoint(m_id, m_life, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            return (bit != 0 && (endpoint.subunits[m_index].controls & bit)) ? S_OK : E_NOINTERFACE;
        });
        if (FAILED(hr))
            return hr;
        switch (bit) {
        case kCtlAutoGain:
            return HandOut(new (std::nothrow) CSimAutoGain(m_id, m_life, m_index), iid, out);
        case kCtlInputSelector:
            return HandOut(new (std::nothrow) CSimInputSelector(m_id, m_life, m_index), iid, out);
        case kCtlMute:
            return HandOut(new (std::nothrow) CSimAudioMute(m_id, m_life, m_index), iid, out);
        default:
            return HandOut(new (std::nothrow) CSimVolumeLevel(m_id, m_life, m_index), iid, out);
        }
    }
    STDMETHODIMP RegisterControlChangeCallback(REFGUID iid, IControlChangeNotify* notify) override
    {
        if (!notify)
            return E_POINTER;
        uint32_t bit = ControlBitOf(iid);
        return Register(kFaultRegisterControlChangeCallback, kRegControlChange, m_id, m_index, iid, [&] {
            return WithEndpoint(m_id, m_life, static_cast<int>(m_index), [&](SharedBlock&, int, SharedEndpoint& endpoint) {
                const SharedSubunit& subunit = endpoint.subunits[m_index];
                if (bit == 0 || !(subunit.controls & bit))
                    return E_NOINTERFACE;
                if (subunit.failRegister & bit)
                    return E_FAIL;
                return CNotifyHub::Instance().AddControl(m_id, m_life, m_index, notify);
            });
        });
    }
    STDMETHODIMP UnregisterControlChangeCallback(IControlChangeNotify* notify) override
    {
        if (!notify)
            return E_POINTER;
        HRESULT hr = Alive();
        return LogRegistration(kRegControlChange, true, m_id, m_index, GUID_NULL,
                               FAILED(hr) ? hr : CNotifyHub::Instance().RemoveControl(m_id, m_index, notify));
    }

private:
    UINT LocalId() const override { return kFirstSubunitId + m_index; }
    bool AdapterSide() const override { return true; }
    uint32_t m_index;
};

// ---- Topologies ----------------------------------------------------------------------------

class CSimTopology : public CSimCom<IDeviceTopology, CBoundObject> {
public:
    CSimTopology(std::wstring id, uint32_t life, bool adapter)
        : CSimCom(adapter ? kLiveAdapterTopology : kLiveEndpointTopology, std::move(id), life), m_adapter(adapter)
    {
    }
    STDMETHODIMP GetConnectorCount(UINT* count) override { return GiveIfAlive(count, 1u); }
    STDMETHODIMP GetConnector(UINT index, IConnector** connector) override
    {
        if (!connector)
            return E_POINTER;
        *connector = nullptr;
        HRESULT hr = S_OK;
        if (Injected(kFaultGetConnector, connector, hr))
            return hr;
        if (index != 0)
            return E_INVALIDARG;
        hr = WithEndpoint(m_id, m_life, -1, [](SharedBlock&, int, SharedEndpoint&) { return S_OK; });
        if (FAILED(hr))
            return hr;
        return GiveNew(connector, [&] { return NewConnector(m_id, m_life, m_adapter); });
    }
    STDMETHODIMP GetSubunitCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        HRESULT hr = S_OK;
        switch (TakeFault(kFaultGetSubunitCount, hr)) {
        case kFaultFail:
            return hr;
        case kFaultNull:
            return Give(count, 0u);  // an empty result: no subunits
        default:
            break;
        }
        if (!m_adapter)
            return GiveIfAlive(count, 0u);
        return WithEndpoint(m_id, m_life, -1, [&](SharedBlock&, int, SharedEndpoint& endpoint) {
            if (endpoint.fail & kFailSubunitCount)
                return E_FAIL;
            return Give(count, SubunitCount(endpoint));
        });
    }
    STDMETHODIMP GetSubunit(UINT index, ISubUnit** subunit) override
    {
        if (!subunit)
            return E_POINTER;
        *subunit = nullptr;
        HRESULT hr = S_OK;
        FaultMode fault = TakeFault(kFaultGetSubunit, hr);  // before the lock: a delay must not hold it
        CSimLock lock;
        if (!lock)
            return E_FAIL;
        int endpoint = FindLive(lock.Block());
        if (fault == kFaultNull)
            hr = S_OK;
        else if (fault == kFaultFail)
            ;  // hr holds the injected failure
        else if (endpoint < 0)
            hr = AUDCLNT_E_DEVICE_INVALIDATED;
        else if (!m_adapter || index >= SubunitCount(lock.Block().endpoints[endpoint]))
            hr = E_INVALIDARG;
        LogSubunitRequestLocked(lock.Block(), m_id, index, hr);
        if (FAILED(hr) || fault == kFaultNull)
            return hr;
        return GiveNew(subunit, [&] { return NewSubunit(m_id, m_life, index); });
    }
    STDMETHODIMP GetPartById(UINT id, IPart** part) override
    {
        if (!part)
            return E_POINTER;
        *part = nullptr;
        void* out = nullptr;
        HRESULT hr = kE_NotFound;
        if (id == (m_adapter ? kAdapterConnectorId : kEndpointConnectorId)) {
            hr = HandOut(NewConnector(m_id, m_life, m_adapter), __uuidof(IPart), &out);
        } else if (m_adapter && id >= kFirstSubunitId && id - kFirstSubunitId < kMaxSubunits) {
            uint32_t index = id - kFirstSubunitId;
            hr = WithEndpoint(m_id, m_life, static_cast<int>(index), [](SharedBlock&, int, SharedEndpoint&) { return S_OK; });
            if (SUCCEEDED(hr))
                hr = HandOut(NewSubunit(m_id, m_life, index), __uuidof(IPart), &out);
            else
                hr = kE_NotFound;
        }
        *part = static_cast<IPart*>(out);
        return hr;
    }
    STDMETHODIMP GetDeviceId(LPWSTR* id) override { return GiveTextIfAlive(id, m_adapter ? AdapterDeviceId(m_id) : m_id); }
    STDMETHODIMP GetSignalPath(IPart*, IPart*, BOOL, IPartsList** parts) override { return Refuse(parts, E_NOTIMPL); }

private:
    bool m_adapter;
};

IDeviceTopology* NewAdapterTopology(const std::wstring& id, uint32_t life)
{
    return new (std::nothrow) CSimTopology(id, life, true);
}

IConnector* NewConnector(const std::wstring& id, uint32_t life, bool adapterSide)
{
    return new (std::nothrow) CSimConnector(id, life, adapterSide);
}

ISubUnit* NewSubunit(const std::wstring& id, uint32_t life, uint32_t index)
{
    return new (std::nothrow) CSimSubunit(id, life, index);
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

IDeviceTopology* NewEndpointTopology(const std::wstring& id, uint32_t life)
{
    return new (std::nothrow) CSimTopology(id, life, false);
}

}  // namespace CoreAudioSim
