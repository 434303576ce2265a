// The display scale a test runs at: the DPI its Wine prefix gives (LogPixels), so one table runs
// at every scale the test runner has a prefix for. A run that was to be at a given DPI
// (KESTRUN_EXPECT_DPI) and is not fails, rather than passing at 96 again.
#pragma once

#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "framework/Artwork.h"

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

// Whether dc holds, from (0, 0), the picture `id` as the program makes it for dpi: every 7th
// row and 13th column over the picture's whole size.
inline ::testing::AssertionResult HoldsArtwork(HDC dc, UINT id, UINT dpi)
{
    HBITMAP art = LoadScaledBitmap(id, dpi);
    if (art == nullptr)
        return ::testing::AssertionFailure() << "picture " << id << " at " << dpi << " DPI did not load";
    BITMAP bm{};
    ::GetObjectA(art, sizeof(bm), &bm);
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, art);
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (int y = 0; y < bm.bmHeight && result; y += 7)
        for (int x = 0; x < bm.bmWidth && result; x += 13)
            if (::GetPixel(dc, x, y) != ::GetPixel(mem, x, y))
                result = ::testing::AssertionFailure() << "differs at " << x << "," << y;
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(art);
    return result;
}

}  // namespace testscale
