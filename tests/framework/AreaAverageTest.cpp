// The artwork filter on pictures small enough to work out by hand.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "framework/AreaAverage.h"

namespace {

using Px = std::array<int, 4>;

RgbaImage Row(std::initializer_list<Px> pixels)
{
    RgbaImage img{static_cast<int>(pixels.size()), 1, {}};
    for (const Px& p : pixels)
        for (int c : p) img.rgba.push_back(static_cast<uint8_t>(c));
    return img;
}

Px At(const RgbaImage& img, int x)
{
    const uint8_t* p = img.At(x, 0);
    return {p[0], p[1], p[2], p[3]};
}

constexpr Px kWhite{255, 255, 255, 255};
constexpr Px kGrey{100, 100, 100, 255};

TEST(AreaAverage, KeyedPicturesScaleTheSeeThroughWhiteOnItsOwn)
{
    const struct {
        const char* what;
        RgbaImage src;
        std::vector<Px> want;
    } rows[] = {
        // 3 -> 2: the left target pixel is two-thirds white, so it stays white; the right one
        // lies on grey alone and keeps the grey exactly, not a blend with the white.
        {"edge", Row({kWhite, kGrey, kGrey}), {kWhite, kGrey}},
        // Half covered counts as drawn, and takes the drawn colour alone.
        {"half", Row({kWhite, kGrey}), {kGrey}},
        // The mean of two near-whites rounds to white; it must not become see-through.
        {"near white", Row({{255, 255, 254, 0}, {254, 255, 255, 0}}), {{254, 254, 254, 255}}},
        // 2 -> 3 (growing): each target pixel takes what lies under it.
        {"grow", Row({kGrey, kWhite}), {kGrey, kGrey, kWhite}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        RgbaImage out = AreaAverageKeyed(r.src, static_cast<int>(r.want.size()), 1);
        ASSERT_EQ(out.width, static_cast<int>(r.want.size()));
        for (int x = 0; x < out.width; ++x) EXPECT_EQ(At(out, x), r.want[x]) << "x " << x;
    }
}

TEST(AreaAverage, ColourIsWeightedByAlphaSoATransparentSurroundDoesNotDarkenTheEdge)
{
    // An opaque red beside a transparent (black) pixel: half the alpha, all of the red.
    RgbaImage out = AreaAverage(Row({{200, 0, 0, 255}, {0, 0, 0, 0}}), 1, 1);
    EXPECT_EQ(At(out, 0), (Px{200, 0, 0, 128}));
    // Three pixels into two: weights 1 and 1/2, then 1/2 and 1.
    out = AreaAverage(Row({{30, 30, 30, 255}, {90, 90, 90, 255}, {240, 240, 240, 255}}), 2, 1);
    EXPECT_EQ(At(out, 0), (Px{50, 50, 50, 255}));
    EXPECT_EQ(At(out, 1), (Px{190, 190, 190, 255}));
    EXPECT_TRUE(AreaAverage(RgbaImage{}, 2, 2).rgba.empty());
}

}  // namespace
