#include "panel/ControlText.h"

#include <cmath>
#include <cwchar>

#include "framework/UiText.h"
#include "res/OutputIds.h"
#include "res/resource.h"

namespace {

struct RateKey {
    int controlId;
    int rateHz;
};
constexpr RateKey kRateKeys[] = {
    {IDC_RATE_44K1, 44100}, {IDC_RATE_48K, 48000},   {IDC_RATE_88K2, 88200},
    {IDC_RATE_96K, 96000},  {IDC_RATE_176K4, 176400}, {IDC_RATE_192K, 192000},
};

}  // namespace

std::wstring ControlName(int controlId)
{
    for (const RateKey& key : kRateKeys)
        if (key.controlId == controlId)
            return FormatUiText(IDS_RATE_NAME, {RateKhzText(key.rateHz)});
    switch (controlId) {
    case IDC_DEPTH_16: return FormatUiText(IDS_DEPTH_NAME, {L"16"});
    case IDC_DEPTH_24: return FormatUiText(IDS_DEPTH_NAME, {L"24"});
    case IDC_DEPTH_32: return FormatUiText(IDS_DEPTH_NAME, {L"32"});
    case IDC_OUTPUT_SPDIF: return LoadUiText(IDS_OUTPUT_SPDIF_NAME);
    case IDC_OUTPUT_SPEAKER: return LoadUiText(IDS_OUTPUT_SPEAKER_NAME);
    case IDC_SLIDER_LEFT: return LoadUiText(IDS_SLIDER_LEFT_NAME);
    case IDC_SLIDER_RIGHT: return LoadUiText(IDS_SLIDER_RIGHT_NAME);
    case IDC_MUTE_INDICATOR: return LoadUiText(IDS_MUTE_NAME);
    case IDC_LINK_INDICATOR: return LoadUiText(IDS_LINK_NAME);
    case IDC_POWER: return LoadUiText(IDS_POWER_NAME);
    default: return std::wstring();
    }
}

std::wstring WithState(const std::wstring& text, const std::wstring& state)
{
    return FormatUiText(IDS_TEXT_AND_STATE, {text, state});
}

int LevelPercent(float scalar)
{
    if (!(scalar > 0.0f))  // also NaN
        return 0;
    if (scalar >= 1.0f)
        return 100;
    return static_cast<int>(std::lround(static_cast<double>(scalar) * 100.0));
}

std::wstring DecibelText(float dB)
{
    if (!std::isfinite(dB))
        return L"\x2212\x221E";  // a level that reports no finite value is silence
    // Rounded to one decimal first, so that -0.04 shows as 0.0, not as a negative zero.
    const long tenths = std::lround(static_cast<double>(dB) * 10.0);
    wchar_t digits[32];
    std::swprintf(digits, 32, L"%ld.%ld", std::labs(tenths) / 10, std::labs(tenths) % 10);
    return tenths < 0 ? std::wstring(L"\x2212") + digits : std::wstring(digits);
}

std::wstring LevelText(int sliderId, float scalar, const float* dB, bool muted)
{
    const std::wstring channel = LoadUiText(sliderId == IDC_SLIDER_RIGHT ? IDS_CHANNEL_RIGHT : IDS_CHANNEL_LEFT);
    const std::wstring percent = std::to_wstring(LevelPercent(scalar));
    std::wstring text = dB != nullptr ? FormatUiText(IDS_LEVEL_TEXT, {channel, percent, DecibelText(*dB)})
                                      : FormatUiText(IDS_LEVEL_TEXT_NO_DB, {channel, percent});
    return muted ? WithState(text, LoadUiText(IDS_MUTED)) : text;
}

std::wstring LevelValueText(float scalar, const float* dB, bool muted)
{
    const std::wstring percent = std::to_wstring(LevelPercent(scalar));
    std::wstring text = dB != nullptr ? FormatUiText(IDS_LEVEL_VALUE, {percent, DecibelText(*dB)})
                                      : FormatUiText(IDS_LEVEL_VALUE_NO_DB, {percent});
    return muted ? WithState(text, LoadUiText(IDS_MUTED)) : text;
}

std::wstring RateKhzText(int rateHz)
{
    wchar_t text[32];
    if (rateHz % 1000 == 0)
        std::swprintf(text, 32, L"%d", rateHz / 1000);
    else
        std::swprintf(text, 32, L"%d.%d", rateHz / 1000, (rateHz % 1000) / 100);
    return text;
}

std::wstring TrayStateText(int outputId, int bitDepth, int rateHz, float scalar, bool muted)
{
    const std::wstring output = LoadUiText(outputId == OUTPUT_SPDIF     ? IDS_OUTPUT_SPDIF_SHORT
                                           : outputId == OUTPUT_SPEAKER ? IDS_OUTPUT_SPEAKER_SHORT
                                                                        : IDS_NO_OUTPUT);
    const std::wstring level = muted ? LoadUiText(IDS_MUTED)
                                     : FormatUiText(IDS_TRAY_LEVEL, {std::to_wstring(LevelPercent(scalar))});
    // Before the driver has reported a format (or without a driver) there is none to tell.
    if (bitDepth <= 0 || rateHz <= 0)
        return WithState(output, level);
    return FormatUiText(IDS_TRAY_STATE, {output, std::to_wstring(bitDepth), RateKhzText(rateHz), level});
}
