// Keyword matching in the default (non-double-byte) ANSI code page of the test prefix.
#include "audio/EndpointKeywords.h"
#include "audio/PanelEventContext.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NameCase {
    const wchar_t* name;
    bool product;
    bool speakerScan;
    bool spdifScan;
    bool speakerDefault;
    bool spdifDefault;
};

// The lists as the scan and the default-output query see a friendly name: converted and
// lower-cased first.
TEST(EndpointKeywordsTest, ScanAndDefaultListsOnLowerCasedNames)
{
    const NameCase cases[] = {
        {L"Speakers (Lumirel USB Audio Device)", true, true, false, false, false},
        {L"SPDIF Interface (VEXMORA)", true, false, true, false, true},
        {L"S/PDIF (Lumirel USB Audio Device)", true, false, true, false, true},
        {L"Lumirel S/PDIF In", true, false, true, false, true},
        {L"Master Volume (Other Maker)", false, false, false, true, false},
        {L"SPDIF Master (Caldrix)", true, false, true, true, true},
        {L"Realtek Speakers", false, true, false, false, false},
        {L"Headphones (Lumirel)", true, false, false, false, false},
        {L"", false, false, false, false, false},
    };
    for (const NameCase& c : cases) {
        const std::string name = ToLowerAnsiName(c.name);
        SCOPED_TRACE(name);
        EXPECT_EQ(c.product, MatchesKeywordList(name, KeywordList::Product));
        EXPECT_EQ(c.speakerScan, MatchesKeywordList(name, KeywordList::SpeakerScan));
        EXPECT_EQ(c.spdifScan, MatchesKeywordList(name, KeywordList::SpdifScan));
        EXPECT_EQ(c.speakerDefault, MatchesKeywordList(name, KeywordList::SpeakerDefault));
        EXPECT_EQ(c.spdifDefault, MatchesKeywordList(name, KeywordList::SpdifDefault));
    }
}

struct ChangeCase {
    const char* name;
    bool spdif;
    bool speaker;
};

// The notification lists search the name as it is, case-sensitively.
TEST(EndpointKeywordsTest, ChangeListsAreCaseSensitive)
{
    const ChangeCase cases[] = {
        {"SPDIF Interface", true, false},
        {"S/PDIF (Lumirel USB Audio Device)", true, false},
        {"Speakers (Lumirel USB Audio Device)", false, false},
        {"spdif interface", false, false},
        {"SPDIF speaker", true, true},
        {"Front speakers", false, true},
        {"", false, false},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.spdif, MatchesKeywordList(c.name, KeywordList::SpdifChange));
        EXPECT_EQ(c.speaker, MatchesKeywordList(c.name, KeywordList::SpeakerChange));
    }
}

TEST(EndpointKeywordsTest, LowerCasingTouchesOnlyAsciiLetters)
{
    std::string text = "ABC xyz 09 [@] Z\xC4\xD6";  // Latin-1 umlauts stay as they are
    LowerAsciiLetters(text);
    EXPECT_EQ("abc xyz 09 [@] z\xC4\xD6", text);
}

TEST(EndpointKeywordsTest, SubstringSearchBoundaries)
{
    EXPECT_TRUE(ContainsAnsiKeyword("spdif", "spdif"));
    EXPECT_TRUE(ContainsAnsiKeyword("xxspdif", "spdif"));
    EXPECT_FALSE(ContainsAnsiKeyword("spdi", "spdif"));
    EXPECT_FALSE(ContainsAnsiKeyword("spdif", ""));
    EXPECT_FALSE(ContainsAnsiKeyword("spdif", nullptr));
    EXPECT_FALSE(ContainsAnsiKeyword("", "spdif"));
    // Text read from an endpoint can carry an embedded terminator; nothing past the string's
    // own size is read.
    EXPECT_FALSE(ContainsAnsiKeyword(std::string("sp\0dif", 6), "spdif"));
}

TEST(EndpointKeywordsTest, ChineseKeywordsNeverMatchOutsideCodePage936)
{
    if (GetACP() == 936)
        GTEST_SKIP() << "this prefix runs with code page 936";
    const wchar_t* const names[] = {L"\x626C\x58F0\x5668 (Lumirel)", L"\x63DA\x8072\x5668 (Lumirel)",
                                    L"\x6570\x5B57 (Lumirel)"};
    for (const wchar_t* name : names) {
        const std::string text = ToLowerAnsiName(name);
        EXPECT_TRUE(MatchesKeywordList(text, KeywordList::Product));
        EXPECT_FALSE(MatchesKeywordList(text, KeywordList::SpeakerScan));
        EXPECT_FALSE(MatchesKeywordList(text, KeywordList::SpdifScan));
        EXPECT_FALSE(MatchesKeywordList(text, KeywordList::SpeakerDefault));
        EXPECT_FALSE(MatchesKeywordList(text, KeywordList::SpeakerChange));
        EXPECT_FALSE(MatchesKeywordList(text, KeywordList::SpdifChange));
    }
}

TEST(EndpointKeywordsTest, ConversionOfEmptyAndNullNames)
{
    EXPECT_EQ("", ToAnsiText(nullptr));
    EXPECT_EQ("", ToAnsiText(L""));
    EXPECT_EQ("Speakers", ToAnsiText(L"Speakers"));
}

TEST(PanelEventContextTest, WrittenValueIsTheFixedGuid)
{
    g_panelEventContext = GUID{};
    WritePanelEventContext();
    EXPECT_EQ(0x4FA3DCD0u, g_panelEventContext.Data1);
    EXPECT_EQ(0x3E1B, g_panelEventContext.Data2);
    EXPECT_EQ(0x4BC3, g_panelEventContext.Data3);
    EXPECT_EQ(0, std::memcmp(g_panelEventContext.Data4, "4be07106", 8));
}

}  // namespace
