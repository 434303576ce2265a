// The panel's outline, cut from its skin bitmap: every pixel that is not exactly the key
// colour belongs to the window. CKestrunDlg::BuildSkinRegion is a thin call of this.
#pragma once
#include <windows.h>

// What a region build saw and did, for the caller's bookkeeping and for tests.
struct SkinRegionInfo {
    int width = 0;          // the bitmap's size in pixels
    int height = 0;
    int bitCount = 0;       // bits per pixel in which GDI delivered the pixels
    int rectCount = 0;      // rectangles in the region, each one pixel high
    int capacity = 0;       // rectangles the block had room for at the end
    int growths = 0;        // times the block grew (by 40 rectangles each)
};

// Builds a new region (the caller owns it) of one-pixel-high runs of pixels that differ from
// keyColour (0x00BBGGRR). Deliveries of 8, 16, 24 and 32 bits per pixel are read; any other
// depth, and a bitmap that cannot be read, gives an empty region.
HRGN BuildSkinRegionFromBitmap(HBITMAP hBitmap, COLORREF keyColour, SkinRegionInfo* pInfo = nullptr);
