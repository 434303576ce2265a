// Putting the real mouse pointer where a test needs it. Wine keeps a pointer position of its
// own and re-reads the X server's at times (when a window becomes the foreground one, or
// when its own is over 100 ms old), so a pointer that an earlier test left in the X server
// can jump back in later. Moving both and waiting until they agree makes test order matter
// no more.
#pragma once

#include <windows.h>

namespace paneltest {

// An absolute move that lands on the pixel itself: Wine scales 0..65535 down with a
// truncating shift, so round up.
inline void SendPointerMove(POINT screen)
{
    const long long width = ::GetSystemMetrics(SM_CXSCREEN);
    const long long height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((screen.x * 65536LL + width - 1) / width);
    in.mi.dy = static_cast<LONG>((screen.y * 65536LL + height - 1) / height);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
}

// Moves the pointer (system input and the X server's) to a screen point and returns once
// GetCursorPos has kept answering that point for longer than Wine trusts its own copy, that
// is once the X server agrees. False when it never settled.
inline bool PlacePointer(POINT screen, DWORD timeoutMs = 5000)
{
    constexpr int kSteadyReads = 8;  // 40 ms apart: well past Wine's 100 ms
    const DWORD start = ::GetTickCount();
    do {
        SendPointerMove(screen);
        ::SetCursorPos(screen.x, screen.y);
        int steady = 0;
        for (; steady < kSteadyReads; ++steady) {
            ::Sleep(40);
            POINT now{};
            if (!::GetCursorPos(&now) || now.x != screen.x || now.y != screen.y)
                break;
        }
        if (steady == kSteadyReads)
            return true;
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

}  // namespace paneltest
