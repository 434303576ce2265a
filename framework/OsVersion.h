// The operating system's version, as this program is told it and as it really is.
#pragma once
#include <windows.h>

struct OsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
};

// GetVersionExA: without supported-system entries in the manifest, every release after 6.2
// reports 6.2. False, with *version all zero, when the query fails.
bool QueryReportedOsVersion(OsVersion* version);
// ntdll's RtlGetVersion, looked up at run time: the true version, which no compatibility
// setting changes. False when the entry is missing or fails.
bool QueryTrueOsVersion(OsVersion* version);
