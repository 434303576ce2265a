// The program's own words. Every text a user reads or hears comes from the string tables in
// the resources, through here, as UTF-16, so that no text depends on the ANSI code page.
// The tables are in English, Simplified and Traditional Chinese; which one speaks follows
// Windows' display language (never the code page), with English as default and fallback.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

constexpr LANGID UI_LANG_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID UI_LANG_SIMPLIFIED_CHINESE = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
constexpr LANGID UI_LANG_TRADITIONAL_CHINESE = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);

// The table that speaks a display language given by name ("zh-CN", "zh-Hant-HK", "en-GB"),
// or 0 when the program has none for it.
LANGID UiLanguageForName(const std::wstring& name);
// The same for a language ID (0x0C04 zh-HK -> Traditional).
LANGID UiLanguageForLangId(LANGID language);
// The first of the user's preferred display languages the program speaks, else English.
LANGID UiLanguageFromSystem();
// The language the program speaks: chosen from the system at the first use, unless set.
LANGID UiLanguage();
void SetUiLanguage(LANGID language);

// The text of string resource `id` in the program's language (in English where that table
// has none), or the empty text when there is none at all.
std::wstring LoadUiText(UINT id);

// The text of string resource `id` with "%1" ... "%9" replaced by args[0] ... args[8] (each
// placeholder may stand anywhere, any number of times, so a translation can reorder them) and
// "%%" by "%". A placeholder without an argument, or a lone "%", stays as it stands.
std::wstring FormatUiText(UINT id, std::initializer_list<std::wstring> args);

// Text that an ANSI call returned (a settings value) or that is plain ASCII (names, versions),
// in UTF-16.
std::wstring WidenAnsi(const std::string& text);
