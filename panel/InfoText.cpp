#include "panel/InfoText.h"

#include "framework/UiText.h"
#include "res/resource.h"

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

// Windows 11 is 10.0 too; only its build numbers tell it apart.
constexpr DWORD kFirstWindows11Build = 22000;

}  // namespace

std::string OsNameForVersion(DWORD major, DWORD minor)
{
    for (const OsName& entry : kOsNames)
        if (entry.major == major && entry.minor == minor)
            return entry.name;
    return std::string();
}

std::string OsNameFor(const OsVersion& reported, const OsVersion* trueVersion)
{
    if (reported.major != 6 || reported.minor != 2 || trueVersion == nullptr)
        return OsNameForVersion(reported.major, reported.minor);
    if (trueVersion->major == 10 && trueVersion->minor == 0)
        return trueVersion->build < kFirstWindows11Build ? "Windows 10" : "Windows 11";
    return OsNameForVersion(trueVersion->major, trueVersion->minor);
}

std::string QueryOsName()
{
    // On failure the reported version stays zero, which names nothing.
    OsVersion reported;
    QueryReportedOsVersion(&reported);
    OsVersion actual;
    const bool actualKnown = QueryTrueOsVersion(&actual);
    return OsNameFor(reported, actualKnown ? &actual : nullptr);
}

std::wstring OsVersionLine(const std::string& osName)
{
    return LoadUiText(IDS_INFO_OS_PREFIX) + WidenAnsi(osName) + L" " + L"64bit";
}

std::wstring PanelVersionLine(const std::string& cplVersion)
{
    return LoadUiText(IDS_INFO_PANEL_PREFIX) + WidenAnsi(cplVersion);
}
