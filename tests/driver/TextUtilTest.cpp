#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "driver/ReplyText.h"
#include "driver/TextUtil.h"

namespace {

using Fields = std::vector<std::wstring>;

TEST(SplitString, DelimitersNeverYieldEmptyFields)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* delimiters;
        Fields expected;
    } cases[] = {
        {L"a,,b", L",", {L"a", L"b"}},
        {L",a,", L",", {L"a"}},
        {L",,", L",", {}},
        {L"", L",", {L""}},
        {L"a;b,c", L",;", {L"a", L"b", L"c"}},
        {L"abc", L",", {L"abc"}},
        {L"a,b,c,d,e,f,g", L",", {L"a", L"b", L"c", L"d", L"e", L"f", L"g"}},
        {L" a , b ", L",", {L" a ", L" b "}},
        {L"a,b", L"", {L"a,b"}},
        {L"\x4e2d,\x6587", L",", {L"\x4e2d", L"\x6587"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, SplitString(c.text, c.delimiters)) << "text \"" << testing::PrintToString(std::wstring(c.text)) << "\"";
}

TEST(Utf16FromUtf8, ConvertsValidText)
{
    EXPECT_EQ(std::wstring(L","), utf8util::utf16_from_utf8(","));
    EXPECT_EQ(std::wstring(L"\x4e2d\x6587"), utf8util::utf16_from_utf8("\xe4\xb8\xad\xe6\x96\x87"));
    EXPECT_EQ(std::wstring(L"\xd83d\xde00"), utf8util::utf16_from_utf8("\xf0\x9f\x98\x80"));   // surrogate pair
    EXPECT_EQ(std::wstring(), utf8util::utf16_from_utf8(""));
    EXPECT_EQ(std::wstring(), utf8util::utf16_from_utf8(nullptr));
}

TEST(Utf16FromUtf8, InvalidSequencesRaiseTheConversionError)
{
    for (const char* bad : {"\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80"}) {
        try {
            utf8util::utf16_from_utf8(bad);
            ADD_FAILURE() << "no error for " << testing::PrintToString(std::string(bad));
        } catch (const utf8util::utf8_conversion_error& e) {
            EXPECT_STREQ("Invalid UTF-8 sequence found in input string.", e.what());
            EXPECT_EQ(1, e.error_type());
            EXPECT_EQ(1113, e.error_code());
            // Copies keep all three.
            const utf8util::utf8_conversion_error copy = e;
            EXPECT_STREQ(e.what(), copy.what());
            EXPECT_EQ(e.error_code(), copy.error_code());
            const std::runtime_error& base = copy;
            EXPECT_STREQ("Invalid UTF-8 sequence found in input string.", base.what());
        }
    }
}

std::vector<unsigned char> Utf16(const std::wstring& text, bool terminate = true)
{
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    if (terminate)
        bytes.insert(bytes.end(), 2, 0);
    return bytes;
}

TEST(ReplyText, DecimalRepliesReadLikeTheCRuntime)
{
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"96000", 96000}, {"  24", 24},   {"\t\n16", 16}, {"+48000", 48000}, {"-16", -16},
        {"24 bits", 24},  {"x24", 0},     {"", 0},        {"-", 0},          {"0x10", 0},
        {"00192000", 192000}, {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
        {"99999999999999999999", INT32_MAX}, {"-2147483648", INT32_MIN}, {"-99999999999", INT32_MIN},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> ansi(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(c.expected, ReadDecimal8Bit(ansi.data(), ansi.size())) << "8-bit \"" << c.text << "\"";
        std::wstring wide(c.text, c.text + std::strlen(c.text));
        std::vector<unsigned char> utf16 = Utf16(wide);
        EXPECT_EQ(c.expected, ReadDecimalUtf16(utf16.data(), utf16.size())) << "UTF-16 \"" << c.text << "\"";
    }
}

TEST(ReplyText, UnterminatedRepliesStopAtTheBufferEnd)
{
    // Exactly sized heap blocks: a read past them is caught by nothing but these checks, so
    // the bytes after the buffer would change the result if they were read.
    std::vector<unsigned char> block = Utf16(L"1920009", false);
    EXPECT_EQ(192000, ReadDecimalUtf16(block.data(), 12));        // six units of seven
    EXPECT_EQ(1920009, ReadDecimalUtf16(block.data(), block.size()));
    EXPECT_EQ(192000, ReadDecimalUtf16(block.data(), 13));        // an odd byte is no unit
    EXPECT_EQ(std::wstring(L"192"), ReadUtf16Text(block.data(), 6));

    const char digits[] = "4410099";
    EXPECT_EQ(44100, ReadDecimal8Bit(digits, 5));
    EXPECT_EQ(0, ReadDecimal8Bit(digits, 0));
    EXPECT_EQ(0, ReadDecimalUtf16(nullptr, 1024));
    EXPECT_EQ(0, ReadDecimal8Bit(nullptr, 1024));
    EXPECT_EQ(std::wstring(), ReadUtf16Text(nullptr, 1024));
}

TEST(ReplyText, OneDigitUtf16ReplyReadsTheSameUnderBothConversions)
{
    for (wchar_t digit = L'0'; digit <= L'9'; ++digit) {
        std::vector<unsigned char> reply = Utf16(std::wstring(1, digit));
        EXPECT_EQ(ReadDecimalUtf16(reply.data(), reply.size()), ReadDecimal8Bit(reply.data(), reply.size()));
    }
    std::vector<unsigned char> two = Utf16(L"16");
    EXPECT_EQ(1, ReadDecimal8Bit(two.data(), two.size()));
}

TEST(ReplyText, NonDigitUnitsEndTheNumber)
{
    // Wide characters whose low byte is a digit are no digits.
    std::vector<unsigned char> reply = Utf16(L"12\x0133");
    EXPECT_EQ(12, ReadDecimalUtf16(reply.data(), reply.size()));
    std::vector<unsigned char> fullWidth = Utf16(L"\xff11\xff16");
    EXPECT_EQ(0, ReadDecimalUtf16(fullWidth.data(), fullWidth.size()));
}

}  // namespace
