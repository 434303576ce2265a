// Keyword matching where the ANSI code page is 936 (GBK). CTest starts this executable with
// LC_ALL=zh_CN.UTF-8, which gives Wine that code page.
#include "audio/EndpointKeywords.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

#define SIMPLIFIED_SPEAKER L"\x626C\x58F0\x5668"   // 扬声器
#define TRADITIONAL_SPEAKER L"\x63DA\x8072\x5668"  // 揚聲器
#define DIGITAL L"\x6570\x5B57"                    // 数字

class Cp936Test : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(936u, GetACP()) << "run with LC_ALL=zh_CN.UTF-8"; }
};

TEST_F(Cp936Test, NamesConvertToGbkBytes)
{
    EXPECT_EQ("\xD1\xEF\xC9\xF9\xC6\xF7", ToAnsiText(SIMPLIFIED_SPEAKER));
    EXPECT_EQ("\x93\x50\xC2\x95\xC6\xF7", ToAnsiText(TRADITIONAL_SPEAKER));
    EXPECT_EQ("\xCA\xFD\xD7\xD6", ToAnsiText(DIGITAL));
}

struct NameCase {
    const wchar_t* name;
    bool speakerScan;
    bool spdifScan;
    bool speakerDefault;
    bool spdifDefault;
    bool speakerChange;
    bool spdifChange;
};

TEST_F(Cp936Test, ChineseKeywordsInEveryList)
{
    const NameCase cases[] = {
        {SIMPLIFIED_SPEAKER L" (Lumirel USB Audio Device)", true, false, true, false, true, false},
        // Only the scan and the notification know the traditional form.
        {TRADITIONAL_SPEAKER L" (Lumirel USB Audio Device)", true, false, false, false, true, false},
        {DIGITAL L"\x97F3\x9891\x63A5\x53E3 (Lumirel USB Audio Device)", false, true, false, true,
         false, true},
    };
    for (const NameCase& c : cases) {
        const std::string lowered = ToLowerAnsiName(c.name);
        const std::string asIs = ToAnsiText(c.name);
        SCOPED_TRACE(asIs);
        EXPECT_TRUE(MatchesKeywordList(lowered, KeywordList::Product));
        EXPECT_EQ(c.speakerScan, MatchesKeywordList(lowered, KeywordList::SpeakerScan));
        EXPECT_EQ(c.spdifScan, MatchesKeywordList(lowered, KeywordList::SpdifScan));
        EXPECT_EQ(c.speakerDefault, MatchesKeywordList(lowered, KeywordList::SpeakerDefault));
        EXPECT_EQ(c.spdifDefault, MatchesKeywordList(lowered, KeywordList::SpdifDefault));
        EXPECT_EQ(c.speakerChange, MatchesKeywordList(asIs, KeywordList::SpeakerChange));
        EXPECT_EQ(c.spdifChange, MatchesKeywordList(asIs, KeywordList::SpdifChange));
    }
}

// 揚 is 93 50: its trail byte is 'P'. Lower-casing must leave it alone, or the traditional
// keyword could never match a name that went through the scan's lower-casing.
TEST_F(Cp936Test, LowerCasingSkipsTrailBytes)
{
    std::string text = ToAnsiText(TRADITIONAL_SPEAKER L" LUMIREL");
    LowerAsciiLetters(text);
    EXPECT_EQ("\x93\x50\xC2\x95\xC6\xF7 lumirel", text);
    EXPECT_TRUE(MatchesKeywordList(text, KeywordList::SpeakerScan));

    std::string pair = "\x81\x41" "B";  // a double-byte character whose trail byte is 'A'
    LowerAsciiLetters(pair);
    EXPECT_EQ("\x81\x41" "b", pair);
}

// A keyword only matches at a character boundary.
TEST_F(Cp936Test, SearchStepsOverDoubleByteCharacters)
{
    // 81 70 is one character; "pdif" must not be found starting at its trail byte.
    EXPECT_FALSE(ContainsAnsiKeyword("\x81" "pdif", "pdif"));
    EXPECT_TRUE(ContainsAnsiKeyword("\x81\x70" "pdif", "pdif"));
    // 81 D1 is one character, so the bytes D1 EF C9 F9 C6 F7 that follow it are not 扬声器.
    EXPECT_FALSE(ContainsAnsiKeyword("\x81\xD1\xEF\xC9\xF9\xC6\xF7", "\xD1\xEF\xC9\xF9\xC6\xF7"));
    EXPECT_TRUE(ContainsAnsiKeyword("a\xD1\xEF\xC9\xF9\xC6\xF7", "\xD1\xEF\xC9\xF9\xC6\xF7"));
    // A lead byte at the very end stands alone and does not hide a match before it.
    EXPECT_TRUE(ContainsAnsiKeyword("spdif\x81", "spdif"));
    EXPECT_FALSE(ContainsAnsiKeyword("\x81", "\x81\x40"));
}

}  // namespace
