#include "controls/MyStaticBmp.h"

#include "framework/Artwork.h"

CMyStaticBmp::~CMyStaticBmp() { ReleaseBitmaps(); }

void CMyStaticBmp::ReleaseBitmaps()
{
    // A control that is still alive must not keep showing a handle about to be deleted.
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        SetBitmap(nullptr);
    if (m_onBitmap != nullptr)
        ::DeleteObject(m_onBitmap);
    if (m_offBitmap != nullptr)
        ::DeleteObject(m_offBitmap);
    m_onBitmap = m_offBitmap = nullptr;
}

bool CMyStaticBmp::SetStateBitmaps(UINT onId, UINT offId, bool state, UINT dpi)
{
    ReleaseBitmaps();
    m_onBitmap = ::LoadScaledBitmap(onId, dpi);
    m_offBitmap = ::LoadScaledBitmap(offId, dpi);
    m_state = state;
    ShowStateImage();
    return m_onBitmap != nullptr && m_offBitmap != nullptr;
}

void CMyStaticBmp::SetState(bool state)
{
    m_state = state;
    ShowStateImage();
}

void CMyStaticBmp::ShowStateImage()
{
    if (m_hWnd != nullptr)
        SetBitmap(GetStateBitmap());
}
