// Our own resampling filter for artwork: every target pixel is the area-weighted mean of the
// source pixels it covers, with colour weighted by alpha, so a transparent surround never
// bleeds into the edge of what is drawn.
#pragma once
#include <cstdint>
#include <vector>

// Top-down pixels, four bytes each: red, green, blue, and straight (not premultiplied) alpha.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    uint8_t* At(int x, int y) { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
    const uint8_t* At(int x, int y) const { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

// src resampled to width x height (both at least 1). Exact integer weights: the same input gives
// the same bytes on every machine. Meant for shrinking; growing gives blocky but correct pixels.
RgbaImage AreaAverage(const RgbaImage& src, int width, int height);

// A picture whose pure white is the window's see-through key rather than a colour: the key and
// the rest are scaled on their own. A target pixel is opaque when at least half of its area
// covers non-white source pixels, and then takes their mean alone (never pure white); otherwise
// it is pure white. Alpha is ignored on input and comes back 255.
RgbaImage AreaAverageKeyed(const RgbaImage& src, int width, int height);
