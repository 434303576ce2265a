#include "panel/InfoDisplay.h"

#include <cstring>

namespace {

struct OsName {
    DWORD major;
    DWORD minor;
    const char* name;
};

constexpr OsName kOsNames[] = {
    {5, 0, "Windows 2000"},
    {5, 1, "Windows XP"},
    {5, 2, "Windows Server 2003"},
    {6, 0, "Windows Vista"},
    {6, 1, "Windows 7"},
    {6, 2, "Windows 8"},
    {6, 3, "Windows 8.1"},
};

}  // namespace

std::string OsNameForVersion(DWORD major, DWORD minor)
{
    for (const OsName& entry : kOsNames)
        if (entry.major == major && entry.minor == minor)
            return entry.name;
    return std::string();
}

std::string QueryOsName()
{
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOEXA) == 156, "the extended version record");
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // the reported version is the point: no manifest entries
#endif
    ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
    // On failure the record stays zero, which names nothing.
    return OsNameForVersion(info.dwMajorVersion, info.dwMinorVersion);
}

std::string OsVersionLine(const std::string& osName)
{
    return "OS Version: " + osName + " " + "64bit";
}

std::string PanelVersionLine(const std::string& cplVersion)
{
    return "Control Panel Version: " + cplVersion;
}
