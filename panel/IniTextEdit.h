// Setting one key in the text of an INI file the way the system's profile reader will find
// it, while every other character of the text stays as it was.
#pragma once
#include <string>

enum class IniEdit { Refused, Unchanged, Changed };

// Sets key=value in the first section named `section` (blanks around names and ASCII case
// ignored, as the reader compares them); a missing key goes right after that section's
// header, a missing section at the end. A leading byte-order mark is skipped. Refused for
// names or values that cannot be stored on one line.
IniEdit SetIniValue(std::string& text, const char* section, const char* key, const char* value);
// The same for UTF-16 text, one element per code unit.
IniEdit SetIniValue(std::wstring& text, const wchar_t* section, const wchar_t* key, const wchar_t* value);
