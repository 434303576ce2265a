// A static control showing one of two bitmaps by a boolean state (the mute and link
// indicators). Its clicks fall through to the dialog, which toggles it.
#pragma once
#include "framework/afxwin.h"

class CMyStaticBmp : public CStatic {
public:
    CMyStaticBmp() = default;
    ~CMyStaticBmp() override;

    // Loads both images from the program's resources (drawn for dpi's scale), stores the
    // state and shows the matching image. True when both images loaded.
    bool SetStateBitmaps(UINT onId, UINT offId, bool state, UINT dpi = 96);
    // m_state := state, then the matching image.
    void SetState(bool state);
    HBITMAP GetStateBitmap() const { return m_state ? m_onBitmap : m_offBitmap; }

    // Owned by this object; the control only borrows the one it shows.
    HBITMAP m_onBitmap = nullptr;
    HBITMAP m_offBitmap = nullptr;
    bool m_state = false;

protected:
    // Default processing only, on purpose: an indicator's click is the dialog's to handle
    // (it hit-tests the indicators). Without the notify style the control is transparent to
    // the mouse, so the click lands on the dialog in the first place.
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam) { return Default(); }

    BEGIN_MSG_MAP(CMyStaticBmp)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    END_MSG_MAP()

private:
    void ShowStateImage();
    void ReleaseBitmaps();
};
