#include "driver/FormatControl.h"

#include <cstring>

#include "driver/ConfLib.h"
#include "driver/ReplyText.h"

namespace {

const uint16_t kDefaultChannels = 2;
const uint32_t kDefaultChannelCopyLfx = 0;
const uint32_t kDefaultSampleRate = 44100;
const uint16_t kDefaultBitDepth = 16;
const uint32_t kDeviceSpecificZero = 0;
const uint16_t kQueryBitsPerSample = 16;

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

int32_t SetBitDepth(ExchangeBuffers& bufs, int depth)
{
    return SetProperty(bufs, PROP_BIT_DEPTH, static_cast<uint16_t>(depth));
}

int32_t SetSampleRate(ExchangeBuffers& bufs, int rateHz)
{
    return SetProperty(bufs, PROP_SAMPLE_RATE, static_cast<uint32_t>(rateHz));
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

FormatState ReadFormatState(ExchangeBuffers& bufs)
{
    FormatState state;
    int32_t channels = 0;
    if (GetProperty(bufs, PROP_CHANNEL_NUM, nullptr) == 0)
        channels = ReadDecimal8Bit(Reply(bufs), kExchangeBufferSize);

    for (int row = 0; row < kRateCount; ++row) {
        FormatQuery query = {};
        query.channels = static_cast<uint16_t>(channels);
        query.bitsPerSample = kQueryBitsPerSample;
        query.sampleRate = static_cast<uint32_t>(kSampleRates[row]);
        if (!WriteCleared(bufs.getParam, query))
            continue;
        if (GetProperty(bufs, PROP_IS_SUPPORT, bufs.getParam) != 0)
            continue;
        state.support[row] = ReadDecimal8Bit(Reply(bufs), kExchangeBufferSize) == 1 ? RateSupport::Supported
                                                                                    : RateSupport::Unsupported;
    }

    if (GetProperty(bufs, PROP_SAMPLE_RATE, nullptr) == 0) {
        state.rateRead = true;
        state.rateHz = ReadDecimalUtf16(Reply(bufs), kExchangeBufferSize);
    }
    if (GetProperty(bufs, PROP_BIT_DEPTH, nullptr) == 0) {
        state.depthRead = true;
        state.depth = ReadDecimalUtf16(Reply(bufs), kExchangeBufferSize);
    }
    return state;
}
