// The display area's texts: operating system, control panel version, copyright, address.
#pragma once
#include <windows.h>

#include <string>

// The name for a reported major.minor version; empty for a pair the panel does not know.
std::string OsNameForVersion(DWORD major, DWORD minor);
// The name for the version the system reports to this program.
std::string QueryOsName();
// "OS Version: " + name + " " + "64bit"
std::string OsVersionLine(const std::string& osName);
// "Control Panel Version: " + the stored version text, as read
std::string PanelVersionLine(const std::string& cplVersion);
