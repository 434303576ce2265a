// Checks the panel's compiled artwork the way the program meets it: through the resources linked
// into this executable, loaded with the same calls the panel makes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

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

Pixels LoadPixels(int id, int bitCount = 32) {
    UniqueBitmap bmp(LoadBitmapA(Module(), MAKEINTRESOURCEA(id)));
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

// The corners show the skin's own face pixels, so a key sits on the face without a visible box.
TEST(ArtworkKeys, CornersContinueTheSkinUnderTheKey) {
    Pixels skin = LoadPixels(IDB_SKIN);
    ASSERT_FALSE(skin.bytes.empty());
    for (const ControlArt& k : kKeys) {
        for (int id : {k.normal, k.lit}) {
            SCOPED_TRACE("bitmap " + std::to_string(id));
            Pixels px = LoadPixels(id);
            ASSERT_FALSE(px.bytes.empty());
            const int w = px.width - 1, h = px.height - 1;
            for (POINT c : {POINT{0, 0}, POINT{w, 0}, POINT{0, h}, POINT{w, h}}) {
                EXPECT_TRUE(NearFace(px.Colour(c.x, c.y))) << "corner " << c.x << "," << c.y;
                EXPECT_EQ(px.Colour(c.x, c.y), skin.Colour(k.x + c.x, k.y + c.y)) << "corner " << c.x << "," << c.y;
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

TEST(ArtworkSliders, FilledWedgeGrowsTowardsTheTopAndMeetsTheEmptyOneSeamlessly) {
    Pixels skin = LoadPixels(IDB_SKIN);
    ASSERT_FALSE(skin.bytes.empty());
    for (const ControlArt& sl : kSliders) {
        SCOPED_TRACE("slider " + std::to_string(sl.control));
        Pixels span = LoadPixels(sl.normal), channel = LoadPixels(sl.lit);
        ASSERT_EQ(span.width, channel.width);
        ASSERT_EQ(span.height, channel.height);
        ASSERT_FALSE(span.bytes.empty());
        ASSERT_FALSE(channel.bytes.empty());

        std::vector<int> differing(channel.height, 0);
        for (int y = 0; y < channel.height; ++y) {
            // Outside the wedge both images are the skin itself, so neither the boundary between
            // them nor the control's edge shows a seam.
            for (int x : {0, channel.width - 1}) {
                EXPECT_EQ(span.Colour(x, y), skin.Colour(sl.x + x, sl.y + y)) << x << "," << y;
                EXPECT_EQ(channel.Colour(x, y), skin.Colour(sl.x + x, sl.y + y)) << x << "," << y;
            }
            for (int x = 0; x < channel.width; ++x)
                if (span.At(x, y) != channel.At(x, y)) ++differing[y];
        }
        // Every level along the track shows: no band of four rows without filled pixels.
        for (int y = 0; y + 4 <= channel.height; ++y) {
            int band = differing[y] + differing[y + 1] + differing[y + 2] + differing[y + 3];
            EXPECT_GT(band, 0) << "rows " << y << ".." << y + 3;
        }
        auto sum = [&](int from, int to) {
            int s = 0;
            for (int y = from; y < to; ++y) s += differing[y];
            return s;
        };
        // Full level is at the top of the slider, silence at the bottom.
        EXPECT_GT(sum(0, 20), 3 * sum(channel.height - 20, channel.height));
        // The filled wedge is the coloured one.
        EXPECT_GT(Blueness(channel), Blueness(span) + 30.0);
    }
}

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

TEST(ArtworkIcon, ProgramIconIsOne48PixelTrueColourImageWithATransparentSurround) {
    // The group directory names exactly one 48 x 48, 32-bpp image.
    auto [dir, dirSize] = ResourceBytes(IDR_MAINFRAME, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_NE(dir, nullptr);
    ASSERT_GE(dirSize, 6u + 14u);
    EXPECT_EQ(dir[4] | (dir[5] << 8), 1);
    EXPECT_EQ(dir[6], 48);
    EXPECT_EQ(dir[7], 48);
    EXPECT_EQ(dir[6 + 6] | (dir[6 + 7] << 8), 32);
    const int imageId = dir[6 + 12] | (dir[6 + 13] << 8);
    auto [image, imageSize] = ResourceBytes(imageId, MAKEINTRESOURCEA(3) /* RT_ICON */);
    ASSERT_NE(image, nullptr);
    ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, image, sizeof(header));
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));  // a classic image, not PNG
    EXPECT_EQ(header.biWidth, 48);
    EXPECT_EQ(header.biHeight, 96);  // colour rows and AND-mask rows
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(imageSize, sizeof(BITMAPINFOHEADER) + 48u * 48u * 4u + 48u * 8u);

    UniqueIcon icon(static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 48, 48, 0)));
    ASSERT_TRUE(icon);
    for (COLORREF bg : {RGB(255, 0, 255), RGB(0, 0, 0)}) {
        Pixels px = DrawOn(icon.get(), 48, bg);
        ASSERT_FALSE(px.bytes.empty());
        EXPECT_EQ(px.Colour(0, 0), bg);    // transparent corner
        EXPECT_NE(px.Colour(24, 24), bg);  // opaque body
    }
}

TEST(ArtworkCursor, HandCursorIs16ColoursWithItsHotSpotOnTheFingertip) {
    auto [data, size] = ResourceBytes(IDC_HAND_CURSOR, MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
    ASSERT_NE(data, nullptr);
    ASSERT_GE(size, 6u + 14u);
    EXPECT_EQ(data[4] | (data[5] << 8), 1);
    const int imageId = data[6 + 12] | (data[6 + 13] << 8);
    auto [image, imageSize] = ResourceBytes(imageId, MAKEINTRESOURCEA(1) /* RT_CURSOR */);
    ASSERT_NE(image, nullptr);
    ASSERT_GE(imageSize, 4 + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(image[0] | (image[1] << 8), 6);  // hot spot x
    EXPECT_EQ(image[2] | (image[3] << 8), 0);  // hot spot y
    BITMAPINFOHEADER header;
    std::memcpy(&header, image + 4, sizeof(header));
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64);
    EXPECT_EQ(header.biBitCount, 4);

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
