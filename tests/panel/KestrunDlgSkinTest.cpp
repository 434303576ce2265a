// The panel dialog's skin set-up on a plain window: size, region, the skin context and the
// background it paints. The dialog object is built without its template window.
#include <gtest/gtest.h>

#include <memory>

#include "TestWindows.h"
#include "panel/KestrunDlg.h"
#include "panel/SkinRegion.h"

namespace {

class ShapedWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<TestParentWindow>(415, 204, RGB(255, 0, 255));
        ::SetWindowPos(parent->hwnd(), nullptr, 30, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(dlg.Attach(parent->hwnd()));
    }
    void TearDown() override
    {
        dlg.Detach();
        ::DestroyWindow(parent->hwnd());
        parent.reset();
    }
    COLORREF SkinPixel(int x, int y) { return ::GetPixel(dlg.m_skinDC, x, y); }

    std::unique_ptr<TestParentWindow> parent;
    CKestrunDlg dlg;
};

TEST_F(ShapedWindowTest, ApplySkinSizesAndShapesTheWindow)
{
    dlg.ApplySkin();
    EXPECT_EQ(dlg.m_skinWidth, 600);
    EXPECT_EQ(dlg.m_skinHeight, 350);
    RECT rc;
    ::GetWindowRect(parent->hwnd(), &rc);
    EXPECT_EQ(rc.left, 30);  // resized, not moved
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 350);

    HRGN windowRgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(::GetWindowRgn(parent->hwnd(), windowRgn), COMPLEXREGION);
    HRGN expected = BuildSkinRegionFromBitmap(dlg.m_skinBitmap, RGB(255, 255, 255));
    EXPECT_TRUE(::EqualRgn(windowRgn, expected));
    EXPECT_FALSE(::PtInRegion(windowRgn, 0, 0));      // white surround
    EXPECT_TRUE(::PtInRegion(windowRgn, 300, 100));   // the face
    ::DeleteObject(expected);
    ::DeleteObject(windowRgn);

    // The skin stays selected in its context.
    EXPECT_EQ(::GetCurrentObject(dlg.m_skinDC, OBJ_BITMAP), dlg.m_skinBitmap.GetSafeHandle());
}

TEST_F(ShapedWindowTest, EraseCopiesTheSkin)
{
    dlg.ApplySkin();
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP target = ::CreateCompatibleBitmap(screen, 600, 350);
    HGDIOBJ old = ::SelectObject(mem, target);
    RECT all{0, 0, 600, 350};
    ::FillRect(mem, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

    EXPECT_NE(dlg.OnEraseBkgnd(reinterpret_cast<WPARAM>(mem), 0), 0);
    const POINT points[] = {{0, 0}, {300, 100}, {150, 50}, {599, 349}, {60, 340}, {8, 100}, {591, 100}};
    for (POINT pt : points)
        EXPECT_EQ(::GetPixel(mem, pt.x, pt.y), SkinPixel(pt.x, pt.y)) << pt.x << "," << pt.y;
    EXPECT_NE(SkinPixel(300, 100), RGB(0, 0, 0));

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
    for (POINT pt : points)
        EXPECT_EQ(ReadWindowPixel(parent->hwnd(), pt.x, pt.y), SkinPixel(pt.x, pt.y)) << pt.x << "," << pt.y;
    dlg.UnsubclassWindow();
    ASSERT_TRUE(dlg.Attach(parent->hwnd()));
}

}  // namespace
