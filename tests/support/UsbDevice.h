// The maker's USB device moved out of the test prefix's device tree for as long as the object
// lives, and put back as it was afterwards: the program then starts as on a machine without it.
#pragma once

#include <windows.h>

namespace paneltest {

class UsbDeviceUnplugged {
public:
    UsbDeviceUnplugged()
    {
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\USB", 0, KEY_ALL_ACCESS, &usb_) !=
            ERROR_SUCCESS)
            return;
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSaved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved_, nullptr);
        ok_ = saved_ != nullptr && ::RegCopyTreeA(usb_, kDevice, saved_) == ERROR_SUCCESS &&
              ::RegDeleteTreeA(usb_, kDevice) == ERROR_SUCCESS;
    }
    ~UsbDeviceUnplugged()
    {
        if (ok_) {
            HKEY restored = nullptr;
            ::RegCreateKeyExA(usb_, kDevice, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
            ::RegCopyTreeA(saved_, nullptr, restored);
            ::RegCloseKey(restored);
        }
        if (saved_ != nullptr) {
            ::RegCloseKey(saved_);
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSaved);
        }
        if (usb_ != nullptr)
            ::RegCloseKey(usb_);
    }
    UsbDeviceUnplugged(const UsbDeviceUnplugged&) = delete;
    UsbDeviceUnplugged& operator=(const UsbDeviceUnplugged&) = delete;

    bool Ok() const { return ok_; }

private:
    static constexpr char kDevice[] = "VID_5F3A&PID_0101";
    static constexpr char kSaved[] = "Software\\KestrunTestsSavedUsb";
    HKEY usb_ = nullptr;
    HKEY saved_ = nullptr;
    bool ok_ = false;
};

}  // namespace paneltest
