#include "driver/OutputSwitch.h"

#include <vector>

#include "driver/DriverMessageBox.h"
#include "driver/FormatControl.h"
#include "driver/ReplyText.h"
#include "driver/TextUtil.h"
#include "framework/afxwin.h"
#include "res/OutputIds.h"
#include "res/resource.h"

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

void SetButtonState(HWND dlg, int id, bool pushed)
{
    SendDlgItemMessageA(dlg, id, BM_SETSTATE, pushed ? 1 : 0, 0);
}

}  // namespace

void SelectOutput(HWND dlg, ExchangeBuffers& bufs, OutputTrigger trigger, int outputId)
{
    if (outputId != OUTPUT_SPDIF && outputId != OUTPUT_SPEAKER)
        return;
    const bool speaker = outputId == OUTPUT_SPEAKER;
    if (trigger == OutputTrigger::Startup) {
        SetButtonState(dlg, IDC_OUTPUT_SPEAKER, speaker);
        SetButtonState(dlg, IDC_OUTPUT_SPDIF, !speaker);
    } else {
        SetButtonState(dlg, IDC_OUTPUT_SPDIF, !speaker);
        SetButtonState(dlg, IDC_OUTPUT_SPEAKER, speaker);
    }
    SwitchDriverOutput(outputId);
    RefreshFormatState(dlg, bufs);
}

LRESULT HandleOutputChanged(HWND dlg, ExchangeBuffers& bufs, LPARAM lParam)
{
    if (lParam == 0)
        SelectOutput(dlg, bufs, OutputTrigger::ButtonOrEvent, OUTPUT_SPDIF);
    else if (lParam == 1)
        SelectOutput(dlg, bufs, OutputTrigger::ButtonOrEvent, OUTPUT_SPEAKER);
    return 1;
}

void SwitchDriverOutput(int outputId)
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
        g_driverMessageBox("UpdateAPOAvailable failed!", MB_OK);
        warningOpen = false;
    }
}
