#include "driver/ConfLib.h"

#include <cstring>

#include "driver/FormatControl.h"
#include "framework/ModulePath.h"
#include "framework/OsVersion.h"
#include "framework/afxwin.h"
#include "driver/DriverMessages.h"

DeviceRecord g_outputDevice = {};
DeviceRecord g_secondaryDevice = {};

namespace {

struct ConfLibBinding {
    HMODULE module;
    PFN_ConfLibInit ConfLibInit;
    PFN_GetDeviceById GetDeviceById;
    PFN_PropertyControl PropertyControl;
    PFN_RegisterCallbackFunction RegisterCallbackFunction;
    PFN_GetDeviceCount GetDeviceCount;
    PFN_CreateDeviceList CreateDeviceList;
    PFN_ConfLibUnInit ConfLibUnInit;
};

// Kept for the life of the process: the library is never unloaded once bound.
ConfLibBinding g_confLib = {};

template <typename Fn>
bool Bind(HMODULE module, const char* name, Fn& entry)
{
    entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return entry != nullptr;
}

const uint32_t kDeviceEventType = 8;
const uint32_t kFormatChangedCode = 0x80;
const uint32_t kFormatChangedAltCode = 0x100;

}  // namespace

std::string ConfLibPathFor(const std::string& moduleDir, DWORD major, DWORD minor)
{
    const bool newerThanXp = major > 5 || (major == 5 && minor > 2);
    return moduleDir + (newerThanXp ? "osConfLibFlie/x64/vista/osConfLib.dll"
                                    : "osConfLibFlie/x64/xp/osConfLib.dll");
}

bool LoadConfLib()
{
    if (IsConfLibBound())
        return true;

    bool whole = false;
    const std::string moduleDir = ExecutableDirectory(&whole);
    // A path cut off by the buffer would name the wrong folder.
    if (!whole || moduleDir.empty())
        return false;

    OsVersion version;
    if (!QueryReportedOsVersion(&version))
        return false;

    return LoadConfLibFrom(ConfLibPathFor(moduleDir, version.major, version.minor));
}

bool LoadConfLibFrom(const std::string& path)
{
    if (IsConfLibBound())
        return true;

    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr)
        return false;

    ConfLibBinding binding = {};
    binding.module = module;
    bool complete = Bind(module, "ConfLibInit", binding.ConfLibInit);
    complete = Bind(module, "GetDeviceById", binding.GetDeviceById) && complete;
    complete = Bind(module, "PropertyControl", binding.PropertyControl) && complete;
    complete = Bind(module, "RegisterCallbackFunction", binding.RegisterCallbackFunction) && complete;
    complete = Bind(module, "GetDeviceCount", binding.GetDeviceCount) && complete;
    complete = Bind(module, "CreateDeviceList", binding.CreateDeviceList) && complete;
    complete = Bind(module, "ConfLibUnInit", binding.ConfLibUnInit) && complete;
    if (!complete) {
        // Nothing of it has been called yet, so it can go again at once.
        FreeLibrary(module);
        return false;
    }
    g_confLib = binding;
    return true;
}

bool IsConfLibBound()
{
    return g_confLib.module != nullptr;
}

HMODULE ConfLibModule()
{
    return g_confLib.module;
}

DriverStartup StartDriverLibrary(ExchangeBuffers& bufs)
{
    if (!LoadConfLib())
        return DriverStartup::LibraryMissing;

    g_confLib.ConfLibInit();
    g_confLib.CreateDeviceList();
    if (DriverDeviceCount(0) == 0)
        return DriverStartup::NoDevice;

    g_confLib.RegisterCallbackFunction(DriverEventCallback, nullptr);
    InitDriverDefaults(bufs);
    return DriverStartup::Ready;
}

void ShutdownDriverLibrary()
{
    if (IsConfLibBound())
        g_confLib.ConfLibUnInit();
}

void DriverEventCallback(void* /*context*/, void* /*source*/, uint32_t eventType, uint32_t eventCode)
{
    if (eventType == kDeviceEventType)
        AfxPostToMainWnd(WM_DRIVER_DEVICE_EVENT, 0, 0);
    else if (eventCode == kFormatChangedCode || eventCode == kFormatChangedAltCode)
        AfxPostToMainWnd(WM_DRIVER_FORMAT_CHANGED, 0, 0);
}

int32_t DriverPropertyControl(const DeviceRecord& record, const wchar_t* property, BYTE** value,
                              BYTE** param, uint8_t direction)
{
    if (!IsConfLibBound())
        return kConfLibNotBound;
    return g_confLib.PropertyControl(record, property, value, param, direction);
}

uint32_t DriverDeviceCount(int32_t list)
{
    uint32_t count = 0;
    if (IsConfLibBound())
        g_confLib.GetDeviceCount(list, &count);
    return count;
}

void DriverDeviceById(int32_t list, int32_t index, DeviceRecord& record)
{
    record = DeviceRecord{};
    if (IsConfLibBound())
        g_confLib.GetDeviceById(list, index, &record);
}
