#include "driver/FormatControl.h"

#include <cstring>

#include "driver/ConfLib.h"
#include "driver/ReplyText.h"
#include "res/resource.h"

const RateButton kRateTable[6] = {
    {44100, IDC_RATE_44K1}, {48000, IDC_RATE_48K},   {88200, IDC_RATE_88K2},
    {96000, IDC_RATE_96K},  {176400, IDC_RATE_176K4}, {192000, IDC_RATE_192K},
};

namespace {

struct DepthButton {
    int depth;
    int buttonId;
};
const DepthButton kDepthTable[3] = {{16, IDC_DEPTH_16}, {24, IDC_DEPTH_24}, {32, IDC_DEPTH_32}};

const uint16_t kDefaultChannels = 2;
const uint32_t kDefaultChannelCopyLfx = 0;
const uint32_t kDefaultSampleRate = 44100;
const uint16_t kDefaultBitDepth = 16;
const uint32_t kDeviceSpecificZero = 0;
const uint16_t kQueryBitsPerSample = 16;

void SetButtonState(HWND dlg, int id, bool pushed)
{
    SendDlgItemMessageA(dlg, id, BM_SETSTATE, pushed ? 1 : 0, 0);
}

// A missing buffer (or member) makes the request fail as the driver's refusal would.
BYTE* ClearedBuffer(BYTE** member)
{
    if (member == nullptr || *member == nullptr)
        return nullptr;
    std::memset(*member, 0, kExchangeBufferSize);
    return *member;
}

template <typename T>
bool WriteCleared(BYTE** member, T value)
{
    BYTE* buffer = ClearedBuffer(member);
    if (buffer == nullptr)
        return false;
    std::memcpy(buffer, &value, sizeof(value));
    return true;
}

template <typename T>
int32_t SetProperty(ExchangeBuffers& bufs, const wchar_t* property, T value)
{
    if (!WriteCleared(bufs.setValue, value))
        return kConfLibNotBound;
    return DriverPropertyControl(g_outputDevice, property, bufs.setValue, nullptr, kPropertySet);
}

// The caller has filled the parameter buffer when it passes one.
int32_t GetProperty(ExchangeBuffers& bufs, const wchar_t* property, BYTE** param)
{
    if (ClearedBuffer(bufs.getReply) == nullptr)
        return kConfLibNotBound;
    return DriverPropertyControl(g_outputDevice, property, bufs.getReply, param, kPropertyGet);
}

const BYTE* Reply(ExchangeBuffers& bufs)
{
    return *bufs.getReply;
}

}  // namespace

void ShowBitDepth(HWND dlg, int depth)
{
    bool known = false;
    for (const DepthButton& row : kDepthTable)
        known = known || row.depth == depth;
    if (!known)
        return;
    for (const DepthButton& row : kDepthTable)
        SetButtonState(dlg, row.buttonId, row.depth == depth);
}

void ShowSampleRate(HWND dlg, int rateHz)
{
    bool known = false;
    for (const RateButton& row : kRateTable)
        known = known || row.rateHz == rateHz;
    if (!known)
        return;
    for (const RateButton& row : kRateTable)
        SetButtonState(dlg, row.buttonId, row.rateHz == rateHz);
}

void RequestBitDepth(HWND dlg, ExchangeBuffers& bufs, int depth)
{
    SetProperty(bufs, PROP_BIT_DEPTH, static_cast<uint16_t>(depth));
    ShowBitDepth(dlg, depth);
}

void RequestSampleRate(HWND dlg, ExchangeBuffers& bufs, int rateHz)
{
    SetProperty(bufs, PROP_SAMPLE_RATE, static_cast<uint32_t>(rateHz));
    ShowSampleRate(dlg, rateHz);
}

void InitDriverDefaults(ExchangeBuffers& bufs)
{
    if (GetProperty(bufs, PROP_CHANNEL_NUM, nullptr) != 0)
        SetProperty(bufs, PROP_CHANNEL_NUM, kDefaultChannels);
    if (GetProperty(bufs, PROP_CHANNEL_COPY_LFX, nullptr) != 0)
        SetProperty(bufs, PROP_CHANNEL_COPY_LFX, kDefaultChannelCopyLfx);
    if (GetProperty(bufs, PROP_SAMPLE_RATE, nullptr) != 0)
        SetProperty(bufs, PROP_SAMPLE_RATE, kDefaultSampleRate);
    if (GetProperty(bufs, PROP_BIT_DEPTH, nullptr) != 0)
        SetProperty(bufs, PROP_BIT_DEPTH, kDefaultBitDepth);

    // The device-specific property carries a 32-bit zero parameter both ways.
    int32_t got = kConfLibNotBound;
    if (WriteCleared(bufs.getParam, kDeviceSpecificZero))
        got = GetProperty(bufs, PROP_DEVICE_SPECIFIC, bufs.getParam);
    if (got != 0 && WriteCleared(bufs.setValue, kDeviceSpecificZero) &&
        WriteCleared(bufs.setParam, kDeviceSpecificZero)) {
        DriverPropertyControl(g_outputDevice, PROP_DEVICE_SPECIFIC, bufs.setValue, bufs.setParam,
                              kPropertySet);
    }
}

void RefreshFormatState(HWND dlg, ExchangeBuffers& bufs)
{
    int32_t channels = 0;
    if (GetProperty(bufs, PROP_CHANNEL_NUM, nullptr) == 0)
        channels = ReadDecimal8Bit(Reply(bufs), kExchangeBufferSize);

    for (const RateButton& row : kRateTable) {
        FormatQuery query = {};
        query.channels = static_cast<uint16_t>(channels);
        query.bitsPerSample = kQueryBitsPerSample;
        query.sampleRate = static_cast<uint32_t>(row.rateHz);
        if (!WriteCleared(bufs.getParam, query))
            continue;
        if (GetProperty(bufs, PROP_IS_SUPPORT, bufs.getParam) != 0)
            continue;
        const bool supported = ReadDecimal8Bit(Reply(bufs), kExchangeBufferSize) == 1;
        EnableWindow(GetDlgItem(dlg, row.buttonId), supported ? TRUE : FALSE);
    }

    if (GetProperty(bufs, PROP_SAMPLE_RATE, nullptr) == 0)
        ShowSampleRate(dlg, ReadDecimalUtf16(Reply(bufs), kExchangeBufferSize));

    if (GetProperty(bufs, PROP_BIT_DEPTH, nullptr) == 0) {
        const int32_t depth = ReadDecimalUtf16(Reply(bufs), kExchangeBufferSize);
        for (const DepthButton& row : kDepthTable)
            SetButtonState(dlg, row.buttonId, false);
        for (const DepthButton& row : kDepthTable)
            if (row.depth == depth)
                SetButtonState(dlg, row.buttonId, true);
    }
}
