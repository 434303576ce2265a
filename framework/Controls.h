// Standard controls as the panel uses them: statics, buttons and bitmap buttons.
#pragma once
#include "framework/Wnd.h"
#include "framework/Gdi.h"

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP hBitmap)
    {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    }
};

class CButton : public CWnd {
public:
    // Pushed (TRUE) or released (FALSE): BM_SETSTATE.
    void SetState(BOOL bHighlight) { SendMessage(BM_SETSTATE, bHighlight, 0); }
    UINT GetState() const { return static_cast<UINT>(::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0)); }
};

// An owner-drawn button drawn from bitmaps: the selected image while it is pushed, else
// the focus or disabled image when there is one, else the normal image.
class CBitmapButton : public CButton {
public:
    // The pictures drawn for dpi's scale; at 96 DPI the resources themselves.
    BOOL LoadBitmaps(UINT nIDBitmapResource, UINT nIDBitmapResourceSel = 0,
                     UINT nIDBitmapResourceFocus = 0, UINT nIDBitmapResourceDisabled = 0, UINT dpi = 96);
    // Resizes the button to its normal image.
    void SizeToContent();

    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;

protected:
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDIS);
    LRESULT OnReflectedDrawItem(WPARAM wParam, LPARAM lParam);

    BEGIN_MSG_MAP(CBitmapButton)
        REFLECTED_MESSAGE_HANDLER(WM_DRAWITEM, OnReflectedDrawItem)
    END_MSG_MAP()
};
