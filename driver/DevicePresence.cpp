#include "driver/DevicePresence.h"

#include <windows.h>
#include <setupapi.h>

#include "driver/DriverMessageBox.h"
#include "framework/ScopedHandle.h"
#include "framework/UiText.h"
#include "res/resource.h"

namespace {

constexpr int kPrefixLength = sizeof(MAKER_INSTANCE_ID_PREFIX) - 1;
static_assert(kPrefixLength == 12, "the vendor prefix is compared over 12 characters");

struct DeviceInfoSetTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::SetupDiDestroyDeviceInfoList(h); }
};
using CDeviceInfoSet = CScopedHandle<DeviceInfoSetTraits>;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool MatchesMakerInstanceId(const char* instanceId)
{
    if (instanceId == nullptr)
        return false;
    for (int i = 0; i < kPrefixLength; ++i) {
        // A terminator before the 12th character never equals a prefix character.
        if (UpperAscii(instanceId[i]) != MAKER_INSTANCE_ID_PREFIX[i])
            return false;
    }
    return true;
}

bool IsDevicePresent()
{
    CDeviceInfoSet devices(::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!devices.IsValid())
        return false;

    bool found = false;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof(info);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices.Get(), index, &info); ++index) {
        char instanceId[260] = "";
        if (!::SetupDiGetDeviceInstanceIdA(devices.Get(), &info, instanceId, sizeof(instanceId), nullptr)) {
            g_driverMessageBox(LoadUiText(IDS_MSG_DEVICE_ID_FAILED).c_str(), MB_OK);
            break;
        }
        instanceId[sizeof(instanceId) - 1] = '\0';
        if (MatchesMakerInstanceId(instanceId)) {
            found = true;
            break;
        }
    }
    return found;
}
