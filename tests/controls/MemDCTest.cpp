// The off-screen drawing context against memory targets whose pixels the test reads directly.
#include <gtest/gtest.h>

#include <cstdint>

#include "controls/MemDC.h"

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

// A framework CDC over a 32-bit top-down DIB section filled with one colour.
class Target {
public:
    Target()
    {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = kWidth;
        bmi.bmiHeader.biHeight = -kHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<uint32_t*>(bits);
        dc.Attach(::CreateCompatibleDC(nullptr));
        m_old = ::SelectObject(dc, m_hBitmap);
        RECT all{0, 0, kWidth, kHeight};
        dc.FillSolidRect(&all, kBlue);
        ::GdiFlush();
    }
    ~Target()
    {
        ::SelectObject(dc, m_old);
        dc.DeleteDC();
        ::DeleteObject(m_hBitmap);
    }
    // Device coordinates, as COLORREF.
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        uint32_t v = m_bits[y * kWidth + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

    CDC dc;

private:
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

void Fill(CDC& dc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT rc{left, top, right, bottom};
    dc.FillSolidRect(&rc, colour);
}

struct Pixel {
    int x, y;  // device coordinates
    COLORREF colour;
};

void ExpectPixels(const Target& target, std::initializer_list<Pixel> pixels)
{
    for (const Pixel& p : pixels)
        EXPECT_EQ(target.At(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
}

TEST(MemDCTest, WithoutCopyTheUndrawnAreaShowsTheBackgroundColour)
{
    Target target;
    target.dc.SetBkColor(kRed);
    RECT area{10, 5, 30, 25};
    {
        CMemDC mem(&target.dc, &area);
        EXPECT_TRUE(mem.IsOffScreen());
        EXPECT_NE(mem.GetSafeHdc(), target.dc.GetSafeHdc());
        Fill(mem, 12, 7, 14, 9, kGreen);
        // Nothing reaches the target before the end.
        ExpectPixels(target, {{12, 7, kBlue}, {20, 20, kBlue}});
    }
    ExpectPixels(target, {
        {12, 7, kGreen}, {13, 8, kGreen}, {20, 20, kRed}, {10, 5, kRed}, {29, 24, kRed},
        // Outside the rectangle the target is untouched.
        {9, 5, kBlue}, {30, 24, kBlue}, {29, 25, kBlue},
    });
}

TEST(MemDCTest, WithCopyTheUndrawnAreaKeepsWhatTheTargetShowed)
{
    Target target;
    target.dc.SetBkColor(kRed);
    Fill(target.dc, 15, 10, 16, 11, kGreen);
    RECT area{10, 5, 30, 25};
    {
        CMemDC mem(&target.dc, &area, true);
        Fill(mem, 20, 20, 21, 21, kRed);
    }
    ExpectPixels(target, {{15, 10, kGreen}, {12, 7, kBlue}, {20, 20, kRed}});
}

TEST(MemDCTest, WithoutARectangleTheTargetsClipBoxIsCovered)
{
    Target target;
    target.dc.SetBkColor(kRed);
    ::IntersectClipRect(target.dc, 5, 6, 15, 16);
    {
        CMemDC mem(&target.dc);
        const RECT& rc = mem.GetRect();
        EXPECT_EQ(rc.left, 5);
        EXPECT_EQ(rc.top, 6);
        EXPECT_EQ(rc.right, 15);
        EXPECT_EQ(rc.bottom, 16);
    }
    ::SelectClipRgn(target.dc, nullptr);
    ExpectPixels(target, {{5, 6, kRed}, {14, 15, kRed}, {15, 15, kBlue}});
}

TEST(MemDCTest, LogicalCoordinatesOfTheTargetAddressTheSamePoints)
{
    Target target;
    target.dc.SetBkColor(kRed);
    // Logical (0, 0) is device (10, 10), and one logical unit is two device pixels.
    ::SetMapMode(target.dc, MM_ANISOTROPIC);
    ::SetWindowExtEx(target.dc, 1, 1, nullptr);
    ::SetViewportExtEx(target.dc, 2, 2, nullptr);
    ::SetViewportOrgEx(target.dc, 10, 10, nullptr);
    RECT area{0, 0, 8, 8};  // device 10..26
    {
        CMemDC mem(&target.dc, &area);
        EXPECT_EQ(::GetMapMode(mem), MM_ANISOTROPIC);
        Fill(mem, 2, 3, 3, 4, kGreen);  // device 14..16, 16..18
    }
    ExpectPixels(target, {
        {14, 16, kGreen}, {15, 17, kGreen}, {16, 16, kRed}, {13, 16, kRed}, {10, 10, kRed}, {25, 25, kRed},
        {26, 26, kBlue}, {9, 9, kBlue},
    });
}

TEST(MemDCTest, OffScreenPaintsLeakNothing)
{
    Target target;
    RECT area{0, 0, kWidth, kHeight};
    long objects = CGdiObject::GetLiveObjectCount();
    long contexts = CDC::GetLiveDCCount();
    {
        CMemDC mem(&target.dc, &area);
        EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects + 1);  // the off-screen bitmap
        EXPECT_EQ(CDC::GetLiveDCCount(), contexts + 1);
        // Its own bitmap is the one selected while it is off screen.
        BITMAP bm{};
        ASSERT_NE(::GetObjectA(::GetCurrentObject(mem, OBJ_BITMAP), sizeof(bm), &bm), 0);
        EXPECT_EQ(bm.bmWidth, kWidth);
        EXPECT_EQ(bm.bmHeight, kHeight);
    }
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
    EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
}

TEST(MemDCTest, PrintingTargetIsDrawnOnDirectlyAndKeepsItsContexts)
{
    for (bool copyFirst : {false, true}) {
        Target target;
        target.dc.m_bPrinting = TRUE;
        target.dc.SetBkColor(kRed);
        HDC targetHdc = target.dc.GetSafeHdc();
        long objects = CGdiObject::GetLiveObjectCount();
        long contexts = CDC::GetLiveDCCount();
        RECT area{10, 5, 30, 25};
        {
            CMemDC mem(&target.dc, &area, copyFirst);
            EXPECT_FALSE(mem.IsOffScreen());
            EXPECT_TRUE(mem.IsPrinting());
            EXPECT_EQ(mem.GetSafeHdc(), targetHdc);
            EXPECT_EQ(mem.m_hAttribDC, target.dc.m_hAttribDC);
            EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);  // no bitmap
            EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
            // The fill (or copy) already happened on the target itself.
            EXPECT_EQ(target.At(20, 20), copyFirst ? kBlue : kRed) << "copyFirst " << copyFirst;
            Fill(mem, 12, 7, 13, 8, kGreen);
            EXPECT_EQ(target.At(12, 7), kGreen);
        }
        EXPECT_EQ(::GetObjectType(targetHdc), static_cast<DWORD>(OBJ_MEMDC));
        EXPECT_EQ(target.dc.GetSafeHdc(), targetHdc);
        EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
        EXPECT_EQ(target.At(9, 5), kBlue);
    }
}

}  // namespace
