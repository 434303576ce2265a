#include "controls/MyStaticBmp.h"

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

bool CMyStaticBmp::SetStateBitmaps(UINT onId, UINT offId, bool state)
{
    ReleaseBitmaps();
    m_onBitmap = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(onId));
    m_offBitmap = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(offId));
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
