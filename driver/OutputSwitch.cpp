#include "driver/OutputSwitch.h"

#include <vector>

#include "driver/DriverMessageBox.h"
#include "framework/UiText.h"
#include "res/resource.h"
#include "driver/ReplyText.h"
#include "driver/TextUtil.h"
#include "res/OutputIds.h"

namespace {

const int32_t kSpeakerType = 1;
const int32_t kSpeakerAltType = 7;
const int32_t kSpdifType = 4;
const int32_t kSecondaryType = 2;

bool TypeBelongsTo(int32_t type, int outputId)
{
    if (outputId == OUTPUT_SPEAKER)
        return type == kSpeakerType || type == kSpeakerAltType;
    if (outputId == OUTPUT_SPDIF)
        return type == kSpdifType;
    return false;
}

uint32_t BoundedDeviceCount(int32_t list)
{
    const uint32_t count = DriverDeviceCount(list);
    return count < kMaxDeviceRecords ? count : kMaxDeviceRecords;
}

}  // namespace

DeviceRecord SwitchDriverOutput(int outputId)
{
    const int32_t passTypes[3] = {kSpeakerType, kSpeakerAltType, kSpdifType};
    uint32_t count = BoundedDeviceCount(0);
    bool found = false;
    for (int32_t type : passTypes) {
        for (uint32_t i = 0; i < count && !found; ++i) {
            DeviceRecord record;
            DriverDeviceById(0, static_cast<int32_t>(i), record);
            if (record.type == type && TypeBelongsTo(type, outputId) && record.isOutput == 1) {
                g_outputDevice = record;
                found = true;
            }
        }
        if (found)
            break;
    }

    count = BoundedDeviceCount(1);
    for (uint32_t i = 0; i < count; ++i) {
        DeviceRecord record;
        DriverDeviceById(1, static_cast<int32_t>(i), record);
        if (record.type == kSecondaryType) {
            g_secondaryDevice = record;
            break;
        }
    }

    QuerySupportFeature(g_secondaryDevice);
    QuerySupportFeature(g_outputDevice);
    return g_outputDevice;
}

void QuerySupportFeature(DeviceRecord& record)
{
    if (record.type <= 0 || !IsConfLibBound())
        return;

    std::vector<BYTE> reply(kFeatureReplyBytes, 0);
    BYTE* replyAddress = reply.data();
    if (DriverPropertyControl(record, L"GetSupportFeature", &replyAddress, nullptr, kPropertyGet) != 0)
        return;

    static const std::wstring delimiter = utf8util::utf16_from_utf8(",");
    const std::vector<std::wstring> fields = SplitString(ReadUtf16Text(reply.data(), reply.size()), delimiter);
    // The box's modal loop handles the switches posted meanwhile (one default change posts
    // several); they must not stack boxes of their own on top of the open one.
    static bool warningOpen = false;
    if (fields.size() < kMinFeatureFields && !warningOpen) {
        warningOpen = true;
        g_driverMessageBox(LoadUiText(IDS_MSG_FEATURES_SHORT).c_str(), MB_OK);
        warningOpen = false;
    }
}
