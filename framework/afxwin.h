// The thin window framework: application, windows, dialogs, controls and GDI wrappers.
#pragma once
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/Dialog.h"
#include "framework/Controls.h"
#include "framework/Gdi.h"
