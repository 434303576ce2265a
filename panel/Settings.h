// CPL.ini beside the executable: the channel link and the control panel's version text.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// Missing file, section or key: the empty text. Values are cut to 1023 characters.
std::string ReadSettingString(const char* fileName, const char* section, const char* key);
// Missing file, section or key: 0xFFFFFFFF.
UINT ReadSettingInt(const char* fileName, const char* section, const char* key);
// Creates the file, section or key as needed and replaces an existing value; every other
// byte of the file stays as it was. FALSE when nothing could be written.
BOOL WriteSettingString(const char* fileName, const char* section, const char* key, const char* value);

// The executable's directory, a backslash and the file name, built anew on every call.
std::string SettingsFilePath(const char* fileName);

// The text edit behind WriteSettingString: sets key=value in the first matching section
// (appending the section when there is none), touching nothing else. Returns false for
// names or values that cannot be stored on one line; otherwise *firstChanged receives the
// offset of the first byte that differs (text.size() of the old text when none does).
bool SetIniValue(std::string& text, const char* section, const char* key, const char* value,
                 std::size_t* firstChanged);
