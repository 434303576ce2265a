// The driver subsystem's two user-visible messages (the short feature list, the unreadable
// device ID) go through this, so that tests can observe them.
#pragma once
#include <windows.h>

typedef int (*DriverMessageBoxFn)(LPCSTR text, UINT type);
extern DriverMessageBoxFn g_driverMessageBox;   // defaults to the framework's AfxMessageBox
