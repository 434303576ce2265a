// CPL.ini beside the executable: the channel link and the control panel's version text.
#pragma once
#include <windows.h>

#include <string>

// The file, its one section and its two keys.
constexpr char SETTINGS_FILE[] = "CPL.ini";
constexpr char SETTINGS_SECTION[] = "CPL";
constexpr char SETTING_CHANNELS_LINKED[] = "lrchannel_linked";
constexpr char SETTING_PANEL_VERSION[] = "cplversion";
// The writer's temporary files beside CPL.ini are named cplXXXX.tmp; the uninstaller removes
// any that an interrupted write left.
constexpr char SETTINGS_TEMPORARY_PREFIX[] = "cpl";

// Missing file, section or key: the empty text. Values are cut to 1023 characters.
std::string ReadSettingString(const char* fileName, const char* section, const char* key);
// Missing file, section or key: 0xFFFFFFFF.
UINT ReadSettingInt(const char* fileName, const char* section, const char* key);
// Creates the file, section or key as needed and replaces an existing value; every other
// byte of the file stays as it was, in its encoding (ANSI, UTF-8 or UTF-16LE with its
// byte-order mark). The file is replaced whole, so a failed write leaves the old one; where
// the folder takes no new file, an existing file is rewritten in place instead. FALSE when
// nothing could be written.
BOOL WriteSettingString(const char* fileName, const char* section, const char* key, const char* value);

// The executable's directory, a backslash and the file name, built anew on every call.
std::string SettingsFilePath(const char* fileName);
