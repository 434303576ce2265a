#include "framework/AreaAverage.h"

#include <algorithm>

namespace {

// One source row reduced to the target's width: per target pixel the sums of r*a, g*a, b*a and
// a, each weighted by how much of the source pixel lies under it (in units of 1/width of a
// source pixel, so one target pixel's weights add up to the source width).
void ReduceRow(const RgbaImage& src, int y, int width, std::vector<uint64_t>& out)
{
    const int sw = src.width;
    std::fill(out.begin(), out.end(), 0);
    for (int x = 0; x < width; ++x) {
        const int64_t from = static_cast<int64_t>(x) * sw, to = from + sw;  // in 1/width units
        uint64_t* acc = &out[static_cast<size_t>(x) * 4];
        for (int64_t i = from / width; i * width < to; ++i) {
            const int64_t lo = std::max(from, i * width), hi = std::min(to, (i + 1) * width);
            const uint64_t w = static_cast<uint64_t>(hi - lo);
            const uint8_t* p = src.At(static_cast<int>(i), y);
            const uint64_t wa = w * p[3];
            acc[0] += wa * p[0];
            acc[1] += wa * p[1];
            acc[2] += wa * p[2];
            acc[3] += wa;
        }
    }
}

uint8_t RoundedRatio(uint64_t num, uint64_t den) { return static_cast<uint8_t>((num * 2 + den) / (den * 2)); }

// The area sums for every target pixel, row by row: calls emit(x, y, sums, totalWeight) where
// totalWeight is the weight of a fully covered pixel of alpha 1 (source width x source height).
template <typename Emit>
void Resample(const RgbaImage& src, int width, int height, Emit emit)
{
    const int sh = src.height;
    std::vector<uint64_t> row(static_cast<size_t>(width) * 4), sums(row.size());
    const uint64_t total = static_cast<uint64_t>(src.width) * static_cast<uint64_t>(sh);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const int64_t from = static_cast<int64_t>(y) * sh, to = from + sh;
        for (int64_t j = from / height; j * height < to; ++j) {
            const int64_t lo = std::max(from, j * height), hi = std::min(to, (j + 1) * height);
            const uint64_t w = static_cast<uint64_t>(hi - lo);
            ReduceRow(src, static_cast<int>(j), width, row);
            for (size_t k = 0; k < row.size(); ++k)
                sums[k] += w * row[k];
        }
        for (int x = 0; x < width; ++x)
            emit(x, y, &sums[static_cast<size_t>(x) * 4], total);
    }
}

bool Usable(const RgbaImage& src, int width, int height)
{
    return src.width > 0 && src.height > 0 && width > 0 && height > 0 &&
           src.rgba.size() == static_cast<size_t>(src.width) * src.height * 4;
}

RgbaImage Blank(int width, int height)
{
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    return out;
}

}  // namespace

RgbaImage AreaAverage(const RgbaImage& src, int width, int height)
{
    if (!Usable(src, width, height))
        return {};
    RgbaImage out = Blank(width, height);
    Resample(src, width, height, [&](int x, int y, const uint64_t* s, uint64_t total) {
        uint8_t* p = out.At(x, y);
        if (s[3] != 0)
            for (int c = 0; c < 3; ++c) p[c] = RoundedRatio(s[c], s[3]);
        p[3] = RoundedRatio(s[3], total);
    });
    return out;
}

RgbaImage AreaAverageKeyed(const RgbaImage& src, int width, int height)
{
    if (!Usable(src, width, height))
        return {};
    // The key becomes alpha 0 and everything else alpha 255: the filter's alpha is then the
    // share of the target pixel that the drawn part covers.
    RgbaImage keyed = src;
    for (size_t i = 0; i < keyed.rgba.size(); i += 4) {
        uint8_t* p = &keyed.rgba[i];
        p[3] = (p[0] == 255 && p[1] == 255 && p[2] == 255) ? 0 : 255;
    }
    RgbaImage out = Blank(width, height);
    Resample(keyed, width, height, [&](int x, int y, const uint64_t* s, uint64_t total) {
        uint8_t* p = out.At(x, y);
        p[3] = 255;
        if (s[3] * 2 < total * 255) {
            p[0] = p[1] = p[2] = 255;
            return;
        }
        for (int c = 0; c < 3; ++c) p[c] = RoundedRatio(s[c], s[3]);
        if (p[0] == 255 && p[1] == 255 && p[2] == 255)
            p[0] = p[1] = p[2] = 254;  // a mean of near-whites must not turn into the key
    });
    return out;
}
