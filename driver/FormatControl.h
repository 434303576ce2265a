// Stream format requests to the driver and the format state it reports; the panel shows them.
#pragma once
#include <windows.h>

#include <cstdint>

#include "driver/ExchangeBuffers.h"

// Property names as the driver knows them.
#define PROP_BIT_DEPTH        L"DevBitDepthControl"
#define PROP_SAMPLE_RATE      L"DevSampleRateControl"
#define PROP_CHANNEL_NUM      L"DevChannelNumControl"
#define PROP_IS_SUPPORT       L"IsSupportFormat"
#define PROP_CHANNEL_COPY_LFX L"Enable_Channel_COPY_LFX"
#define PROP_DEVICE_SPECIFIC  L"DeviceSpecificControl"

// The rate table, in the order of the panel's rate buttons.
constexpr int kRateCount = 6;
constexpr int kSampleRates[kRateCount] = {44100, 48000, 88200, 96000, 176400, 192000};

// The IsSupportFormat question, laid out as the driver reads it.
#pragma pack(push, 1)
struct FormatQuery {
    uint16_t channels;
    uint16_t bitsPerSample;
    uint32_t sampleRate;
};
#pragma pack(pop)
static_assert(sizeof(FormatQuery) == 8, "the driver reads an 8-byte format query");

// Unknown: the driver could not be asked.
enum class RateSupport { Unknown, Supported, Unsupported };

// What the driver reported; a part whose read failed is marked unread.
struct FormatState {
    RateSupport support[kRateCount] = {};   // per rate of kSampleRates, at 16 bits
    bool rateRead = false;
    int32_t rateHz = 0;
    bool depthRead = false;
    int32_t depth = 0;
};

// One set request each; the driver's result (0 success).
int32_t SetBitDepth(ExchangeBuffers& bufs, int depth);
int32_t SetSampleRate(ExchangeBuffers& bufs, int rateHz);

// Start-up: writes a default only for each property the driver cannot read back.
void InitDriverDefaults(ExchangeBuffers& bufs);

// Reads channel count, rate availability, rate and depth back from the driver, in that order.
FormatState ReadFormatState(ExchangeBuffers& bufs);
