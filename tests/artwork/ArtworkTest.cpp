// Checks the panel's compiled artwork the way the program meets it: through the resources linked
// into this executable, loaded with the same calls the panel makes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/AreaAverage.h"
#include "framework/Artwork.h"
#include "framework/DisplayScale.h"
#include "res/resource.h"

namespace {

constexpr COLORREF kFace = RGB(194, 192, 193);

struct GdiObjectDeleter {
    void operator()(void* h) const { if (h) DeleteObject(static_cast<HGDIOBJ>(h)); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct DcDeleter {
    void operator()(HDC dc) const { if (dc) DeleteDC(dc); }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct IconDeleter {
    void operator()(HICON h) const { if (h) DestroyIcon(h); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// GetIconInfo hands out two bitmaps that the caller owns.
struct IconInfo {
    ICONINFO info{};
    bool ok = false;
    explicit IconInfo(HICON icon) { ok = GetIconInfo(icon, &info) != FALSE; }
    ~IconInfo() {
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    IconInfo(const IconInfo&) = delete;
    IconInfo& operator=(const IconInfo&) = delete;
};

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// Top-down pixels of a bitmap in 0x00RRGGBB form (or 24-bit rows), as GetDIBits delivers them.
struct Pixels {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    int stride = 0;
    std::vector<uint8_t> bytes;

    uint32_t At(int x, int y) const {
        const uint8_t* p = bytes.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * (bitCount / 8);
        uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        if (bitCount == 32) v |= static_cast<uint32_t>(p[3]) << 24;
        return v;
    }
    COLORREF Colour(int x, int y) const {
        uint32_t v = At(x, y);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
};

Pixels ReadPixels(HBITMAP bmp, int bitCount) {
    Pixels px;
    BITMAP info{};
    if (GetObjectA(bmp, sizeof(info), &info) != sizeof(info)) return px;
    px.width = info.bmWidth;
    px.height = info.bmHeight;
    px.bitCount = bitCount;
    px.stride = ((px.width * bitCount + 31) / 32) * 4;
    px.bytes.assign(static_cast<size_t>(px.stride) * px.height, 0);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = px.width;
    bi.bmiHeader.biHeight = -px.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    bi.bmiHeader.biCompression = BI_RGB;
    UniqueDc dc(CreateCompatibleDC(nullptr));
    if (GetDIBits(dc.get(), bmp, 0, px.height, px.bytes.data(), &bi, DIB_RGB_COLORS) != px.height) px.bytes.clear();
    return px;
}

Pixels LoadPixels(int id, int bitCount = 32, UINT dpi = 96) {
    UniqueBitmap bmp(dpi == 96 ? LoadBitmapA(Module(), MAKEINTRESOURCEA(id)) : LoadScaledBitmap(id, dpi));
    if (!bmp) return {};
    return ReadPixels(bmp.get(), bitCount);
}

struct PixelRun {
    int left;
    int right;
    bool operator==(const PixelRun& o) const { return left == o.left && right == o.right; }
};

void PrintTo(const PixelRun& r, std::ostream* os) { *os << "[" << r.left << "," << r.right << ")"; }

// One run per horizontal stretch of non-white pixels, right edge exclusive: the window region.
std::vector<std::vector<PixelRun>> OpaqueRuns(const Pixels& px) {
    std::vector<std::vector<PixelRun>> rows(px.height);
    for (int y = 0; y < px.height; ++y) {
        int start = -1;
        for (int x = 0; x < px.width; ++x) {
            bool opaque = (px.At(x, y) & 0xFFFFFF) != 0xFFFFFF;
            if (opaque && start < 0) start = x;
            if (!opaque && start >= 0) {
                rows[y].push_back({start, x});
                start = -1;
            }
        }
        if (start >= 0) rows[y].push_back({start, px.width});
    }
    return rows;
}

// Raw resource bytes as the compiler stored them.
std::pair<const uint8_t*, DWORD> ResourceBytes(int id, LPCSTR type) {
    HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(id), type);
    if (!found) return {nullptr, 0};
    HGLOBAL loaded = LoadResource(Module(), found);
    return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(Module(), found)};
}

struct BitmapCase {
    int id;
    int width;
    int height;
};

const BitmapCase kBitmaps[] = {
    {IDB_SKIN, 600, 350},
    {IDB_DEPTH_16, 46, 38}, {IDB_DEPTH_16_SEL, 46, 38}, {IDB_DEPTH_24, 46, 38}, {IDB_DEPTH_24_SEL, 46, 38},
    {IDB_DEPTH_32, 46, 38}, {IDB_DEPTH_32_SEL, 46, 38},
    {IDB_RATE_44K1, 46, 47}, {IDB_RATE_44K1_SEL, 46, 47}, {IDB_RATE_48K, 46, 47}, {IDB_RATE_48K_SEL, 46, 47},
    {IDB_RATE_88K2, 46, 47}, {IDB_RATE_88K2_SEL, 46, 47}, {IDB_RATE_96K, 46, 47}, {IDB_RATE_96K_SEL, 46, 47},
    {IDB_RATE_176K4, 46, 47}, {IDB_RATE_176K4_SEL, 46, 47}, {IDB_RATE_192K, 46, 47}, {IDB_RATE_192K_SEL, 46, 47},
    {IDB_POWER, 51, 29}, {IDB_POWER_SEL, 51, 29},
    {IDB_OUTPUT_SPDIF, 51, 41}, {IDB_OUTPUT_SPDIF_SEL, 51, 41},
    {IDB_OUTPUT_SPEAKER, 51, 41}, {IDB_OUTPUT_SPEAKER_SEL, 51, 41},
    {IDB_MUTE_OFF, 47, 48}, {IDB_MUTE_ON, 47, 48},
    {IDB_LINK_OFF, 33, 33}, {IDB_LINK_ON, 33, 33},
    {IDB_SLIDER_LEFT_SPAN, 50, 208}, {IDB_SLIDER_LEFT_CHANNEL, 50, 208},
    {IDB_SLIDER_RIGHT_SPAN, 50, 208}, {IDB_SLIDER_RIGHT_CHANNEL, 50, 208},
};

// Each picture belongs to one control: its normal (off, or empty-wedge) image, its lit (on, or
// filled-wedge) image, and where template 102 puts the control on the skin, in pixels. The
// positions follow from one dialog unit = 3/2 px across and 13/8 px down (base units 6 x 13).
struct ControlArt {
    int control;
    int normal;
    int lit;
    int x;
    int y;
};

const ControlArt kKeys[] = {
    {1008, IDB_DEPTH_16, IDB_DEPTH_16_SEL, 143, 229},
    {1009, IDB_DEPTH_24, IDB_DEPTH_24_SEL, 195, 229},
    {1014, IDB_DEPTH_32, IDB_DEPTH_32_SEL, 248, 229},
    {1002, IDB_RATE_44K1, IDB_RATE_44K1_SEL, 143, 268},
    {1003, IDB_RATE_48K, IDB_RATE_48K_SEL, 191, 268},
    {1004, IDB_RATE_88K2, IDB_RATE_88K2_SEL, 239, 268},
    {1005, IDB_RATE_96K, IDB_RATE_96K_SEL, 287, 268},
    {1006, IDB_RATE_176K4, IDB_RATE_176K4_SEL, 335, 268},
    {1007, IDB_RATE_192K, IDB_RATE_192K_SEL, 383, 268},
    {1015, IDB_POWER, IDB_POWER_SEL, 53, 50},
    {1024, IDB_OUTPUT_SPDIF, IDB_OUTPUT_SPDIF_SEL, 54, 117},
    {1026, IDB_OUTPUT_SPEAKER, IDB_OUTPUT_SPEAKER_SEL, 54, 164},
    {1020, IDB_MUTE_OFF, IDB_MUTE_ON, 527, 265},
    {1023, IDB_LINK_OFF, IDB_LINK_ON, 494, 276},
};

const ControlArt kSliders[] = {
    {1021, IDB_SLIDER_LEFT_SPAN, IDB_SLIDER_LEFT_CHANNEL, 455, 52},
    {1022, IDB_SLIDER_RIGHT_SPAN, IDB_SLIDER_RIGHT_CHANNEL, 516, 52},
};

TEST(ArtworkBitmaps, EveryBitmapIsAnUncompressedBottomUp24BitImageOfItsControlsSize) {
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(c.id));
        auto [data, size] = ResourceBytes(c.id, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
        ASSERT_NE(data, nullptr);
        ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, data, sizeof(header));
        EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(header.biWidth, c.width);
        EXPECT_EQ(header.biHeight, c.height);  // positive: bottom-up rows
        EXPECT_EQ(header.biBitCount, 24);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        const DWORD stride = ((c.width * 24 + 31) / 32) * 4;
        EXPECT_GE(size, sizeof(BITMAPINFOHEADER) + stride * c.height);

        UniqueBitmap bmp(LoadBitmapA(Module(), MAKEINTRESOURCEA(c.id)));
        ASSERT_TRUE(bmp);
        BITMAP info{};
        ASSERT_EQ(GetObjectA(bmp.get(), sizeof(info), &info), static_cast<int>(sizeof(info)));
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
    }
}

// Every bitmap at a display scale: the 100 % size scaled and rounded, made once by the loader (from
// the artwork carried for that scale, else from the next larger); at 96 DPI the resource itself.
class AnyScale : public ::testing::TestWithParam<UINT> {};

TEST_P(AnyScale, EveryBitmapHasItsControlsScaledSize) {
    const UINT dpi = GetParam();
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(c.id));
        UniqueBitmap bmp(LoadScaledBitmap(c.id, dpi));
        ASSERT_TRUE(bmp);
        Pixels px = ReadPixels(bmp.get(), 32);
        EXPECT_EQ(px.width, ScaleLength(c.width, dpi));
        EXPECT_EQ(px.height, ScaleLength(c.height, dpi));
        if (dpi == 96) {
            EXPECT_EQ(px.bytes, LoadPixels(c.id).bytes);
        }
    }
}

// The see-through white is scaled on its own: the outline stays where the scaled geometry puts it,
// and no pixel along it is a blend of the white surround (the lightest colour the artwork draws at
// its edge is the 240 rim).
TEST_P(AnyScale, SkinOutlineHasNoNearWhiteFringeAndKeepsItsShape) {
    const UINT dpi = GetParam();
    Pixels px = LoadPixels(IDB_SKIN, 32, dpi);
    ASSERT_FALSE(px.bytes.empty());
    auto white = [&](int x, int y) { return (px.At(x, y) & 0xFFFFFF) == 0xFFFFFF; };
    int edge = 0;
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x) {
            if (white(x, y)) continue;
            bool nextToWhite = (x > 0 && white(x - 1, y)) || (x + 1 < px.width && white(x + 1, y)) ||
                               (y > 0 && white(x, y - 1)) || (y + 1 < px.height && white(x, y + 1));
            if (!nextToWhite) continue;
            ++edge;
            COLORREF c = px.Colour(x, y);
            ASSERT_LE(std::max({GetRValue(c), GetGValue(c), GetBValue(c)}), 240) << "edge pixel " << x << "," << y;
        }
    EXPECT_GT(edge, 2 * px.width);
    auto rows = OpaqueRuns(px);
    auto within1 = [](int a, int b) { return std::abs(a - b) <= 1; };
    const int middle = ScaleLength(100, dpi);
    ASSERT_EQ(rows[middle].size(), 1u);
    EXPECT_PRED2(within1, rows[middle][0].left, ScaleLength(8, dpi));
    EXPECT_PRED2(within1, rows[middle][0].right, ScaleLength(592, dpi));
    for (int y = 0; y + 1 < ScaleLength(8, dpi); ++y) EXPECT_TRUE(rows[y].empty()) << "row " << y;
    EXPECT_EQ(rows[ScaleLength(340, dpi)].size(), 2u) << "the feet";
    bool slot = false;
    for (int y = ScaleLength(10, dpi) - 1; y <= ScaleLength(11, dpi); ++y) slot = slot || rows[y].size() == 2;
    EXPECT_TRUE(slot) << "the slot on the top edge";
}

INSTANTIATE_TEST_SUITE_P(Dpi, AnyScale, ::testing::Values(96u, 106u, 120u, 144u, 168u, 192u, 216u, 240u, 288u));

TEST(ArtworkScale, ScalesBetweenTheCarriedOnesComeFromTheNextLargerThroughTheFilter) {
    const struct { UINT dpi; UINT carried; UINT carriedDpi; } rows[] = {
        {72, 100, 96}, {96, 100, 96}, {106, 200, 192}, {144, 200, 192}, {192, 200, 192},
        {193, 300, 288}, {216, 300, 288}, {288, 300, 288}, {384, 300, 288},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE("dpi " + std::to_string(r.dpi));
        EXPECT_EQ(ArtworkScaleForDpi(r.dpi), r.carried);
        if (r.dpi == r.carriedDpi) continue;
        for (int id : {IDB_SKIN, IDB_RATE_96K_SEL}) {
            Pixels made = LoadPixels(id, 32, r.dpi), source = LoadPixels(id, 32, r.carriedDpi);
            ASSERT_FALSE(made.bytes.empty());
            ASSERT_FALSE(source.bytes.empty());
            RgbaImage from{source.width, source.height, {}};
            for (int y = 0; y < source.height; ++y)
                for (int x = 0; x < source.width; ++x) {
                    COLORREF c = source.Colour(x, y);
                    from.rgba.insert(from.rgba.end(), {GetRValue(c), GetGValue(c), GetBValue(c), 255});
                }
            RgbaImage want = AreaAverageKeyed(from, made.width, made.height);
            int differing = 0;
            for (int y = 0; y < made.height; ++y)
                for (int x = 0; x < made.width; ++x)
                    differing += made.Colour(x, y) != RGB(want.At(x, y)[0], want.At(x, y)[1], want.At(x, y)[2]);
            EXPECT_EQ(differing, 0) << "bitmap " << id;
        }
    }
}

// The skin's outline decides the window region; both deliveries the panel can meet must agree.
class SkinRegion : public ::testing::TestWithParam<int> {};

TEST_P(SkinRegion, OutlineGivesTheFaceTheFeetAndTheSlot) {
    Pixels px = LoadPixels(IDB_SKIN, GetParam());
    ASSERT_EQ(px.width, 600);
    ASSERT_EQ(px.height, 350);
    ASSERT_FALSE(px.bytes.empty());
    auto rows = OpaqueRuns(px);

    size_t total = 0;
    for (int y = 0; y < 350; ++y) {
        SCOPED_TRACE("row " + std::to_string(y));
        size_t want = 1;
        if (y < 8 || y >= 343) want = 0;
        else if (y == 10 || y >= 333) want = 2;
        EXPECT_EQ(rows[y].size(), want);
        total += rows[y].size();
    }
    EXPECT_EQ(total, 346u);  // fits the region builder's first allocation of one per row
    EXPECT_EQ(rows[340], (std::vector<PixelRun>{{50, 165}, {435, 550}}));
    EXPECT_EQ(rows[100], (std::vector<PixelRun>{{8, 592}}));
    // the face rows are one solid run between the rounded corners
    for (int y = 30; y < 320; ++y) EXPECT_EQ(rows[y], (std::vector<PixelRun>{{8, 592}})) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Delivery, SkinRegion, ::testing::Values(24, 32));

TEST(ArtworkSkin, DisplayWindowIsPaleBlueAndTheFaceLightGrey) {
    Pixels px = LoadPixels(IDB_SKIN);
    ASSERT_FALSE(px.bytes.empty());
    // Inside the display, clear of the printed product name.
    COLORREF glass = px.Colour(286, 100);
    EXPECT_GT(GetBValue(glass), 240);
    EXPECT_GT(GetBValue(glass), GetRValue(glass) + 20);
    // Plain face between the display and the sliders.
    COLORREF face = px.Colour(440, 150);
    EXPECT_NEAR(GetRValue(face), 194, 14);
    EXPECT_NEAR(GetGValue(face), 192, 14);
    EXPECT_NEAR(GetBValue(face), 193, 14);
}

bool NearFace(COLORREF c) {
    return std::abs(GetRValue(c) - 194) <= 16 && std::abs(GetGValue(c) - 192) <= 16 &&
           std::abs(GetBValue(c) - 193) <= 16;
}

// The scales the program carries artwork for: each picture is drawn for its control's place there
// (place and size of the 100 % rectangle scaled and rounded).
class CarriedScale : public ::testing::TestWithParam<UINT> {};

// The corners show the skin's own face pixels, so a key sits on the face without a visible box.
TEST_P(CarriedScale, KeyCornersContinueTheSkinUnderTheKey) {
    const UINT dpi = GetParam();
    Pixels skin = LoadPixels(IDB_SKIN, 32, dpi);
    ASSERT_FALSE(skin.bytes.empty());
    for (const ControlArt& k : kKeys) {
        for (int id : {k.normal, k.lit}) {
            SCOPED_TRACE("bitmap " + std::to_string(id));
            Pixels px = LoadPixels(id, 32, dpi);
            ASSERT_FALSE(px.bytes.empty());
            const int w = px.width - 1, h = px.height - 1;
            const int x = ScaleLength(k.x, dpi), y = ScaleLength(k.y, dpi);
            for (POINT c : {POINT{0, 0}, POINT{w, 0}, POINT{0, h}, POINT{w, h}}) {
                EXPECT_TRUE(NearFace(px.Colour(c.x, c.y))) << "corner " << c.x << "," << c.y;
                EXPECT_EQ(px.Colour(c.x, c.y), skin.Colour(x + c.x, y + c.y)) << "corner " << c.x << "," << c.y;
            }
        }
    }
}

// Mean of blue minus red over the middle third: the lit images must read clearly as blue keys.
double Blueness(const Pixels& px) {
    double sum = 0;
    int n = 0;
    for (int y = px.height / 3; y < 2 * px.height / 3; ++y)
        for (int x = px.width / 3; x < 2 * px.width / 3; ++x, ++n) {
            COLORREF c = px.Colour(x, y);
            sum += static_cast<int>(GetBValue(c)) - static_cast<int>(GetRValue(c));
        }
    return n ? sum / n : 0;
}

TEST(ArtworkKeys, LitImageIsBlueAndTheNormalOneIsNot) {
    for (const ControlArt& k : kKeys) {
        SCOPED_TRACE("control " + std::to_string(k.control));
        Pixels off = LoadPixels(k.normal), on = LoadPixels(k.lit);
        ASSERT_FALSE(off.bytes.empty());
        ASSERT_FALSE(on.bytes.empty());
        EXPECT_LT(Blueness(off), 30.0);
        EXPECT_GT(Blueness(on), 80.0);
    }
}

TEST_P(CarriedScale, SliderFilledWedgeGrowsTowardsTheTopAndMeetsTheEmptyOneSeamlessly) {
    const UINT dpi = GetParam();
    Pixels skin = LoadPixels(IDB_SKIN, 32, dpi);
    ASSERT_FALSE(skin.bytes.empty());
    for (const ControlArt& sl : kSliders) {
        SCOPED_TRACE("slider " + std::to_string(sl.control));
        const int slx = ScaleLength(sl.x, dpi), sly = ScaleLength(sl.y, dpi);
        Pixels span = LoadPixels(sl.normal, 32, dpi), channel = LoadPixels(sl.lit, 32, dpi);
        ASSERT_EQ(span.width, channel.width);
        ASSERT_EQ(span.height, channel.height);
        ASSERT_FALSE(span.bytes.empty());
        ASSERT_FALSE(channel.bytes.empty());

        std::vector<int> differing(channel.height, 0);
        for (int y = 0; y < channel.height; ++y) {
            // Outside the wedge both images are the skin itself, so neither the boundary between
            // them nor the control's edge shows a seam.
            for (int x : {0, channel.width - 1}) {
                EXPECT_EQ(span.Colour(x, y), skin.Colour(slx + x, sly + y)) << x << "," << y;
                EXPECT_EQ(channel.Colour(x, y), skin.Colour(slx + x, sly + y)) << x << "," << y;
            }
            for (int x = 0; x < channel.width; ++x)
                if (span.At(x, y) != channel.At(x, y)) ++differing[y];
        }
        // Every level along the track shows: no band of four rows (at 100 %) without filled pixels.
        const int bandRows = ScaleLength(4, dpi);
        for (int y = 0; y + bandRows <= channel.height; ++y) {
            int band = 0;
            for (int r = y; r < y + bandRows; ++r) band += differing[r];
            EXPECT_GT(band, 0) << "rows " << y << ".." << y + bandRows - 1;
        }
        auto sum = [&](int from, int to) {
            int s = 0;
            for (int y = from; y < to; ++y) s += differing[y];
            return s;
        };
        // Full level is at the top of the slider, silence at the bottom.
        const int ends = ScaleLength(20, dpi);
        EXPECT_GT(sum(0, ends), 3 * sum(channel.height - ends, channel.height));
        // The filled wedge is the coloured one.
        EXPECT_GT(Blueness(channel), Blueness(span) + 30.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, CarriedScale, ::testing::Values(96u, 192u, 288u));

// Draws an icon or cursor on a plain background and reads the pixels back.
Pixels DrawOn(HICON icon, int size, COLORREF background) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap target(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueDc dc(CreateCompatibleDC(nullptr));
    if (!target || !dc) return {};
    HGDIOBJ old = SelectObject(dc.get(), target.get());
    RECT all{0, 0, size, size};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc.get(), &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc.get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    SelectObject(dc.get(), old);
    return ReadPixels(target.get(), 32);
}

// Each image of an icon or cursor group: its size and its resource number.
struct GroupImage {
    int width;
    int imageId;
};

std::vector<GroupImage> GroupImages(int id, int groupType, bool icon) {
    std::vector<GroupImage> out;
    auto [dir, dirSize] = ResourceBytes(id, MAKEINTRESOURCEA(groupType));
    if (dir == nullptr || dirSize < 6) return out;
    const int count = dir[4] | (dir[5] << 8);
    for (int i = 0; i < count && 6u + 14u * (i + 1) <= dirSize; ++i) {
        const uint8_t* e = dir + 6 + 14 * i;
        const int width = icon ? (e[0] == 0 ? 256 : e[0]) : (e[0] | (e[1] << 8));
        out.push_back({width, e[12] | (e[13] << 8)});
    }
    return out;
}

void ExpectTransparentCornerAndOpaqueBody(HICON icon, int n) {
    for (COLORREF bg : {RGB(255, 0, 255), RGB(0, 0, 0)}) {
        Pixels px = DrawOn(icon, n, bg);
        ASSERT_FALSE(px.bytes.empty());
        EXPECT_EQ(px.Colour(0, 0), bg);            // transparent corner
        EXPECT_NE(px.Colour(n / 2, n / 2), bg);  // opaque body
    }
}

TEST(ArtworkIcon, ProgramIconHoldsEveryTraySizeAsATrueColourImageWithATransparentSurround) {
    const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    std::vector<GroupImage> images = GroupImages(IDR_MAINFRAME, 14 /* RT_GROUP_ICON */, true);
    ASSERT_EQ(images.size(), std::size(sizes));
    for (size_t i = 0; i < images.size(); ++i) {
        const int n = sizes[i];
        SCOPED_TRACE("icon image " + std::to_string(n));
        EXPECT_EQ(images[i].width, n);
        auto [image, imageSize] = ResourceBytes(images[i].imageId, MAKEINTRESOURCEA(3) /* RT_ICON */);
        ASSERT_NE(image, nullptr);
        ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER));
        if (n == 256) {
            EXPECT_EQ(std::memcmp(image, "\x89PNG", 4), 0);  // stored as Windows stores that size
        } else {
            BITMAPINFOHEADER header;
            std::memcpy(&header, image, sizeof(header));
            EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));  // a classic image, not PNG
            EXPECT_EQ(header.biWidth, n);
            EXPECT_EQ(header.biHeight, 2 * n);  // colour rows and AND-mask rows
            EXPECT_EQ(header.biBitCount, 32);
            EXPECT_EQ(imageSize, sizeof(BITMAPINFOHEADER) + n * n * 4u + n * ((n + 31) / 32 * 4u));
        }

        UniqueIcon icon(static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, n, n, 0)));
        ASSERT_TRUE(icon);
        ExpectTransparentCornerAndOpaqueBody(icon.get(), n);
    }
}

TEST(ArtworkCursor, HandCursorIs16ColoursWithItsHotSpotOnTheFingertipAtEverySize) {
    const int sizes[] = {32, 48, 64};
    std::vector<GroupImage> images = GroupImages(IDC_HAND_CURSOR, 12 /* RT_GROUP_CURSOR */, false);
    ASSERT_EQ(images.size(), std::size(sizes));
    for (size_t i = 0; i < images.size(); ++i) {
        const int n = sizes[i];
        SCOPED_TRACE("cursor image " + std::to_string(n));
        EXPECT_EQ(images[i].width, n);
        auto [image, imageSize] = ResourceBytes(images[i].imageId, MAKEINTRESOURCEA(1) /* RT_CURSOR */);
        ASSERT_NE(image, nullptr);
        ASSERT_GE(imageSize, 4 + sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(image[0] | (image[1] << 8), 6 * n / 32);  // hot spot x, scaled from (6, 0) at 32 px
        EXPECT_EQ(image[2] | (image[3] << 8), 0);           // hot spot y
        BITMAPINFOHEADER header;
        std::memcpy(&header, image + 4, sizeof(header));
        EXPECT_EQ(header.biWidth, n);
        EXPECT_EQ(header.biHeight, 2 * n);
        EXPECT_EQ(header.biBitCount, 4);
    }

    HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));  // shared: never destroyed
    ASSERT_NE(cursor, nullptr);
    IconInfo info(cursor);
    ASSERT_TRUE(info.ok);
    EXPECT_FALSE(info.info.fIcon);
    EXPECT_EQ(info.info.xHotspot, 6u);
    EXPECT_EQ(info.info.yHotspot, 0u);
    // An opaque pixel keeps its colour whatever lies under it; a transparent one shows the background.
    for (COLORREF bg : {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 160, 80)}) {
        SCOPED_TRACE("background " + std::to_string(bg));
        Pixels px = DrawOn(cursor, 32, bg);
        ASSERT_FALSE(px.bytes.empty());
        EXPECT_EQ(px.Colour(6, 0), RGB(0, 0, 0)) << "the hot spot is on the fingertip's outline";
        EXPECT_EQ(px.Colour(10, 14), RGB(255, 255, 255)) << "the palm is drawn";
        EXPECT_EQ(px.Colour(31, 31), bg) << "the surround is transparent";
        EXPECT_EQ(px.Colour(0, 0), bg);
    }
}

// The tray asks for the size the shell wants at the taskbar's scale: the file's own image where it
// has one, else one made from the next larger image (18 px at 110 % from the 20-pixel one).
TEST(ArtworkIcon, LoadScaledIconGivesEverySizeTheShellMayAskFor) {
    for (int n : {16, 18, 20, 24, 30, 32, 36, 40, 48, 56, 64, 96, 256}) {
        SCOPED_TRACE("icon " + std::to_string(n));
        UniqueIcon icon(LoadScaledIcon(IDR_MAINFRAME, n));
        ASSERT_TRUE(icon);
        IconInfo info(icon.get());
        ASSERT_TRUE(info.ok);
        BITMAP bm{};
        ASSERT_TRUE(GetObjectA(info.info.hbmColor, sizeof(bm), &bm));
        EXPECT_EQ(bm.bmWidth, n);
        EXPECT_EQ(bm.bmHeight, n);
        ExpectTransparentCornerAndOpaqueBody(icon.get(), n);
    }
}

TEST(ArtworkCursor, LoadScaledCursorScalesTheHandAndItsHotSpot) {
    const struct { UINT dpi; int size; int hotX; } rows[] = {
        {96, 32, 6}, {120, 40, 8}, {144, 48, 9}, {168, 56, 11}, {192, 64, 12}, {288, 96, 18},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE("dpi " + std::to_string(r.dpi));
        HCURSOR cursor = LoadScaledCursor(IDC_HAND_CURSOR, r.dpi);
        ASSERT_NE(cursor, nullptr);
        {
            IconInfo info(cursor);
            ASSERT_TRUE(info.ok);
            EXPECT_FALSE(info.info.fIcon);
            EXPECT_EQ(info.info.xHotspot, static_cast<DWORD>(r.hotX));
            EXPECT_EQ(info.info.yHotspot, 0u);
            for (COLORREF bg : {RGB(255, 255, 255), RGB(0, 160, 80)}) {
                Pixels px = DrawOn(cursor, r.size, bg);
                ASSERT_FALSE(px.bytes.empty());
                COLORREF tip = px.Colour(r.hotX, 0);
                EXPECT_LT(GetRValue(tip) + GetGValue(tip) + GetBValue(tip), 3 * 64) << "the hot spot is on the fingertip";
                EXPECT_EQ(px.Colour(r.size - 1, r.size - 1), bg) << "the surround is transparent";
            }
        }
        DestroyCursor(cursor);
    }
}

// The artwork places each control's picture where the panel dialog puts the control. The
// generator assumes one dialog unit is 3/2 px across and 13/8 px down; if the real dialog disagrees,
// the skin's captions and plain areas no longer line up with the controls (rerun the generator with
// the measured factors).
INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct DialogWindow {
    HWND hwnd;
    explicit DialogWindow(HWND h) : hwnd(h) {}
    ~DialogWindow() { if (hwnd) DestroyWindow(hwnd); }
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
};

TEST(ArtworkPlacement, ControlsLandWhereTheSkinLeavesRoomForThem) {
    DialogWindow dlg(CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_KESTRUN_DIALOG), nullptr, PlainDialogProc, 0));
    ASSERT_NE(dlg.hwnd, nullptr);
    // Base units 6 x 13 need "MS Shell Dlg" to resolve to Tahoma; Wine's copy comes with the
    // fonts-wine package, and without it Wine falls back to a wider face (base units 7 x 13) that
    // pushes the sliders and the mute indicator off the 600-pixel skin.
    RECT base{0, 0, 4, 8};
    MapDialogRect(dlg.hwnd, &base);
    char face[LF_FACESIZE] = "";
    if (HDC dc = GetDC(dlg.hwnd)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dlg.hwnd, WM_GETFONT, 0, 0)));
        GetTextFaceA(dc, sizeof(face), face);
        SelectObject(dc, old);
        ReleaseDC(dlg.hwnd, dc);
    }
    SCOPED_TRACE("dialog base units " + std::to_string(base.right) + " x " + std::to_string(base.bottom) +
                 ", font face '" + face + "'");
    EXPECT_EQ(base.right, 6);
    EXPECT_EQ(base.bottom, 13);
    std::vector<ControlArt> places(std::begin(kKeys), std::end(kKeys));
    places.insert(places.end(), std::begin(kSliders), std::end(kSliders));
    for (const ControlArt& p : places) {
        SCOPED_TRACE("control " + std::to_string(p.control));
        HWND ctl = GetDlgItem(dlg.hwnd, p.control);
        ASSERT_NE(ctl, nullptr);
        RECT r{};
        GetWindowRect(ctl, &r);
        MapWindowPoints(nullptr, dlg.hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, p.x);
        EXPECT_EQ(r.top, p.y);
    }
}

}  // namespace
