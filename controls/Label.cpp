#include "controls/Label.h"

LRESULT CLabel::OnCtlColor(WPARAM wParam, LPARAM)
{
    HDC hDC = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hDC, m_textColor);
    ::SetBkMode(hDC, TRANSPARENT);
    if (m_font.GetSafeHandle() == nullptr) {
        if (m_dpi != 0)
            m_font.CreatePointFontForDpi(kPointSize, kFaceName, m_dpi);
        else
            m_font.CreatePointFont(kPointSize, kFaceName);
    }
    if (m_font.GetSafeHandle() != nullptr)
        ::SelectObject(hDC, m_font.GetSafeHandle());
    return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

void CLabel::SetDpi(UINT dpi)
{
    if (dpi == m_dpi)
        return;
    m_dpi = dpi;
    // No paint holds it now: each one selects it afresh.
    m_font.DeleteObject();
    if (m_hWnd != nullptr)
        Invalidate();
}
