#include "framework/OsVersion.h"

bool QueryReportedOsVersion(OsVersion* version)
{
    *version = OsVersion{};
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOEXA) == 156, "the extended version record");
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // the version as this program is told it, on purpose
#endif
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
        return false;
    *version = OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return true;
}

bool QueryTrueOsVersion(OsVersion* version)
{
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const auto rtlGetVersion = ntdll == nullptr ? nullptr
                                                : reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                                      ::GetProcAddress(ntdll, "RtlGetVersion")));
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0)
        return false;
    *version = OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return true;
}
