// The driver subsystem's two user-visible messages (the short feature list, the unreadable
// device ID) go through this, so that tests can observe them.
#pragma once
#include <windows.h>

// The text is wide, so that it shows in the user's language whatever the ANSI code page.
typedef int (*DriverMessageBoxFn)(LPCWSTR text, UINT type);
extern DriverMessageBoxFn g_driverMessageBox;   // defaults to the framework's AfxMessageBox
