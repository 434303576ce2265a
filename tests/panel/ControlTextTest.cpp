// The words the tooltips, the tray tip and assistive technology share, as the English table
// gives them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/UiText.h"
#include "panel/ControlText.h"
#include "res/OutputIds.h"
#include "res/resource.h"

TEST(ControlText, NamesEveryControlAUserActsOn)
{
    const struct {
        int id;
        const wchar_t* name;
    } rows[] = {
        {IDC_RATE_44K1, L"44.1 kHz"},       {IDC_RATE_176K4, L"176.4 kHz"},  {IDC_RATE_192K, L"192 kHz"},
        {IDC_DEPTH_16, L"16-bit"},          {IDC_DEPTH_24, L"24-bit"},       {IDC_OUTPUT_SPDIF, L"S/PDIF output"},
        {IDC_OUTPUT_SPEAKER, L"Speaker output"}, {IDC_SLIDER_LEFT, L"Left volume"}, {IDC_SLIDER_RIGHT, L"Right volume"},
        {IDC_POWER, L"Hide the panel"},     {IDC_LBL_COPYRIGHT, L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ControlName(row.id), row.name) << row.id;
}

TEST(ControlText, LevelsReadAsTheMixerShowsThem)
{
    const float dB = -8.44f, nearZero = -0.04f, inf = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(LevelText(IDC_SLIDER_LEFT, 0.62f, &dB, false), L"Left 62 % \x00B7 \x2212" L"8.4 dB");
    EXPECT_EQ(LevelText(IDC_SLIDER_RIGHT, 0.625f, &nearZero, false), L"Right 63 % \x00B7 0.0 dB");
    EXPECT_EQ(LevelText(IDC_SLIDER_RIGHT, 0.0f, &inf, false), L"Right 0 % \x00B7 \x2212\x221E dB");
    EXPECT_EQ(LevelText(IDC_SLIDER_LEFT, 0.5f, nullptr, true), L"Left 50 % \x00B7 muted");
    EXPECT_EQ(LevelPercent(std::nanf("")), 0);
    EXPECT_EQ(LevelPercent(1.5f), 100);
}

TEST(ControlText, TrayStateLine)
{
    EXPECT_EQ(TrayStateText(OUTPUT_SPDIF, 24, 96000, 0.62f, false), L"S/PDIF \x00B7 24-bit / 96 kHz \x00B7 62 %");
    EXPECT_EQ(TrayStateText(OUTPUT_SPEAKER, 16, 44100, 0.62f, true), L"Speaker \x00B7 16-bit / 44.1 kHz \x00B7 muted");
}

// A translation may reorder the placeholders; a missing argument or a lone % stays visible.
TEST(ControlText, FormatFillsPlaceholdersInAnyOrder)
{
    EXPECT_EQ(FormatUiText(IDS_TEXT_AND_STATE, {L"b", L"a"}), L"b \x00B7 a");
    EXPECT_EQ(FormatUiText(IDS_TEXT_AND_STATE, {L"only"}), L"only \x00B7 %2");
    EXPECT_EQ(FormatUiText(IDS_TRAY_LEVEL, {L"7"}), L"7 %");
    EXPECT_EQ(LoadUiText(0xFFF0), L"");
}

// Which table speaks for a display language: Simplified for zh-CN and zh-SG, Traditional for
// zh-TW, zh-HK and zh-MO, English for English; none of ours for any other language.
TEST(ControlText, TheTableFollowsTheDisplayLanguage)
{
    const struct {
        const wchar_t* name;
        LANGID id;
        LANGID table;
    } rows[] = {
        {L"zh-CN", 0x0804, UI_LANG_SIMPLIFIED_CHINESE},  {L"zh-SG", 0x1004, UI_LANG_SIMPLIFIED_CHINESE},
        {L"zh-Hans", 0x0004, UI_LANG_SIMPLIFIED_CHINESE}, {L"zh-TW", 0x0404, UI_LANG_TRADITIONAL_CHINESE},
        {L"zh-HK", 0x0C04, UI_LANG_TRADITIONAL_CHINESE}, {L"zh-MO", 0x1404, UI_LANG_TRADITIONAL_CHINESE},
        {L"zh-Hant", 0x7C04, UI_LANG_TRADITIONAL_CHINESE}, {L"en-GB", 0x0809, UI_LANG_ENGLISH},
        {L"de-DE", 0x0407, 0},                           {L"ja-JP", 0x0411, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.table, UiLanguageForName(row.name)) << testing::PrintToString(std::wstring(row.name));
        EXPECT_EQ(row.table, UiLanguageForLangId(row.id)) << std::hex << row.id;
    }
    EXPECT_EQ(UI_LANG_TRADITIONAL_CHINESE, UiLanguageForName(L"zh-Hant-HK"));

    // A table's words go through the same formatting: the channel, the percent and the dB.
    const LANGID saved = UiLanguage();
    SetUiLanguage(UI_LANG_TRADITIONAL_CHINESE);
    const float dB = -8.4f;
    EXPECT_EQ(L"右聲道 62 % \x00B7 \x2212" L"8.4 dB", LevelText(IDC_SLIDER_RIGHT, 0.62f, &dB, false));
    SetUiLanguage(saved);
}
