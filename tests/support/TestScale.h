// The display scale a test runs at: the DPI its Wine prefix gives (LogPixels), so one table runs
// at every scale the test runner has a prefix for. A run that was to be at a given DPI
// (KESTRUN_EXPECT_DPI) and is not fails, rather than passing at 96 again.
#pragma once

#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace testscale {

inline UINT Dpi()
{
    HDC screen = ::GetDC(nullptr);
    const UINT dpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    if (const char* expected = std::getenv("KESTRUN_EXPECT_DPI"))
        EXPECT_EQ(dpi, static_cast<UINT>(std::atoi(expected))) << "the test prefix is not at the DPI this run is for";
    return dpi;
}

// A 96-DPI length at dpi, as the artwork has it (independent of the program's own arithmetic).
inline int At(int length, UINT dpi) { return static_cast<int>(static_cast<long long>(length) * dpi * 2 / 96 + 1) / 2; }

}  // namespace testscale
