// Reference counting and QueryInterface of the notification sinks, written once. A sink offers
// IUnknown (tested first) and its own interface; every other query gets E_NOINTERFACE and null.
// The count starts at 1: that first reference belongs to the program and is never released.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <atomic>

template <class Derived, class Interface>
class CComSink : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(Interface))) {
            this->AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refCount); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = --m_refCount;
        if (count == 0)
            delete static_cast<Derived*>(this);  // no virtual destructor: the slots are the interface's
        return static_cast<ULONG>(count);
    }

protected:
    CComSink() = default;
    ~CComSink() = default;
    CComSink(const CComSink&) = delete;
    CComSink& operator=(const CComSink&) = delete;

    std::atomic<LONG> m_refCount{1};
};
