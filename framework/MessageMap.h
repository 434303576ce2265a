// Message maps: one table per class, read top to bottom, first match wins.
//
//   BEGIN_MSG_MAP(CMyDlg)
//       MESSAGE_HANDLER(WM_PAINT, OnPaint)            // LRESULT OnPaint(WPARAM, LPARAM)
//       COMMAND_ID_HANDLER(1015, OnPowerHide)         // void OnPowerHide(): button click or menu command
//       CHAIN_MSG_MAP(CDialog)
//   END_MSG_MAP()
//
// Handlers see the real WPARAM/LPARAM and return the real LRESULT; Default() hands the
// message being handled to the window's previous procedure.
#pragma once
#include <windows.h>

// Messages a parent passes back to the child control they concern (WM_CTLCOLOR* arrives
// as WM_REFLECT_BASE + WM_CTLCOLOR, i.e. 0xBC19; WM_DRAWITEM as 0xBC2B).
#define WM_REFLECT_BASE 0xBC00
// The 16-bit control-colour message all WM_CTLCOLOR* requests are reflected as.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

#define BEGIN_MSG_MAP(theClass)                                                          \
public:                                                                                  \
    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) \
        override                                                                         \
    {                                                                                    \
        (void)uMsg; (void)wParam; (void)lParam; (void)lResult;

#define MESSAGE_HANDLER(msg, func)                 \
        if (uMsg == (UINT)(msg)) {                 \
            lResult = func(wParam, lParam);        \
            return TRUE;                           \
        }

// A reflected message: what the parent received for this control.
#define REFLECTED_MESSAGE_HANDLER(msg, func) MESSAGE_HANDLER(WM_REFLECT_BASE + (msg), func)

// Button clicks (BN_CLICKED is 0) and menu commands share notification code 0.
#define COMMAND_ID_HANDLER(id, func)                                          \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == 0) { \
            func();                                                           \
            lResult = 0;                                                      \
            return TRUE;                                                      \
        }

#define COMMAND_HANDLER(id, code, func)                                              \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) { \
            func();                                                                  \
            lResult = 0;                                                             \
            return TRUE;                                                             \
        }

#define CHAIN_MSG_MAP(baseClass)                                              \
        if (baseClass::ProcessWindowMessage(uMsg, wParam, lParam, lResult))   \
            return TRUE;

#define END_MSG_MAP() \
        return FALSE; \
    }
