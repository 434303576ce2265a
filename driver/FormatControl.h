// The Bit Depth and Sample Rate groups: format requests to the driver and what it reports.
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

struct RateButton {
    int rateHz;
    int buttonId;
};
extern const RateButton kRateTable[6];

// The IsSupportFormat question, laid out as the driver reads it.
#pragma pack(push, 1)
struct FormatQuery {
    uint16_t channels;
    uint16_t bitsPerSample;
    uint32_t sampleRate;
};
#pragma pack(pop)
static_assert(sizeof(FormatQuery) == 8, "the driver reads an 8-byte format query");

// Button handler bodies: send the request, then show the requested value whatever the driver
// answered.
void RequestBitDepth(HWND dlg, ExchangeBuffers& bufs, int depth);
void RequestSampleRate(HWND dlg, ExchangeBuffers& bufs, int rateHz);

// 16, 24 or 32 (a table rate) pushes its button and releases the others; anything else
// changes nothing.
void ShowBitDepth(HWND dlg, int depth);
void ShowSampleRate(HWND dlg, int rateHz);

// Start-up: writes a default only for each property the driver cannot read back.
void InitDriverDefaults(ExchangeBuffers& bufs);

// Reads channel count, rate availability, rate and depth back from the driver.
void RefreshFormatState(HWND dlg, ExchangeBuffers& bufs);
