// The transparent label and the two-state bitmap static, subclassed on real windows whose
// parent reflects control-colour requests the way the panel dialog does.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "TestWindows.h"
#include "controls/Label.h"
#include "controls/MyStaticBmp.h"
#include "res/resource.h"

namespace {

constexpr COLORREF kParentColour = RGB(255, 0, 0);

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<TestParentWindow>(300, 200, kParentColour);
        // The framework's window object is what reflects WM_CTLCOLORSTATIC to the label.
        ASSERT_TRUE(parentWnd.SubclassWindow(parent->hwnd()));
        hLabel = parent->CreateStatic(1011, 0, 10, 10, 250, 40, "Control Panel Version 1.0");
        ASSERT_TRUE(label.SubclassWindow(hLabel));
        screenDC = ::GetDC(nullptr);
        memDC = ::CreateCompatibleDC(screenDC);
    }
    void TearDown() override
    {
        ::DeleteDC(memDC);
        ::ReleaseDC(nullptr, screenDC);
        ::DestroyWindow(parent->hwnd());
        parent.reset();
    }

    // The request exactly as the static control makes it of its parent.
    LRESULT RequestColours(CLabel& target)
    {
        return ::SendMessageA(parent->hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(memDC),
                              reinterpret_cast<LPARAM>(target.m_hWnd));
    }

    std::unique_ptr<TestParentWindow> parent;
    CWnd parentWnd;
    HWND hLabel = nullptr;
    CLabel label;
    HDC screenDC = nullptr;
    HDC memDC = nullptr;
};

TEST_F(LabelTest, AnswersWithNoBrushTransparentModeItsColourAndItsFont)
{
    LRESULT brush = RequestColours(label);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), ::GetStockObject(NULL_BRUSH));
    EXPECT_EQ(::GetTextColor(memDC), RGB(235, 235, 235));
    EXPECT_EQ(::GetBkMode(memDC), TRANSPARENT);
    ASSERT_NE(label.m_font.GetSafeHandle(), nullptr);
    EXPECT_EQ(::GetCurrentObject(memDC, OBJ_FONT), label.m_font.GetSafeHandle());

    // Asked by its English name through the wide call, so that the name reaches the font
    // mapper intact on every code page (this test runs on 1252).
    LOGFONTW lf{};
    ASSERT_NE(::GetObjectW(label.m_font.GetSafeHandle(), sizeof(lf), &lf), 0);
    EXPECT_STREQ(lf.lfFaceName, L"Microsoft YaHei");
    // 9.8 points on the screen.
    EXPECT_EQ(lf.lfHeight, -::MulDiv(::GetDeviceCaps(screenDC, LOGPIXELSY), 98, 720));
}

TEST_F(LabelTest, NewColourAppliesFromTheNextRequestWithoutRepainting)
{
    RequestColours(label);
    ::UpdateWindow(hLabel);
    label.SetTextColor(0xC89600);
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(hLabel, &update, FALSE));
    RequestColours(label);
    EXPECT_EQ(::GetTextColor(memDC), static_cast<COLORREF>(0xC89600));
}

TEST_F(LabelTest, OneFontPerLabelHoweverOftenItPaints)
{
    RequestColours(label);
    HGDIOBJ font = label.m_font.GetSafeHandle();
    long objects = CGdiObject::GetLiveObjectCount();
    for (int i = 0; i < 200; ++i) {
        RequestColours(label);
        ASSERT_EQ(::GetCurrentObject(memDC, OBJ_FONT), font) << "request " << i;
    }
    for (int i = 0; i < 50; ++i)
        RepaintNow(parent->hwnd());
    EXPECT_EQ(label.m_font.GetSafeHandle(), font);
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);

    // A second label has a font of its own; destroying the label object frees it.
    {
        CLabel other;
        HWND hOther = parent->CreateStatic(1012, 0, 10, 60, 250, 40, "Driver Version");
        ASSERT_TRUE(other.SubclassWindow(hOther));
        RequestColours(other);
        EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects + 1);
        EXPECT_NE(other.m_font.GetSafeHandle(), font);
        ::DestroyWindow(hOther);
    }
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
}

TEST_F(LabelTest, TextIsDrawnWithoutABackground)
{
    label.SetTextColor(RGB(0, 0, 255));
    RepaintNow(parent->hwnd());
    RECT rc;
    ::GetClientRect(hLabel, &rc);
    // The blank end of the label shows the parent's background through it.
    EXPECT_EQ(ReadWindowPixel(hLabel, rc.right - 2, rc.bottom - 2), kParentColour);
    EXPECT_EQ(ReadWindowPixel(hLabel, rc.right - 2, 1), kParentColour);
    // And the text itself was drawn.
    int textPixels = 0;
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < 120; ++x)
            if (ReadWindowPixel(hLabel, x, y) != kParentColour)
                ++textPixels;
    EXPECT_GT(textPixels, 20);
}

class StaticBmpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<TestParentWindow>(200, 200, kParentColour);
        hStatic = parent->CreateStatic(IDC_LINK_INDICATOR, SS_BITMAP, 10, 10, 15, 13);
        ASSERT_TRUE(indicator.SubclassWindow(hStatic));
    }
    void TearDown() override
    {
        ::DestroyWindow(parent->hwnd());
        parent.reset();
    }
    HBITMAP Shown() const { return reinterpret_cast<HBITMAP>(::SendMessageA(hStatic, STM_GETIMAGE, IMAGE_BITMAP, 0)); }

    std::unique_ptr<TestParentWindow> parent;
    HWND hStatic = nullptr;
    CMyStaticBmp indicator;
};

TEST_F(StaticBmpTest, ShowsTheImageOfItsState)
{
    ASSERT_TRUE(indicator.SetStateBitmaps(IDB_LINK_ON, IDB_LINK_OFF, false));
    ASSERT_NE(indicator.m_onBitmap, nullptr);
    ASSERT_NE(indicator.m_offBitmap, nullptr);
    EXPECT_NE(indicator.m_onBitmap, indicator.m_offBitmap);
    EXPECT_FALSE(indicator.m_state);
    EXPECT_EQ(Shown(), indicator.m_offBitmap);

    const bool states[] = {true, false, true, true};
    for (bool state : states) {
        indicator.SetState(state);
        EXPECT_EQ(indicator.m_state, state);
        EXPECT_EQ(Shown(), state ? indicator.m_onBitmap : indicator.m_offBitmap) << "state " << state;
    }

    ASSERT_TRUE(indicator.SetStateBitmaps(IDB_MUTE_ON, IDB_MUTE_OFF, true));
    EXPECT_EQ(Shown(), indicator.m_onBitmap);
    BITMAP bm{};
    ::GetObjectA(indicator.m_onBitmap, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 47);
    EXPECT_EQ(bm.bmHeight, 48);
}

TEST_F(StaticBmpTest, ReloadingFreesThePreviousImages)
{
    indicator.SetStateBitmaps(IDB_LINK_ON, IDB_LINK_OFF, true);
    HBITMAP oldOn = indicator.m_onBitmap;
    HBITMAP oldOff = indicator.m_offBitmap;
    indicator.SetStateBitmaps(IDB_MUTE_ON, IDB_MUTE_OFF, false);
    EXPECT_EQ(::GetObjectType(oldOn), 0u);
    EXPECT_EQ(::GetObjectType(oldOff), 0u);
    EXPECT_EQ(Shown(), indicator.m_offBitmap);
}

TEST_F(StaticBmpTest, MissingImagesAreReportedAndShowNothing)
{
    EXPECT_FALSE(indicator.SetStateBitmaps(9998, 9999, true));
    EXPECT_EQ(indicator.m_onBitmap, nullptr);
    EXPECT_TRUE(indicator.m_state);
    EXPECT_EQ(Shown(), nullptr);
    indicator.SetState(false);
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_FALSE(indicator.SetStateBitmaps(IDB_LINK_ON, 9999, false));
}

TEST_F(StaticBmpTest, DestroyingTheObjectFreesBothImagesAndClearsTheControl)
{
    HBITMAP on = nullptr;
    HBITMAP off = nullptr;
    HWND hOther = parent->CreateStatic(IDC_MUTE_INDICATOR, SS_BITMAP, 50, 10, 31, 30);
    {
        CMyStaticBmp mute;
        ASSERT_TRUE(mute.SubclassWindow(hOther));
        ASSERT_TRUE(mute.SetStateBitmaps(IDB_MUTE_ON, IDB_MUTE_OFF, true));
        on = mute.m_onBitmap;
        off = mute.m_offBitmap;
        EXPECT_EQ(::GetObjectType(on), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(::GetObjectType(on), 0u);
    EXPECT_EQ(::GetObjectType(off), 0u);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(::SendMessageA(hOther, STM_GETIMAGE, IMAGE_BITMAP, 0)), nullptr);
}

}  // namespace
