// Finding message boxes: the visible top-level windows of the dialog class ("#32770").
#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

namespace paneltest {

// The visible dialog-class windows of one thread, in Z order.
inline std::vector<HWND> VisibleDialogs(DWORD threadId)
{
    std::vector<HWND> found;
    ::EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            char cls[16] = "";
            ::GetClassNameA(hWnd, cls, sizeof(cls));
            if (std::strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hWnd))
                reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace paneltest
