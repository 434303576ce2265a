// What assistive technology reads from a window: its client object through
// AccessibleObjectFromWindow, as a screen reader asks for it.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <oleacc.h>

namespace paneltest {

// The import libraries carry no IID_IAccessible that links.
inline const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The calling thread in the multithreaded apartment for the scope, as the panel's own thread is.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

class AccessibleClient {
public:
    explicit AccessibleClient(HWND window)
    {
        got_ = ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                            reinterpret_cast<void**>(&acc_));
    }
    ~AccessibleClient()
    {
        if (acc_ != nullptr)
            acc_->Release();
    }
    AccessibleClient(const AccessibleClient&) = delete;
    AccessibleClient& operator=(const AccessibleClient&) = delete;

    bool Ok() const { return SUCCEEDED(got_) && acc_ != nullptr; }
    HRESULT Result() const { return got_; }

    std::wstring Name() const { return Text(&IAccessible::get_accName); }
    std::wstring Value() const { return Text(&IAccessible::get_accValue); }
    std::wstring DefaultAction() const { return Text(&IAccessible::get_accDefaultAction); }
    long Role() const { return Number(&IAccessible::get_accRole); }
    long State() const { return Number(&IAccessible::get_accState); }
    HRESULT SetValue(const wchar_t* text) const
    {
        BSTR value = ::SysAllocString(text);
        const HRESULT hr = acc_->put_accValue(Self(), value);
        ::SysFreeString(value);
        return hr;
    }
    HRESULT DoDefaultAction() const { return acc_->accDoDefaultAction(Self()); }
    // Left, top, width, height on the screen; empty when it cannot tell.
    std::vector<long> Location() const
    {
        long x = 0, y = 0, w = 0, h = 0;
        if (FAILED(acc_->accLocation(&x, &y, &w, &h, Self())))
            return {};
        return {x, y, w, h};
    }
    IAccessible* Get() const { return acc_; }

private:
    static VARIANT Self()
    {
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return self;
    }
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const
    {
        BSTR text = nullptr;
        if (FAILED((acc_->*get)(Self(), &text)) || text == nullptr)
            return L"<none>";
        std::wstring out(text, ::SysStringLen(text));
        ::SysFreeString(text);
        return out;
    }
    long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const
    {
        VARIANT v;
        ::VariantInit(&v);
        const long out = SUCCEEDED((acc_->*get)(Self(), &v)) && v.vt == VT_I4 ? v.lVal : -1;
        ::VariantClear(&v);
        return out;
    }

    IAccessible* acc_ = nullptr;
    HRESULT got_ = E_FAIL;
};

}  // namespace paneltest
