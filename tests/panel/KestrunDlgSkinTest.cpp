// The panel dialog's skin set-up on a plain window: size, region, the skin context and the
// background it paints, at the prefix's display scale. The dialog object is built without its
// template window.
#include <gtest/gtest.h>

#include <memory>

#include "TestWindows.h"
#include "panel/KestrunDlg.h"
#include "panel/SkinRegion.h"
#include "tests/support/TestScale.h"

namespace {

class ShapedWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<TestParentWindow>(415, 204, RGB(255, 0, 255));
        ::SetWindowPos(parent->hwnd(), nullptr, 30, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(dlg.Attach(parent->hwnd()));
        dlg.m_dpi = dpi;  // as the start-up takes it from the window
    }
    void TearDown() override
    {
        dlg.Detach();
        ::DestroyWindow(parent->hwnd());
        parent.reset();
    }
    COLORREF SkinPixel(int x, int y) { return ::GetPixel(dlg.m_skinDC, x, y); }
    // A point of the 100 % skin, at the prefix's scale.
    POINT At(POINT pt) const { return {testscale::At(pt.x, dpi), testscale::At(pt.y, dpi)}; }

    std::unique_ptr<TestParentWindow> parent;
    CKestrunDlg dlg;
    const UINT dpi = testscale::Dpi();
};

TEST_F(ShapedWindowTest, ApplySkinSizesAndShapesTheWindow)
{
    dlg.ApplySkin();
    // The 100 % size times the scale, within a pixel.
    EXPECT_NEAR(dlg.m_skinWidth, 600.0 * dpi / 96, 1.0);
    EXPECT_NEAR(dlg.m_skinHeight, 350.0 * dpi / 96, 1.0);
    RECT rc;
    ::GetWindowRect(parent->hwnd(), &rc);
    EXPECT_EQ(rc.left, 30);  // resized, not moved
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right - rc.left, dlg.m_skinWidth);
    EXPECT_EQ(rc.bottom - rc.top, dlg.m_skinHeight);

    HRGN windowRgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(::GetWindowRgn(parent->hwnd(), windowRgn), COMPLEXREGION);
    HRGN expected = BuildSkinRegionFromBitmap(dlg.m_skinBitmap, RGB(255, 255, 255));
    EXPECT_TRUE(::EqualRgn(windowRgn, expected));
    // The white surround, the gap between the feet and below them are left out; the face not.
    for (POINT pt : {POINT{0, 0}, POINT{300, 345}, POINT{300, 3}, POINT{597, 100}})
        EXPECT_FALSE(::PtInRegion(windowRgn, At(pt).x, At(pt).y)) << pt.x << "," << pt.y;
    for (POINT pt : {POINT{300, 100}, POINT{60, 340}, POINT{12, 100}})
        EXPECT_TRUE(::PtInRegion(windowRgn, At(pt).x, At(pt).y)) << pt.x << "," << pt.y;
    ::DeleteObject(expected);
    ::DeleteObject(windowRgn);

    // The skin stays selected in its context.
    EXPECT_EQ(::GetCurrentObject(dlg.m_skinDC, OBJ_BITMAP), dlg.m_skinBitmap.GetSafeHandle());

    // It is the artwork made for this scale, pixel for pixel.
    EXPECT_TRUE(testscale::HoldsArtwork(dlg.m_skinDC, IDB_SKIN, dpi));
}

TEST_F(ShapedWindowTest, EraseCopiesTheSkin)
{
    dlg.ApplySkin();
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP target = ::CreateCompatibleBitmap(screen, dlg.m_skinWidth, dlg.m_skinHeight);
    HGDIOBJ old = ::SelectObject(mem, target);
    RECT all{0, 0, dlg.m_skinWidth, dlg.m_skinHeight};
    ::FillRect(mem, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

    EXPECT_NE(dlg.OnEraseBkgnd(reinterpret_cast<WPARAM>(mem), 0), 0);
    const POINT points[] = {{0, 0}, {300, 100}, {150, 50}, {599, 349}, {60, 340}, {8, 100}, {591, 100}};
    for (POINT pt100 : points) {
        POINT pt = At(pt100);
        EXPECT_EQ(::GetPixel(mem, pt.x, pt.y), SkinPixel(pt.x, pt.y)) << pt.x << "," << pt.y;
    }
    EXPECT_NE(SkinPixel(At({300, 100}).x, At({300, 100}).y), RGB(0, 0, 0));

    ::SelectObject(mem, old);
    ::DeleteObject(target);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
}

TEST_F(ShapedWindowTest, ApplyingTheSkinAgainLeaksNothing)
{
    dlg.ApplySkin();
    long objects = CGdiObject::GetLiveObjectCount();
    long contexts = CDC::GetLiveDCCount();
    dlg.ApplySkin();
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
    EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
    EXPECT_EQ(::GetCurrentObject(dlg.m_skinDC, OBJ_BITMAP), dlg.m_skinBitmap.GetSafeHandle());
    HRGN windowRgn = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(parent->hwnd(), windowRgn), COMPLEXREGION);
    ::DeleteObject(windowRgn);
}

TEST_F(ShapedWindowTest, TheWindowShowsTheSkinAfterARepaint)
{
    dlg.ApplySkin();
    // Through the dialog's own message map this time.
    dlg.Detach();
    ASSERT_TRUE(dlg.SubclassWindow(parent->hwnd()));
    RepaintNow(parent->hwnd());
    const POINT points[] = {{300, 100}, {150, 50}, {60, 340}, {20, 200}};
    for (POINT pt100 : points) {
        POINT pt = At(pt100);
        EXPECT_EQ(ReadWindowPixel(parent->hwnd(), pt.x, pt.y), SkinPixel(pt.x, pt.y)) << pt.x << "," << pt.y;
    }
    dlg.UnsubclassWindow();
    ASSERT_TRUE(dlg.Attach(parent->hwnd()));
}

}  // namespace
