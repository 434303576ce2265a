// Wine's per-program Windows version setting (HKCU\Software\Wine\AppDefaults\<exe>, value
// Version) for as long as the object lives: the named program, started afterwards, is told
// that version. Removed again at the end, so the prefix's default (Windows 7) comes back.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace paneltest {

class ReportedWindowsVersion {
public:
    ReportedWindowsVersion(const char* exe, const char* version) : key_(std::string("Software\\Wine\\AppDefaults\\") + exe)
    {
        HKEY key = nullptr;
        ok_ = ::RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
              ERROR_SUCCESS;
        if (ok_) {
            ok_ = ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                   static_cast<DWORD>(std::strlen(version) + 1)) == ERROR_SUCCESS;
            ::RegCloseKey(key);
        }
    }
    ~ReportedWindowsVersion() { ::RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
    ReportedWindowsVersion(const ReportedWindowsVersion&) = delete;
    ReportedWindowsVersion& operator=(const ReportedWindowsVersion&) = delete;

    bool Ok() const { return ok_; }

private:
    std::string key_;
    bool ok_ = false;
};

}  // namespace paneltest
