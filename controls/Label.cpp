#include "controls/Label.h"

LRESULT CLabel::OnCtlColor(WPARAM wParam, LPARAM)
{
    HDC hDC = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hDC, m_textColor);
    ::SetBkMode(hDC, TRANSPARENT);
    if (m_font.GetSafeHandle() == nullptr)
        m_font.CreatePointFont(kPointSize, kFaceName);
    if (m_font.GetSafeHandle() != nullptr)
        ::SelectObject(hDC, m_font.GetSafeHandle());
    return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}
