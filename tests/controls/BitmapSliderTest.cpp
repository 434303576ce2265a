// The volume slider on a real subclassed static: mappings, clamping, drags driven by real
// mouse messages (notifications checked in the parent's queue), painting and bitmap lifetime.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "TestWindows.h"
#include "controls/BitmapSlider.h"
#include "controls/SliderMessages.h"
#include "framework/Artwork.h"
#include "res/resource.h"
#include "tests/support/TestScale.h"

namespace {

constexpr int kSliderId = IDC_SLIDER_LEFT;
constexpr DWORD kSliderStyle = SS_BITMAP | SS_NOTIFY | SS_REALSIZEIMAGE;

LPARAM Point(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<TestParentWindow>(testscale::At(300, dpi), testscale::At(300, dpi), RGB(255, 0, 0),
                                                    WM_SLIDER_MOVING, WM_SLIDER_MOVED);
        hSlider = parent->CreateStatic(kSliderId, kSliderStyle, 20, 10, 33, 128);
        ASSERT_TRUE(slider.SubclassWindow(hSlider));
    }
    void TearDown() override
    {
        ::DestroyWindow(parent->hwnd());
        parent.reset();
    }

    // The panel's set-up: 50 x 208 images at 100 %, vertical, 0..100, position 20; the images
    // drawn for the prefix's scale.
    void SetUpAsPanel()
    {
        ASSERT_TRUE(slider.SetChannelBitmaps(IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN, dpi));
        slider.SetMargins(0, 0, 0, 0);
        slider.SetVertical(true);
        slider.SetRange(0, 100);
        slider.SetPos(20);
        parent->TakePosted(WM_SLIDER_MOVING, WM_SLIDER_MOVED);
    }

    void Send(UINT message, int x, int y, WPARAM keys = 0)
    {
        ::SendMessageA(hSlider, message, keys, Point(x, y));
    }

    std::vector<MSG> Posted() { return parent->TakePosted(WM_SLIDER_MOVING, WM_SLIDER_MOVED); }

    std::unique_ptr<TestParentWindow> parent;
    HWND hSlider = nullptr;
    CBitmapSlider slider;
    const UINT dpi = testscale::Dpi();
};

void ExpectPosted(const std::vector<MSG>& posted, std::initializer_list<std::pair<UINT, int>> expected)
{
    ASSERT_EQ(posted.size(), expected.size());
    size_t i = 0;
    for (const auto& [message, position] : expected) {
        EXPECT_EQ(posted[i].message, message) << "message " << i;
        EXPECT_EQ(posted[i].wParam, static_cast<WPARAM>(kSliderId)) << "message " << i;
        EXPECT_EQ(posted[i].lParam, static_cast<LPARAM>(position)) << "message " << i;
        ++i;
    }
}

TEST_F(SliderTest, LoadingTheImagesSizesTheControlToTheChannelBitmap)
{
    SetUpAsPanel();
    RECT rc;
    ::GetWindowRect(hSlider, &rc);
    EXPECT_EQ(rc.right - rc.left, testscale::At(50, dpi));
    EXPECT_EQ(rc.bottom - rc.top, testscale::At(208, dpi));
    POINT topLeft{rc.left, rc.top};
    ::ScreenToClient(parent->hwnd(), &topLeft);
    EXPECT_EQ(topLeft.x, 20);  // resized in place
    EXPECT_EQ(topLeft.y, 10);
    EXPECT_TRUE(slider.HasBitmaps());
}

// The 100 % values hold exactly at 96 DPI; at any other scale row round(r x scale) gives the
// level of row r at 100 % within one position, through the mapping and through a press.
TEST_F(SliderTest, PanelMappingsTruncateAndAreNotInverse)
{
    SetUpAsPanel();
    const int tolerance = dpi == 96 ? 0 : 1;
    const std::pair<int, int> positionToPixel[] = {{0, 0}, {20, 41}, {50, 104}, {99, 205}, {100, 208}};
    for (auto [position, pixel] : positionToPixel)
        EXPECT_NEAR(slider.PositionToPixel(position), testscale::At(pixel, dpi), tolerance) << "position " << position;
    const std::pair<int, int> pixelToPosition[] = {{207, 99}, {208, 100}, {0, 0},   {1, 0},
                                                   {2, 0},    {41, 19},   {42, 20}, {100, 48}};
    for (auto [pixel, position] : pixelToPosition) {
        const int row = testscale::At(pixel, dpi);
        EXPECT_NEAR(slider.PixelToPosition(row), position, tolerance) << "pixel " << pixel << " at row " << row;
        slider.SetPos(position == 50 ? 0 : 50);
        Send(WM_LBUTTONDOWN, 10, row, MK_LBUTTON);
        Send(WM_LBUTTONUP, 10, row);
        EXPECT_NEAR(slider.GetPos(), position, tolerance) << "press at row " << row << " for pixel " << pixel;
    }
}

TEST_F(SliderTest, MappingsDivideBeforeMultiplyingAndHonourTheNearMargin)
{
    SetUpAsPanel();
    // Track 208 - 50 - 58 = 100: 29 / 100 * 100 is 28.999... in double precision.
    slider.SetMargins(0, 50, 0, 58);
    EXPECT_EQ(slider.PositionToPixel(29), 50 + 28);
    EXPECT_EQ(slider.PixelToPosition(50 + 29), 28);
    EXPECT_EQ(slider.PositionToPixel(0), 50);
    EXPECT_EQ(slider.PositionToPixel(100), 150);
    EXPECT_EQ(slider.PixelToPosition(50), 0);

    // Horizontal: the width and the left margin count; a non-zero minimum is added back.
    slider.SetVertical(false);
    slider.SetMargins(5, 0, 5, 0);  // track 40
    slider.SetRange(10, 30);
    EXPECT_EQ(slider.PositionToPixel(20), 5 + 20);
    EXPECT_EQ(slider.PixelToPosition(25), 20);
    EXPECT_EQ(slider.PixelToPosition(5), 10);
}

TEST_F(SliderTest, DegenerateRangeOrTrackDoesNotDivideByZero)
{
    SetUpAsPanel();
    slider.SetMargins(0, 7, 0, 3);
    slider.SetRange(40, 40);
    EXPECT_EQ(slider.PositionToPixel(40), 7);
    EXPECT_EQ(slider.PositionToPixel(90), 7);
    EXPECT_EQ(slider.PixelToPosition(100), 40);

    slider.SetRange(0, 100);
    slider.SetMargins(0, 104, 0, 104);  // track 0
    EXPECT_EQ(slider.PixelToPosition(104), 0);
    slider.SetMargins(0, 150, 0, 150);  // track -92
    EXPECT_EQ(slider.PixelToPosition(10), 0);
    EXPECT_EQ(slider.PixelToPosition(300), 0);

    // A drag on such a slider still reports, within the range.
    Send(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    Send(WM_LBUTTONUP, 10, 10);
    for (const MSG& msg : Posted())
        EXPECT_EQ(msg.lParam, 0);
}

TEST_F(SliderTest, SetPosClampsMaximumFirstAndSetRangeDoesNotClamp)
{
    SetUpAsPanel();
    const std::pair<int, int> cases[] = {{150, 100}, {-5, 0}, {100, 100}, {0, 0}, {37, 37}};
    for (auto [requested, kept] : cases) {
        slider.SetPos(requested);
        EXPECT_EQ(slider.GetPos(), kept) << "requested " << requested;
    }
    slider.SetPos(20);
    slider.SetRange(50, 100);
    EXPECT_EQ(slider.GetPos(), 20);
    slider.SetPos(slider.GetPos());
    EXPECT_EQ(slider.GetPos(), 50);
    // Inverted range: the maximum is applied first, so the minimum wins.
    slider.SetRange(10, 0);
    slider.SetPos(5);
    EXPECT_EQ(slider.GetPos(), 10);
    EXPECT_TRUE(Posted().empty());  // SetPos never notifies
}

TEST_F(SliderTest, PressMovesTheBoundaryAtOnceAndTakesTheCapture)
{
    SetUpAsPanel();
    Send(WM_LBUTTONDOWN, 25, 100, MK_LBUTTON);
    EXPECT_EQ(::GetCapture(), hSlider);
    EXPECT_EQ(::GetFocus(), hSlider);
    EXPECT_TRUE(slider.IsDragging());
    EXPECT_EQ(slider.GetPos(), 48);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVING, 48}});
    // Posted, never sent: nothing reached the parent's procedure directly.
    EXPECT_TRUE(parent->Received().empty());

    Send(WM_LBUTTONUP, 25, 100);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_FALSE(slider.IsDragging());
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 48}});
}

TEST_F(SliderTest, PressOnTheBoundaryPixelPostsNothingUntilRelease)
{
    SetUpAsPanel();
    Send(WM_LBUTTONDOWN, 10, 41, MK_LBUTTON);
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(slider.GetPos(), 20);
    Send(WM_LBUTTONUP, 10, 41);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 20}});
}

TEST_F(SliderTest, MovesCompareOnPixelsAndClampToTheTrack)
{
    SetUpAsPanel();
    Send(WM_LBUTTONDOWN, 10, 41, MK_LBUTTON);  // boundary of 20: nothing
    Send(WM_MOUSEMOVE, 10, 42, MK_LBUTTON);    // new pixel, same position
    Send(WM_MOUSEMOVE, 10, 41, MK_LBUTTON);    // the boundary of 20 again: nothing
    Send(WM_MOUSEMOVE, 10, 207, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 10, 208, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 10, 500, MK_LBUTTON);   // below the control, clamped to 208: nothing
    Send(WM_MOUSEMOVE, 10, 100, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 10, -30, MK_LBUTTON);   // above the control: clamped to 0
    Send(WM_MOUSEMOVE, 10, 2, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 10, 1, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 10, 0, MK_LBUTTON);     // the boundary of 0: nothing
    ExpectPosted(Posted(), {{WM_SLIDER_MOVING, 20},
                            {WM_SLIDER_MOVING, 99},
                            {WM_SLIDER_MOVING, 100},
                            {WM_SLIDER_MOVING, 48},
                            {WM_SLIDER_MOVING, 0},
                            {WM_SLIDER_MOVING, 0},
                            {WM_SLIDER_MOVING, 0}});
    Send(WM_LBUTTONUP, 10, 0);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 0}});
}

TEST_F(SliderTest, HorizontalSliderFollowsTheXCoordinateWithinItsMargins)
{
    SetUpAsPanel();
    slider.SetVertical(false);
    slider.SetMargins(10, 0, 0, 0);  // track 40 along the width of 50
    slider.SetPos(0);
    Send(WM_LBUTTONDOWN, 30, 150, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 3, 0, MK_LBUTTON);    // left of the margin: clamped to 10
    Send(WM_MOUSEMOVE, 90, 0, MK_LBUTTON);   // right of the control: clamped to 50
    Send(WM_LBUTTONUP, 90, 0);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVING, 50}, {WM_SLIDER_MOVING, 0}, {WM_SLIDER_MOVING, 100},
                            {WM_SLIDER_MOVED, 100}});
}

TEST_F(SliderTest, MovesWithoutAPressAreIgnored)
{
    SetUpAsPanel();
    Send(WM_MOUSEMOVE, 10, 150);
    Send(WM_MOUSEMOVE, 10, 0);
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(slider.GetPos(), 20);
}

TEST_F(SliderTest, ReleaseWithoutAPressStillReportsThePosition)
{
    SetUpAsPanel();
    Send(WM_LBUTTONUP, 10, 150);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 20}});
    EXPECT_EQ(slider.GetPos(), 20);
}

TEST_F(SliderTest, DragSurvivesLosingTheCaptureUntilTheNextRelease)
{
    SetUpAsPanel();
    Send(WM_LBUTTONDOWN, 10, 100, MK_LBUTTON);
    ::SetCapture(parent->hwnd());  // taken away without a release over the slider
    EXPECT_NE(::GetCapture(), hSlider);
    EXPECT_TRUE(slider.IsDragging());
    Send(WM_MOUSEMOVE, 10, 150, MK_LBUTTON);
    ::ReleaseCapture();
    Send(WM_MOUSEMOVE, 10, 160);
    Send(WM_LBUTTONUP, 10, 160);
    Send(WM_MOUSEMOVE, 10, 20);  // idle again
    ExpectPosted(Posted(), {{WM_SLIDER_MOVING, 48},
                            {WM_SLIDER_MOVING, 72},
                            {WM_SLIDER_MOVING, 76},
                            {WM_SLIDER_MOVED, 76}});
    EXPECT_FALSE(slider.IsDragging());
}

TEST_F(SliderTest, NotificationsCarryThePositionAsPosted)
{
    SetUpAsPanel();
    Send(WM_LBUTTONDOWN, 10, 100, MK_LBUTTON);
    slider.SetPos(90);  // the panel moves it before handling the queue
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].lParam, 48);
    Send(WM_LBUTTONUP, 10, 100);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 90}});
}

TEST_F(SliderTest, FailedImageLoadsLeaveNoBitmapsAndNoLeak)
{
    long before = CGdiObject::GetLiveObjectCount();
    EXPECT_FALSE(slider.SetChannelBitmaps(9999, IDB_SLIDER_LEFT_SPAN));
    EXPECT_FALSE(slider.HasBitmaps());
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before);
    EXPECT_FALSE(slider.SetChannelBitmaps(IDB_SLIDER_LEFT_CHANNEL, 9999));
    EXPECT_FALSE(slider.HasBitmaps());
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before);

    // Without images (and so without a size) a press has no track to move along, but the
    // release is still reported and painting does not fail.
    slider.SetVertical(true);
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    Send(WM_LBUTTONUP, 5, 5);
    ExpectPosted(Posted(), {{WM_SLIDER_MOVED, 0}});
    RepaintNow(hSlider);

    // Loading again replaces, never adds.
    ASSERT_TRUE(slider.SetChannelBitmaps(IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN));
    ASSERT_TRUE(slider.SetChannelBitmaps(IDB_SLIDER_RIGHT_CHANNEL, IDB_SLIDER_RIGHT_SPAN));
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before + 2);
}

TEST_F(SliderTest, WindowDestructionReleasesTheBitmaps)
{
    long before = CGdiObject::GetLiveObjectCount();
    SetUpAsPanel();
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before + 2);
    ::DestroyWindow(hSlider);
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before);
    EXPECT_FALSE(slider.HasBitmaps());
}

TEST(SliderObjectTest, DestructorReleasesWhatIsStillHeld)
{
    long before = CGdiObject::GetLiveObjectCount();
    {
        CBitmapSlider windowless;
        EXPECT_TRUE(windowless.SetChannelBitmaps(IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN));
        EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before + 2);
    }
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), before);
}

// What the two images hold at one point, read from the images themselves.
struct ImagePixels {
    COLORREF channel;
    COLORREF span;
};

// The pictures of the prefix's scale, made once per test run.
HBITMAP ScaledImage(UINT id)
{
    static std::map<UINT, HBITMAP> made;
    HBITMAP& image = made[id];
    if (image == nullptr)
        image = LoadScaledBitmap(id, testscale::Dpi());
    return image;
}

ImagePixels ReadImages(UINT channelId, UINT spanId, int x, int y)
{
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP channel = ScaledImage(channelId);
    HBITMAP span = ScaledImage(spanId);
    HGDIOBJ old = ::SelectObject(mem, channel);
    ImagePixels pixels{::GetPixel(mem, x, y), 0};
    ::SelectObject(mem, span);
    pixels.span = ::GetPixel(mem, x, y);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

TEST_F(SliderTest, PaintShowsTheSpanImageAboveTheBoundaryAndTheChannelImageBelow)
{
    SetUpAsPanel();
    int columns[] = {0, 12, 25, 37, 49};
    int rows[] = {0, 20, 60, 103, 104, 105, 150, 190, 207};
    for (int& x : columns)
        x = testscale::At(x, dpi);
    for (int& y : rows)
        y = testscale::At(y, dpi);
    int discriminating = 0;
    for (int position : {50, 0, 100, 20}) {
        slider.SetPos(position);
        ::UpdateWindow(hSlider);
        int boundary = slider.PositionToPixel(position);
        for (int y : rows) {
            for (int x : columns) {
                ImagePixels expected = ReadImages(IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN, x, y);
                if (expected.channel != expected.span)
                    ++discriminating;
                COLORREF shown = ReadWindowPixel(hSlider, x, y);
                EXPECT_EQ(shown, y < boundary ? expected.span : expected.channel)
                    << "position " << position << " at " << x << "," << y;
            }
        }
    }
    // The images must differ somewhere sampled, or this test could not fail.
    EXPECT_GT(discriminating, 20);
}

TEST_F(SliderTest, RepaintingLeaksNoGdiObjectOrContext)
{
    SetUpAsPanel();
    ::UpdateWindow(hSlider);
    long objects = CGdiObject::GetLiveObjectCount();
    long contexts = CDC::GetLiveDCCount();
    for (int i = 0; i < 100; ++i) {
        slider.SetPos(i);
        ::UpdateWindow(hSlider);
    }
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
    EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
}

}  // namespace
