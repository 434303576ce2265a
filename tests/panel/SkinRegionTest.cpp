// The window outline cut from a skin: synthetic bitmaps in each delivery depth, and the
// panel's own skin. Geometry is read back from the region with GetRegionData.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/Artwork.h"
#include "panel/SkinRegion.h"
#include "res/resource.h"
#include "tests/support/TestScale.h"

namespace {

using Span = std::pair<int, int>;  // [left, right)
using Runs = std::vector<Span>;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Runs of row y in the region, touching rectangles merged.
Runs RowRuns(HRGN hRgn, int y)
{
    DWORD size = ::GetRegionData(hRgn, 0, nullptr);
    std::vector<BYTE> data(size);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (size == 0 || ::GetRegionData(hRgn, size, rgn) == 0)
        return {};
    const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
    Runs runs;
    for (DWORD i = 0; i < rgn->rdh.nCount; ++i)
        if (rects[i].top <= y && y < rects[i].bottom)
            runs.emplace_back(rects[i].left, rects[i].right);
    std::sort(runs.begin(), runs.end());
    Runs merged;
    for (const Span& run : runs) {
        if (!merged.empty() && merged.back().second == run.first)
            merged.back().second = run.second;
        else
            merged.push_back(run);
    }
    return merged;
}

DWORD RegionRectCount(HRGN hRgn)
{
    DWORD size = ::GetRegionData(hRgn, 0, nullptr);
    std::vector<BYTE> data(size);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (size == 0 || ::GetRegionData(hRgn, size, rgn) == 0)
        return 0;
    return rgn->rdh.nCount;
}

struct Region {
    HRGN hRgn = nullptr;
    SkinRegionInfo info;
    ~Region()
    {
        if (hRgn != nullptr)
            ::DeleteObject(hRgn);
    }
};

// A DIB section of the given depth whose rows (top first) hold the given raw pixel values:
// palette indices for 8 bits, 5-6-5 values for 16, 0x00RRGGBB for 24 and 32 (the fourth
// byte stored as given for 32).
class SyntheticBitmap {
public:
    SyntheticBitmap(int bitCount, const std::vector<std::vector<uint32_t>>& rows,
                    const std::vector<uint32_t>& palette = {})
    {
        const int height = static_cast<int>(rows.size());
        const int width = height > 0 ? static_cast<int>(rows[0].size()) : 0;
        std::vector<BYTE> header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* bmi = reinterpret_cast<BITMAPINFO*>(header.data());
        bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi->bmiHeader.biWidth = width;
        bmi->bmiHeader.biHeight = height;  // bottom-up
        bmi->bmiHeader.biPlanes = 1;
        bmi->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
        bmi->bmiHeader.biCompression = BI_RGB;
        auto* colours = reinterpret_cast<uint32_t*>(bmi->bmiColors);
        if (bitCount == 16) {
            bmi->bmiHeader.biCompression = BI_BITFIELDS;
            colours[0] = 0xF800;
            colours[1] = 0x07E0;
            colours[2] = 0x001F;
        } else if (bitCount <= 8) {
            bmi->bmiHeader.biClrUsed = static_cast<DWORD>(palette.size());
            std::copy(palette.begin(), palette.end(), colours);
        }
        void* bits = nullptr;
        m_hBitmap = ::CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (m_hBitmap == nullptr)
            return;
        const size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
        auto* base = static_cast<BYTE*>(bits);
        for (int y = 0; y < height; ++y) {
            BYTE* row = base + stride * static_cast<size_t>(height - 1 - y);
            for (int x = 0; x < width; ++x) {
                uint32_t v = rows[y][x];
                switch (bitCount) {
                case 1: if (v) row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8)); break;
                case 4: row[x / 2] |= static_cast<BYTE>((x % 2) ? v : v << 4); break;
                case 8: row[x] = static_cast<BYTE>(v); break;
                case 16: row[2 * x] = v & 0xFF; row[2 * x + 1] = (v >> 8) & 0xFF; break;
                case 24: row[3 * x] = v & 0xFF; row[3 * x + 1] = (v >> 8) & 0xFF; row[3 * x + 2] = (v >> 16) & 0xFF; break;
                case 32: std::memcpy(row + 4 * x, &v, 4); break;
                }
            }
        }
        ::GdiFlush();
    }
    ~SyntheticBitmap()
    {
        if (m_hBitmap != nullptr)
            ::DeleteObject(m_hBitmap);
    }
    HBITMAP get() const { return m_hBitmap; }

private:
    HBITMAP m_hBitmap = nullptr;
};

void Build(Region& region, HBITMAP hBitmap, COLORREF key = kWhite)
{
    region.hRgn = BuildSkinRegionFromBitmap(hBitmap, key, &region.info);
}

// '.' is the key colour, '#' an ordinary face colour, '~' one step away from the key.
const std::vector<std::string> kPattern = {
    ".............",
    "#############",
    "##..##...####",
    "#####.#######",
    "............#",
    "~~~~~~~~~~~~~",
    ".#...........",
};
const std::vector<Runs> kPatternRuns = {
    {},
    {{0, 13}},
    {{0, 2}, {4, 6}, {9, 13}},
    {{0, 5}, {6, 13}},
    {{12, 13}},
    {{0, 13}},
    {{1, 2}},
};

struct DepthCase {
    int bitCount;
    uint32_t key, face, nearKey;
};

const DepthCase kDepths[] = {
    {8, 0, 1, 2},  // palette indices, see kPalette
    {16, 0xFFFF, 0xC618, 0xFFDF},
    {24, 0xFFFFFF, 0xC2C0C1, 0xFFFFFE},
    {32, 0xFFFFFF, 0xC2C0C1, 0xFEFFFF},
};
const std::vector<uint32_t> kPalette = {0xFFFFFF, 0xC2C0C1, 0xFFFEFF, 0x000000};

std::vector<std::vector<uint32_t>> Pixels(const std::vector<std::string>& pattern, const DepthCase& depth)
{
    std::vector<std::vector<uint32_t>> rows;
    for (const std::string& line : pattern) {
        std::vector<uint32_t> row;
        for (char c : line)
            row.push_back(c == '.' ? depth.key : c == '#' ? depth.face : depth.nearKey);
        rows.push_back(row);
    }
    return rows;
}

TEST(SkinRegionTest, RunsPerRowInEveryDeliveryDepth)
{
    for (const DepthCase& depth : kDepths) {
        SCOPED_TRACE("bit count " + std::to_string(depth.bitCount));
        SyntheticBitmap bitmap(depth.bitCount, Pixels(kPattern, depth), kPalette);
        ASSERT_NE(bitmap.get(), nullptr);
        Region region;
        Build(region, bitmap.get());
        ASSERT_NE(region.hRgn, nullptr);
        EXPECT_EQ(region.info.bitCount, depth.bitCount);
        EXPECT_EQ(region.info.width, 13);
        EXPECT_EQ(region.info.height, 7);
        EXPECT_EQ(region.info.rectCount, 9);
        // Seven rows give room for seven; the seventh rectangle makes it grow once.
        EXPECT_EQ(region.info.growths, 1);
        EXPECT_EQ(region.info.capacity, 47);
        EXPECT_EQ(RegionRectCount(region.hRgn), 9u);
        for (int y = 0; y < static_cast<int>(kPatternRuns.size()); ++y)
            EXPECT_EQ(RowRuns(region.hRgn, y), kPatternRuns[y]) << "row " << y;
        RECT box{};
        ::GetRgnBox(region.hRgn, &box);
        EXPECT_EQ(box.right, 13);  // runs reaching the edge end at the width
        EXPECT_EQ(box.bottom, 7);
    }
}

TEST(SkinRegionTest, KeyColourIsComparedWithRedAndBlueExchanged)
{
    const COLORREF key = RGB(10, 20, 30);
    // 0x00RRGGBB as stored: the key itself, and the key with red and blue swapped.
    SyntheticBitmap bitmap(24, {{0x0A141E, 0x1E140A, 0x0A141E}});
    Region region;
    Build(region, bitmap.get(), key);
    EXPECT_EQ(RowRuns(region.hRgn, 0), (Runs{{1, 2}}));

    // 5-6-5 form of the key for 16-bit pixels: (10 & F8) << 8 | (20 & FC) << 3 | 30 >> 3.
    const uint32_t key565 = (0x08 << 8) | (0x14 << 3) | (30 >> 3);
    SyntheticBitmap bitmap16(16, {{key565, key565 + 1, key565}});
    Region region16;
    Build(region16, bitmap16.get(), key);
    EXPECT_EQ(RowRuns(region16.hRgn, 0), (Runs{{1, 2}}));
}

TEST(SkinRegionTest, OnlyExactStoredValuesMatchTheKey)
{
    // 32 bits: a non-zero fourth byte never matches.
    SyntheticBitmap alpha(32, {{0xFFFFFF, 0xFFFFFFFF, 0x01FFFFFF, 0xFFFFFF}});
    Region r32;
    Build(r32, alpha.get());
    EXPECT_EQ(RowRuns(r32.hRgn, 0), (Runs{{1, 3}}));

    // 16 bits: only 0xFFFF is white; 0x7FFF (white in 5-5-5) is not.
    SyntheticBitmap sixteen(16, {{0xFFFF, 0x7FFF, 0xFFFF, 0xFFFE}});
    Region r16;
    Build(r16, sixteen.get());
    EXPECT_EQ(RowRuns(r16.hRgn, 0), (Runs{{1, 2}, {3, 4}}));

    // 8 bits: the palette entry decides, not the index.
    SyntheticBitmap indexed(8, {{3, 1, 0, 2}}, {0xFFFFFF, 0x000000, 0xFFFFFE, 0xFFFFFF});
    Region r8;
    Build(r8, indexed.get());
    EXPECT_EQ(RowRuns(r8.hRgn, 0), (Runs{{1, 2}, {3, 4}}));
}

TEST(SkinRegionTest, FullyOpaqueRowsGiveOneRectangleEachAndGrowOnce)
{
    const int height = 9;
    std::vector<std::vector<uint32_t>> rows(height, std::vector<uint32_t>(5, 0x808080));
    SyntheticBitmap bitmap(32, rows);
    Region region;
    Build(region, bitmap.get());
    EXPECT_EQ(region.info.rectCount, height);
    EXPECT_EQ(region.info.growths, 1);
    EXPECT_EQ(region.info.capacity, height + 40);
    RECT box{};
    EXPECT_EQ(::GetRgnBox(region.hRgn, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, height);
}

TEST(SkinRegionTest, ManyRunsGrowTheBlockInStepsOfForty)
{
    std::vector<std::vector<uint32_t>> rows(2, std::vector<uint32_t>(100));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 100; ++x)
            rows[y][x] = ((x + y) % 2) ? 0x000000 : 0xFFFFFF;
    SyntheticBitmap bitmap(24, rows);
    Region region;
    Build(region, bitmap.get());
    EXPECT_EQ(region.info.rectCount, 100);
    EXPECT_EQ(region.info.growths, 3);  // 2 -> 42 -> 82 -> 122
    EXPECT_EQ(region.info.capacity, 122);
    Runs row0 = RowRuns(region.hRgn, 0);
    ASSERT_EQ(row0.size(), 50u);
    EXPECT_EQ(row0.front(), Span(1, 2));
    EXPECT_EQ(row0.back(), Span(99, 100));
    EXPECT_EQ(RowRuns(region.hRgn, 1).front(), Span(0, 1));
}

TEST(SkinRegionTest, AllKeyGivesAnEmptyRegionWithoutGrowth)
{
    std::vector<std::vector<uint32_t>> rows(4, std::vector<uint32_t>(6, 0xFFFFFF));
    SyntheticBitmap bitmap(32, rows);
    Region region;
    Build(region, bitmap.get());
    ASSERT_NE(region.hRgn, nullptr);
    EXPECT_EQ(region.info.rectCount, 0);
    EXPECT_EQ(region.info.growths, 0);
    EXPECT_EQ(region.info.capacity, 4);
    RECT box{};
    EXPECT_EQ(::GetRgnBox(region.hRgn, &box), NULLREGION);
}

TEST(SkinRegionTest, DepthsBelowEightBitsGiveAnEmptyRegion)
{
    // Opaque-looking pixels everywhere; the colour tables must fit the header block.
    for (int bitCount : {1, 4}) {
        SCOPED_TRACE("bit count " + std::to_string(bitCount));
        std::vector<uint32_t> palette(size_t(1) << bitCount, 0x000000);
        palette[0] = 0xFFFFFF;
        std::vector<std::vector<uint32_t>> rows(5, std::vector<uint32_t>(11, 1));
        SyntheticBitmap bitmap(bitCount, rows, palette);
        ASSERT_NE(bitmap.get(), nullptr);
        Region region;
        Build(region, bitmap.get());
        ASSERT_NE(region.hRgn, nullptr);
        EXPECT_EQ(region.info.bitCount, bitCount);
        EXPECT_EQ(region.info.width, 11);
        EXPECT_EQ(region.info.height, 5);
        EXPECT_EQ(region.info.rectCount, 0);
        RECT box{};
        EXPECT_EQ(::GetRgnBox(region.hRgn, &box), NULLREGION);
    }
}

TEST(SkinRegionTest, NoBitmapGivesZeroSizeAndAnEmptyRegion)
{
    Region none;
    Build(none, nullptr);
    ASSERT_NE(none.hRgn, nullptr);
    EXPECT_EQ(none.info.width, 0);
    EXPECT_EQ(none.info.height, 0);
    RECT box{};
    EXPECT_EQ(::GetRgnBox(none.hRgn, &box), NULLREGION);

    // A handle that was already deleted reads as no bitmap.
    HBITMAP stale;
    {
        SyntheticBitmap bitmap(32, {{0x000000}});
        stale = bitmap.get();
    }
    Region gone;
    Build(gone, stale);
    ASSERT_NE(gone.hRgn, nullptr);
    EXPECT_EQ(gone.info.rectCount, 0);
}

TEST(SkinRegionTest, ScreenCompatibleBitmapIsReadInTheScreensDepth)
{
    HDC screen = ::GetDC(nullptr);
    HBITMAP ddb = ::CreateCompatibleBitmap(screen, 21, 3);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, ddb);
    RECT all{0, 0, 21, 3};
    ::FillRect(mem, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    RECT dark{5, 1, 9, 2};
    ::FillRect(mem, &dark, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    Region region;
    Build(region, ddb);
    EXPECT_EQ(region.info.bitCount, ::GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_EQ(RowRuns(region.hRgn, 0), Runs{});
    EXPECT_EQ(RowRuns(region.hRgn, 1), (Runs{{5, 9}}));
    EXPECT_EQ(region.info.rectCount, 1);
    ::DeleteObject(ddb);
    ::ReleaseDC(nullptr, screen);
}

// The panel's skin as the program loads it at the prefix's display scale.
class PanelSkinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        skin = LoadScaledBitmap(IDB_SKIN, dpi);
        ASSERT_NE(skin, nullptr) << "skin bitmap 146 missing from the resources";
        Build(region, skin);
    }
    void TearDown() override
    {
        if (skin != nullptr)
            ::DeleteObject(skin);
    }
    const UINT dpi = testscale::Dpi();
    HBITMAP skin = nullptr;
    Region region;
};

TEST_F(PanelSkinTest, FitsInOneRectanglePerRowWithoutGrowing)
{
    EXPECT_EQ(region.info.width, testscale::At(600, dpi));
    EXPECT_EQ(region.info.height, testscale::At(350, dpi));
    if (dpi == 96)
        EXPECT_EQ(region.info.rectCount, 346);
    EXPECT_EQ(region.info.capacity, region.info.height);
    EXPECT_EQ(region.info.growths, 0);
}

// Row by row at 100 %. At another scale each 100 % row is checked at the middle of the band it
// becomes, where its neighbours agree with it (an edge row may blend into the next band), and
// the runs' ends within a pixel of the scaled ones.
TEST_F(PanelSkinTest, OutlineRowByRow)
{
    const auto runsAt100 = [](int y) -> size_t {
        if (y <= 7 || y >= 343)
            return 0;
        if (y == 10 || (y >= 333 && y <= 342))
            return 2;
        return 1;
    };
    for (int y = 0; y < 350; ++y) {
        const bool interior = (y == 0 || runsAt100(y - 1) == runsAt100(y)) && (y == 349 || runsAt100(y + 1) == runsAt100(y));
        if (dpi != 96 && !interior)
            continue;
        const int row = static_cast<int>((y + 0.5) * dpi / 96);
        EXPECT_EQ(RowRuns(region.hRgn, row).size(), runsAt100(y)) << "row " << y << " at " << row;
    }
    const auto expectRuns = [&](int y, const Runs& at100) {
        const Runs runs = RowRuns(region.hRgn, testscale::At(y, dpi));
        ASSERT_EQ(runs.size(), at100.size()) << "row " << y;
        const int tolerance = dpi == 96 ? 0 : 1;
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_NEAR(runs[i].first, testscale::At(at100[i].first, dpi), tolerance) << "row " << y;
            EXPECT_NEAR(runs[i].second, testscale::At(at100[i].second, dpi), tolerance) << "row " << y;
        }
    };
    expectRuns(100, {{8, 592}});
    expectRuns(340, {{50, 165}, {435, 550}});
}

}  // namespace
