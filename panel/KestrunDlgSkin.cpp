// The panel dialog's skin: its outline cut from the skin bitmap, its size, and the
// background it paints from the skin.
#include "panel/KestrunDlg.h"
#include "panel/SkinRegion.h"

HRGN CKestrunDlg::BuildSkinRegion(HBITMAP hBitmap, COLORREF keyColour)
{
    SkinRegionInfo info;
    HRGN hRgn = BuildSkinRegionFromBitmap(hBitmap, keyColour, &info);
    m_skinWidth = info.width;
    m_skinHeight = info.height;
    return hRgn;
}

void CKestrunDlg::ApplySkin()
{
    // A second call starts over: the old context must let go of the old skin first.
    m_skinDC.DeleteDC();
    m_skinBitmap.DeleteObject();
    m_skinBitmap.LoadBitmap(IDB_SKIN, m_dpi);
    HRGN hRgn = BuildSkinRegion(m_skinBitmap, RGB(255, 255, 255));
    {
        CClientDC windowDC(this);
        m_skinDC.CreateCompatibleDC(&windowDC);
    }
    // Selected for the dialog's lifetime; m_skinDC is destroyed before m_skinBitmap.
    m_skinDC.SelectObject(&m_skinBitmap);
    SetWindowPos(nullptr, 0, 0, m_skinWidth, m_skinHeight, SWP_NOMOVE | SWP_NOZORDER);
    // From here the system owns the region; if it refuses it, it is still ours to free.
    if (hRgn != nullptr && SetWindowRgn(hRgn, FALSE) == 0)
        ::DeleteObject(hRgn);
}

LRESULT CKestrunDlg::OnEraseBkgnd(WPARAM wParam, LPARAM)
{
    return ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, m_skinWidth, m_skinHeight, m_skinDC, 0, 0, SRCCOPY);
}
