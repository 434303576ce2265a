#include "controls/MemDC.h"

CMemDC::CMemDC(CDC* pDC, const RECT* pRect, bool bCopyFirst)
    : m_pDC(pDC), m_bMemDC(!pDC->IsPrinting())
{
    if (pRect != nullptr)
        m_rect = *pRect;
    else
        pDC->GetClipBox(&m_rect);

    if (m_bMemDC) {
        CreateCompatibleDC(pDC);
        pDC->LPtoDP(reinterpret_cast<POINT*>(&m_rect), 2);
        m_bitmap.CreateCompatibleBitmap(pDC, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top);
        m_pOldBitmap = SelectObject(&m_bitmap);
        SetMapMode(pDC->GetMapMode());
        SetWindowExt(pDC->GetWindowExt());
        SetViewportExt(pDC->GetViewportExt());
        pDC->DPtoLP(reinterpret_cast<POINT*>(&m_rect), 2);
        SetWindowOrg(m_rect.left, m_rect.top);
    } else {
        // Borrowed, not attached: the target keeps ownership of its contexts.
        m_bPrinting = pDC->m_bPrinting;
        m_hDC = pDC->m_hDC;
        m_hAttribDC = pDC->m_hAttribDC;
    }

    if (bCopyFirst)
        BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top,
               pDC, m_rect.left, m_rect.top, SRCCOPY);
    else
        FillSolidRect(&m_rect, pDC->GetBkColor());
}

CMemDC::~CMemDC()
{
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top,
                      this, m_rect.left, m_rect.top, SRCCOPY);
        if (m_pOldBitmap != nullptr)
            SelectObject(m_pOldBitmap);
    } else {
        // The target's contexts must survive us.
        m_hDC = m_hAttribDC = nullptr;
    }
    // The bitmap member, now deselected, goes next; then CDC deletes the memory context.
}
