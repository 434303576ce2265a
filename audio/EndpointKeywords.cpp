#include "audio/EndpointKeywords.h"

#include <windows.h>

#include <cstring>

namespace {

// Code page 936 byte strings; written with separated literals so no hex escape swallows the
// next byte.
#define KW_DIGITAL "\xCA\xFD" "\xD7\xD6"                          // 数字
#define KW_SPEAKER_SIMPLIFIED "\xD1\xEF" "\xC9\xF9" "\xC6\xF7"    // 扬声器
#define KW_SPEAKER_TRADITIONAL "\x93\x50" "\xC2\x95" "\xC6\xF7"   // 揚聲器

const char* const kProduct[] = {"vexmora", "lumirel", "caldrix"};
const char* const kSpeakerScan[] = {KW_SPEAKER_SIMPLIFIED, KW_SPEAKER_TRADITIONAL, "speaker"};
const char* const kSpdifScan[] = {KW_DIGITAL, "pdif", "spdif"};
const char* const kSpeakerDefault[] = {KW_SPEAKER_SIMPLIFIED, "master"};
const char* const kSpdifDefault[] = {KW_DIGITAL, "pdif", "spdif"};
const char* const kSpdifChange[] = {"SPDIF", "S/PDIF", KW_DIGITAL};
const char* const kSpeakerChange[] = {KW_SPEAKER_SIMPLIFIED, KW_SPEAKER_TRADITIONAL, "speaker"};

template <size_t N>
bool ContainsAny(const std::string& text, const char* const (&keywords)[N])
{
    for (const char* keyword : keywords) {
        if (ContainsAnsiKeyword(text, keyword))
            return true;
    }
    return false;
}

// Length of the character starting at text[i]: two bytes for a lead byte followed by a trail
// byte, otherwise one (a lead byte at the very end stands alone).
size_t CharLength(const std::string& text, size_t i)
{
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (i + 1 < text.size() && text[i + 1] != '\0' && IsDBCSLeadByte(byte))
        return 2;
    return 1;
}

}  // namespace

std::string ToAnsiText(const wchar_t* text)
{
    if (text == nullptr || *text == L'\0')
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], size, nullptr, nullptr) != size)
        return std::string();
    result.resize(static_cast<size_t>(size) - 1);  // the terminator
    return result;
}

void LowerAsciiLetters(std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t length = CharLength(text, i);
        if (length == 1 && text[i] >= 'A' && text[i] <= 'Z')
            text[i] = static_cast<char>(text[i] - 'A' + 'a');
        i += length;
    }
}

bool ContainsAnsiKeyword(const std::string& text, const char* keyword)
{
    if (keyword == nullptr)
        return false;
    const size_t keywordLength = std::strlen(keyword);
    if (keywordLength == 0 || keywordLength > text.size())
        return false;
    for (size_t i = 0; i + keywordLength <= text.size(); i += CharLength(text, i)) {
        if (std::memcmp(text.data() + i, keyword, keywordLength) == 0)
            return true;
    }
    return false;
}

bool MatchesKeywordList(const std::string& text, KeywordList list)
{
    switch (list) {
    case KeywordList::Product:
        return ContainsAny(text, kProduct);
    case KeywordList::SpeakerScan:
        return ContainsAny(text, kSpeakerScan);
    case KeywordList::SpdifScan:
        return ContainsAny(text, kSpdifScan);
    case KeywordList::SpeakerDefault:
        return ContainsAny(text, kSpeakerDefault);
    case KeywordList::SpdifDefault:
        return ContainsAny(text, kSpdifDefault);
    case KeywordList::SpdifChange:
        return ContainsAny(text, kSpdifChange);
    case KeywordList::SpeakerChange:
        return ContainsAny(text, kSpeakerChange);
    }
    return false;
}

std::string ToLowerAnsiName(const wchar_t* friendlyName)
{
    std::string name = ToAnsiText(friendlyName);
    LowerAsciiLetters(name);
    return name;
}
