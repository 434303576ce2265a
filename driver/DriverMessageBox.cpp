#include "driver/DriverMessageBox.h"

#include "framework/afxwin.h"

DriverMessageBoxFn g_driverMessageBox = AfxMessageBox;
