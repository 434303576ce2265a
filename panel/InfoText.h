// The display area's texts: operating system, control panel version, copyright, address.
#pragma once
#include <windows.h>

#include <string>

#include "framework/OsVersion.h"

// The name for a reported major.minor version; empty for a pair the panel does not know.
std::string OsNameForVersion(DWORD major, DWORD minor);
// The name for the reported version. Every release after 6.2 reports 6.2 to this program,
// so a reported 6.2 is named by the true version instead, when there is one (trueVersion
// not null): 10.0 is "Windows 10" below build 22000 and "Windows 11" from it on.
std::string OsNameFor(const OsVersion& reported, const OsVersion* trueVersion);
// The name for the system this program runs on.
std::string QueryOsName();
// "OS Version: " + name + " " + "64bit", the prefix in the user's language
std::wstring OsVersionLine(const std::string& osName);
// "Control Panel Version: " + the stored version text, as read; the prefix in the user's language
std::wstring PanelVersionLine(const std::string& cplVersion);
