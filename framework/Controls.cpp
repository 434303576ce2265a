#include "framework/Controls.h"

BOOL CBitmapButton::LoadBitmaps(UINT nIDBitmapResource, UINT nIDBitmapResourceSel,
                                UINT nIDBitmapResourceFocus, UINT nIDBitmapResourceDisabled, UINT dpi)
{
    m_bitmap.DeleteObject();
    m_bitmapSel.DeleteObject();
    m_bitmapFocus.DeleteObject();
    m_bitmapDisabled.DeleteObject();

    BOOL ok = m_bitmap.LoadBitmap(nIDBitmapResource, dpi);
    if (nIDBitmapResourceSel != 0 && !m_bitmapSel.LoadBitmap(nIDBitmapResourceSel, dpi))
        ok = FALSE;
    if (nIDBitmapResourceFocus != 0 && !m_bitmapFocus.LoadBitmap(nIDBitmapResourceFocus, dpi))
        ok = FALSE;
    if (nIDBitmapResourceDisabled != 0 && !m_bitmapDisabled.LoadBitmap(nIDBitmapResourceDisabled, dpi))
        ok = FALSE;
    return ok;
}

void CBitmapButton::SizeToContent()
{
    BITMAP bm{};
    if (m_bitmap.m_hObject == nullptr || m_bitmap.GetBitmap(&bm) == 0)
        return;
    SetWindowPos(nullptr, -1, -1, bm.bmWidth, bm.bmHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

LRESULT CBitmapButton::OnReflectedDrawItem(WPARAM, LPARAM lParam)
{
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    return TRUE;
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    const CBitmap* pBitmap = &m_bitmap;
    UINT state = lpDIS->itemState;
    if ((state & ODS_SELECTED) && m_bitmapSel.m_hObject != nullptr)
        pBitmap = &m_bitmapSel;
    else if ((state & ODS_FOCUS) && m_bitmapFocus.m_hObject != nullptr)
        pBitmap = &m_bitmapFocus;
    else if ((state & ODS_DISABLED) && m_bitmapDisabled.m_hObject != nullptr)
        pBitmap = &m_bitmapDisabled;
    if (pBitmap->m_hObject == nullptr)
        return;  // no image loaded: nothing to draw

    CDC memDC;
    CDC target;
    target.m_hDC = target.m_hAttribDC = lpDIS->hDC;  // borrowed from the owner-draw request
    memDC.CreateCompatibleDC(&target);
    HGDIOBJ old = memDC.SelectObject(pBitmap->m_hObject);
    const RECT& rc = lpDIS->rcItem;
    ::BitBlt(lpDIS->hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memDC.m_hDC, 0, 0, SRCCOPY);
    memDC.SelectObject(old);
    target.m_hDC = target.m_hAttribDC = nullptr;
}
