// Recognising the device's endpoints by keywords in their friendly names.
//
// Names are compared as text in the system's ANSI code page, so the Chinese keywords (stored
// as code page 936 byte strings) can only match where that code page is 936. Every search
// honours the code page's double-byte characters: a keyword only matches at a character
// boundary, never across a lead/trail byte pair.
#pragma once
#include <string>

enum class KeywordList {
    Product,         // endpoint scan: is this the maker's endpoint at all
    SpeakerScan,     // endpoint scan
    SpdifScan,       // endpoint scan
    SpeakerDefault,  // default-output query: has "master", lacks "speaker"
    SpdifDefault,    // default-output query
    SpdifChange,     // default-endpoint notification, case-sensitive
    SpeakerChange,   // default-endpoint notification, case-sensitive
};

// UTF-16 to the ANSI code page (WideCharToMultiByte with CP_ACP). Null or unconvertible
// input gives empty text.
std::string ToAnsiText(const wchar_t* text);

// Lower-cases the ASCII letters A to Z only. Trail bytes of double-byte characters are left
// alone: in code page 936 they include 'A'..'Z' (the first character of the traditional
// "speaker" keyword is 93 50), and lowering them would change the character.
void LowerAsciiLetters(std::string& text);

// Substring search on ANSI text that steps over double-byte characters of the ANSI code page,
// like _mbsstr. An empty keyword never matches.
bool ContainsAnsiKeyword(const std::string& text, const char* keyword);

// True when any keyword of the list is found in the (already converted) text. The lists used
// by the scan and the default-output query expect lower-cased text; the notification lists
// are searched case-sensitively on the name as it is.
bool MatchesKeywordList(const std::string& text, KeywordList list);

// The same converted and lower-cased text that the scan and the default-output query test.
std::string ToLowerAnsiName(const wchar_t* friendlyName);
