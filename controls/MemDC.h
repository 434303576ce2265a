// A drawing context that stands in for another one during a single paint: everything drawn
// lands in an off-screen bitmap, copied to the target in one go when the object goes away.
// A printing target is drawn on directly.
#pragma once
#include "framework/afxwin.h"

class CMemDC : public CDC {
public:
    // pRect is in the target's logical coordinates; without it the target's clip box is
    // covered. bCopyFirst starts from what the target shows, else from its background colour.
    CMemDC(CDC* pDC, const RECT* pRect = nullptr, bool bCopyFirst = false);
    ~CMemDC() override;

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    const RECT& GetRect() const { return m_rect; }
    bool IsOffScreen() const { return m_bMemDC; }

private:
    CBitmap m_bitmap;
    HGDIOBJ m_pOldBitmap = nullptr;  // not owned: whatever the memory context held at first
    CDC* m_pDC;                      // not owned
    RECT m_rect{};
    bool m_bMemDC;
};
