// A transparent text label: answers its own control-colour request with the text colour,
// a transparent background, the panel's font and no brush, so the skin shows through.
#pragma once
#include "framework/afxwin.h"

class CLabel : public CStatic {
public:
    // Takes effect at the next repaint.
    void SetTextColor(COLORREF colour) { m_textColor = colour; }

    COLORREF m_textColor = RGB(235, 235, 235);
    // One font for the label's whole life, made on the first request: it has to outlive
    // every paint that selects it, and a font per request would leak.
    CFont m_font;

    // Microsoft YaHei by its English family name, through the wide font call: GDI finds it
    // by that name whatever the ANSI code page.
    static constexpr const wchar_t kFaceName[] = L"Microsoft YaHei";
    static constexpr int kPointSize = 98;  // tenths of a point

protected:
    LRESULT OnCtlColor(WPARAM wParam, LPARAM lParam);

    BEGIN_MSG_MAP(CLabel)
        REFLECTED_MESSAGE_HANDLER(WM_CTLCOLOR, OnCtlColor)
    END_MSG_MAP()
};
