// COM plumbing shared by the simulator's objects.
#pragma once

#include "sim/coreaudio/SimShared.h"

#include <devicetopology.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <propsys.h>
#include <wrl/client.h>

#include <atomic>
#include <string>

namespace CoreAudioSim {

using Microsoft::WRL::ComPtr;

// {BCDE0395-E52F-467C-8E3D-C4579291692E}
constexpr CLSID kClsidMMDeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
// PKEY_Device_FriendlyName, named here so that no TU needs INITGUID.
constexpr PROPERTYKEY kFriendlyNameKey = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

// IAudioAutoGainControl as Windows lays it out. mingw-w64's header declares the two methods
// with the wrong parameters (GetEnabled(BOOL, LPCGUID), GetMute(BOOL*)), so callers built with
// the Windows SDK would call the wrong slot meaning.
struct IAudioAutoGainControlAbi : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL* enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL enable, LPCGUID eventContext) = 0;
};

// Live objects and server locks, for DllCanUnloadNow.
extern std::atomic<long> g_serverReferences;
// Live objects and held callbacks of this process, by kind (KestrunSimLiveObjects reads them).
extern std::atomic<long> g_live[kLiveKindCount];

// The fault table's answer for one call (see SimControl.h); hr receives the failure code.
FaultMode TakeFault(SimFault fault, HRESULT& hr);

// Reference counting and the object counts; the derived class supplies QueryInterface.
class CSimObject {
protected:
    explicit CSimObject(LiveKind kind) : m_kind(kind)
    {
        ++g_serverReferences;
        ++g_live[kind];
    }
    virtual ~CSimObject()
    {
        --g_live[m_kind];
        --g_serverReferences;
    }
    ULONG AddRefImpl() { return ++m_refCount; }
    ULONG ReleaseImpl()
    {
        ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }

private:
    std::atomic<ULONG> m_refCount{1};
    LiveKind m_kind;
};

#define SIM_REFCOUNT_METHODS                                            \
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }     \
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

// For a call that hands back an interface or string through out: true when an injected fault
// decides the call, which then returns hr (the failure, or S_OK with *out null).
template <class T>
bool Injected(SimFault fault, T** out, HRESULT& hr)
{
    FaultMode mode = TakeFault(fault, hr);
    if (mode == kFaultOff)
        return false;
    if (out)
        *out = nullptr;
    if (mode == kFaultNull)
        hr = S_OK;
    return true;
}

// The shapes every getter shares: a checked out-parameter receiving a value, a CoTaskMem copy
// of a text, a new object, or nothing with a refusal.
template <class T, class V>
HRESULT Give(T* out, V value)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}
LPWSTR CoTaskStrDup(const std::wstring& text);
inline HRESULT GiveText(LPWSTR* out, const std::wstring& text)
{
    if (!out)
        return E_POINTER;
    *out = CoTaskStrDup(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}
template <class T, class Make>
HRESULT GiveNew(T** out, Make&& make)
{
    if (!out)
        return E_POINTER;
    *out = make();
    return *out ? S_OK : E_OUTOFMEMORY;
}
template <class T>
HRESULT Refuse(T** out, HRESULT hr)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return hr;
}

// The QueryInterface every simulator object answers: IUnknown and its own interface give
// `self`, an optional second interface gives `second`; anything else is refused.
inline HRESULT SimQueryInterface(REFIID iid, void** out, IUnknown* self, REFIID own,
                                 const IID* secondIid = nullptr, void* second = nullptr)
{
    if (!out)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == own)
        *out = self;
    else if (secondIid != nullptr && iid == *secondIid)
        *out = second;
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    self->AddRef();
    return S_OK;
}

// Hands a new object (reference count 1) out through the requested interface.
template <class T>
HRESULT HandOut(T* object, REFIID iid, void** out)
{
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

// An object obtained from an endpoint. It belongs to the endpoint's life in which it was made:
// once that life ends (removal, or a move into or out of the active state) every call answers
// AUDCLNT_E_DEVICE_INVALIDATED, also after the same ID comes back, as Windows does.
class CBoundObject : public CSimObject {
protected:
    CBoundObject(LiveKind kind, std::wstring id, uint32_t life);
    ~CBoundObject() override;
    // The endpoint's index while this object's life lasts, else -1.
    int FindLive(const SharedBlock& block) const { return FindEndpointLife(block, m_id, m_life); }
    // Runs use(block, index) under the lock while the life lasts; AUDCLNT_E_DEVICE_INVALIDATED after.
    template <class F>
    HRESULT WithLive(F&& use, CSimLock::Purpose purpose = CSimLock::kRead) const
    {
        CSimLock lock(purpose);
        if (!lock)
            return E_FAIL;
        int index = FindLive(lock.Block());
        if (index < 0)
            return AUDCLNT_E_DEVICE_INVALIDATED;
        return use(lock.Block(), index);
    }
    HRESULT Alive() const
    {
        return WithLive([](SharedBlock&, int) { return S_OK; });
    }
    template <class T, class V>
    HRESULT GiveIfAlive(T* out, V value) const
    {
        HRESULT hr = Alive();
        return FAILED(hr) ? hr : Give(out, value);
    }
    HRESULT GiveTextIfAlive(LPWSTR* out, const std::wstring& text) const
    {
        HRESULT hr = Alive();
        return FAILED(hr) ? hr : GiveText(out, text);
    }

    std::wstring m_id;
    uint32_t m_life;

    friend long CountDeadLocked(const SharedBlock& block);
};

// This process's objects whose endpoint life has ended (the caller holds the lock).
long CountDeadLocked(const SharedBlock& block);

// A registration call: an injected fault decides first (its null form reports success and
// never calls back), then add runs; the outcome goes into the registration log.
HRESULT LogRegistration(RegistrationKind kind, bool unregister, const std::wstring& endpointId, uint32_t subunit,
                        const GUID& iid, HRESULT hr);
template <class Add>
HRESULT Register(SimFault fault, RegistrationKind kind, const std::wstring& endpointId, uint32_t subunit, const GUID& iid,
                 Add&& add)
{
    HRESULT hr = S_OK;
    FaultMode mode = TakeFault(fault, hr);
    if (mode == kFaultNull)
        hr = S_OK;
    else if (mode == kFaultOff)
        hr = add();
    return LogRegistration(kind, false, endpointId, subunit, iid, hr);
}

// The COM part of an object with one interface: reference counting and a QueryInterface that
// answers IUnknown and Interface. Base is CSimObject or CBoundObject; Implemented is the layout
// the object implements, when it differs from mingw's declaration (AGC).
template <class Interface, class Base = CSimObject, class Implemented = Interface>
class CSimCom : public Base, public Implemented {
public:
    using Base::Base;
    STDMETHODIMP_(ULONG) AddRef() override { return this->AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return this->ReleaseImpl(); }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return SimQueryInterface(iid, out, static_cast<Implemented*>(this), __uuidof(Interface));
    }
};

uint32_t ControlBitOf(REFIID iid);

// Object factories (each returns a new object with reference count 1).
IMMDeviceEnumerator* NewEnumerator();
IMMDevice* NewDevice(const std::wstring& id, uint32_t life, SimFlow flow);
IAudioEndpointVolume* NewEndpointVolume(const std::wstring& id, uint32_t life);
IDeviceTopology* NewEndpointTopology(const std::wstring& id, uint32_t life);

}  // namespace CoreAudioSim
