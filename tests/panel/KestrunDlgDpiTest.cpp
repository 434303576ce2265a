// The real panel at the prefix's display scale (the test runner has a prefix per DPI), and
// moved to a monitor of another scale by WM_DPICHANGED, which Wine never sends by itself.
#include "PanelHarness.h"
#include "panel/PanelLayout.h"
#include "tests/support/TestScale.h"

#include <gtest/gtest.h>

namespace {

RECT ControlRect(HWND panel, int id)
{
    RECT rc{};
    ::GetWindowRect(::GetDlgItem(panel, id), &rc);
    ::MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The panel drawn and placed for dpi: its size, its outline, its skin and every control.
void ExpectPanelAt(CKestrunDlg& dlg, HWND panel, UINT dpi, const char* when)
{
    SCOPED_TRACE(testing::Message() << when << " at " << dpi << " DPI");
    RECT window{};
    ::GetWindowRect(panel, &window);
    EXPECT_NEAR(window.right - window.left, 600.0 * dpi / 96, 1.0);
    EXPECT_NEAR(window.bottom - window.top, 350.0 * dpi / 96, 1.0);

    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(::GetWindowRgn(panel, region), COMPLEXREGION);
    RECT box{};
    ::GetRgnBox(region, &box);
    EXPECT_NEAR(box.left, 8.0 * dpi / 96, 1.0);  // the face runs from x 8 to 592 at 100 %
    EXPECT_NEAR(box.right, 592.0 * dpi / 96, 1.0);
    // White-key points of the surround stay out of the outline.
    for (POINT pt : {POINT{0, 0}, POINT{300, 3}, POINT{300, 345}, POINT{597, 100}})
        EXPECT_FALSE(::PtInRegion(region, testscale::At(pt.x, dpi), testscale::At(pt.y, dpi))) << pt.x << "," << pt.y;

    // Each control at its 100 % rectangle scaled, on the face: every corner inside the outline.
    for (const ControlPlace& place : kPanelPlaces96) {
        const RECT rc = ControlRect(panel, place.id);
        EXPECT_EQ(rc.left, testscale::At(place.rect.left, dpi)) << place.id;
        EXPECT_EQ(rc.top, testscale::At(place.rect.top, dpi)) << place.id;
        EXPECT_EQ(rc.right - rc.left, testscale::At(place.rect.right - place.rect.left, dpi)) << place.id;
        EXPECT_EQ(rc.bottom - rc.top, testscale::At(place.rect.bottom - place.rect.top, dpi)) << place.id;
        for (POINT corner : {POINT{rc.left, rc.top}, POINT{rc.right - 1, rc.top}, POINT{rc.left, rc.bottom - 1},
                             POINT{rc.right - 1, rc.bottom - 1}})
            EXPECT_TRUE(::PtInRegion(region, corner.x, corner.y)) << place.id << " corner " << corner.x << "," << corner.y;
    }
    ::DeleteObject(region);

    // The skin is the artwork of that scale.
    EXPECT_TRUE(testscale::HoldsArtwork(dlg.m_skinDC, IDB_SKIN, dpi));

    // The slider's track is its image's height, so a row maps to its 100 % level.
    EXPECT_EQ(dlg.m_sliderLeft.PositionToPixel(100), testscale::At(208, dpi));
    EXPECT_NEAR(dlg.m_sliderLeft.PixelToPosition(testscale::At(41, dpi)), 19, 1);
}

int IconWidth(HICON icon)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return 0;
    BITMAP bm{};
    ::GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
    if (info.hbmColor != nullptr)
        ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return bm.bmWidth;
}

void SendDpiChanged(HWND panel, UINT dpi)
{
    RECT rc{};
    ::GetWindowRect(panel, &rc);
    // As the system suggests it: the window's place, its size at the new scale.
    RECT suggested{rc.left, rc.top, rc.left + testscale::At(600, dpi), rc.top + testscale::At(350, dpi)};
    ::SendMessageA(panel, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(PanelScale, ThePanelIsDrawnAndPlacedForThePrefixsScale)
{
    const UINT dpi = testscale::Dpi();
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        ::RedrawWindow(panel, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        h.Flush();
        EXPECT_EQ(dlg.m_dpi, dpi);
        ExpectPanelAt(dlg, panel, dpi, "start-up");
        // The tray icon at the small-icon size of the taskbar's scale (the same monitor here).
        EXPECT_EQ(IconWidth(dlg.m_trayIconData.hIcon), testscale::At(16, dpi));
        // The information lines' font for this scale, not the screen's when the label was made.
        LOGFONTA lf{};
        ASSERT_NE(dlg.m_lblOsVersion.m_font.GetSafeHandle(), nullptr);
        ::GetObjectA(dlg.m_lblOsVersion.m_font.GetSafeHandle(), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfHeight, -::MulDiv(static_cast<int>(dpi), 98, 720));
    });
}

// Moved to a monitor at twice (or half) the scale and back: everything follows, the states stay,
// and fifty round trips leave as many GDI objects and contexts as one.
TEST(PanelScale, ADpiChangeRedrawsAndPlacesEverythingAndKeepsTheStates)
{
    const UINT home = testscale::Dpi();
    const UINT away = home == 192 ? 96 : 192;
    PanelHarness h;
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        h.Flush();
        dlg.m_sliderLeft.SetPos(37);
        dlg.m_sliderRight.SetPos(64);
        const bool linked = dlg.m_linkIndicator.m_state;
        const bool muted = dlg.m_muteIndicator.m_state;
        const UINT pushed = static_cast<UINT>(::SendDlgItemMessageA(panel, IDC_RATE_44K1, BM_GETSTATE, 0, 0)) & BST_PUSHED;
        ASSERT_NE(pushed, 0u);

        SendDpiChanged(panel, away);
        h.Flush();
        EXPECT_EQ(dlg.m_dpi, away);
        ExpectPanelAt(dlg, panel, away, "moved");
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 37);
        EXPECT_EQ(dlg.m_sliderRight.GetPos(), 64);
        EXPECT_EQ(dlg.m_linkIndicator.m_state, linked);
        EXPECT_EQ(dlg.m_muteIndicator.m_state, muted);
        EXPECT_EQ(::SendDlgItemMessageA(panel, IDC_RATE_44K1, BM_GETSTATE, 0, 0) & BST_PUSHED, pushed);
        BITMAP bm{};
        ASSERT_NE(dlg.m_linkIndicator.GetStateBitmap(), nullptr);
        ::GetObjectA(dlg.m_linkIndicator.GetStateBitmap(), sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, testscale::At(33, away));

        SendDpiChanged(panel, home);
        ::RedrawWindow(panel, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        h.Flush();
        ExpectPanelAt(dlg, panel, home, "back");
        EXPECT_EQ(dlg.m_sliderLeft.GetPos(), 37);

        const long objects = CGdiObject::GetLiveObjectCount();
        const long contexts = CDC::GetLiveDCCount();
        for (int i = 0; i < 50; ++i) {
            SendDpiChanged(panel, away);
            SendDpiChanged(panel, home);
            ::RedrawWindow(panel, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        h.Flush();
        EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
        EXPECT_EQ(CDC::GetLiveDCCount(), contexts);
    });
}

}  // namespace
