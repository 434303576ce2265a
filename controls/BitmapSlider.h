// The volume slider: a static control drawn from two bitmaps of the same size, split at the
// boundary that shows the position (span bitmap from the minimum end up to the boundary,
// channel bitmap from there on). Reports user changes to its parent with posted
// WM_SLIDER_MOVING / WM_SLIDER_MOVED. The mouse wheel moves it too, a drag step per notch.
#pragma once
#include "framework/afxwin.h"

class CBitmapSlider : public CStatic {
public:
    // Loads both images, drawn for dpi's scale, and resizes the control to the channel bitmap.
    // The track is the image's height, so a row maps to the same level at every scale.
    BOOL SetChannelBitmaps(UINT channelId, UINT spanId, UINT dpi = 96);
    void SetMargins(int left, int top, int right, int bottom);
    void SetVertical(bool vertical);
    // Stores the range only: the position is clamped by the next SetPos or drag.
    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int GetPos() const { return m_nPos; }

    // The boundary pixel along the long axis for a position, and the position for a pixel.
    // Not inverse to each other (both truncate). A range of zero width maps every position
    // to the near margin; a track of zero or negative length maps every pixel to the minimum.
    int PositionToPixel(int position) const;
    int PixelToPosition(int pixel) const;

    bool IsDragging() const { return m_bLButtonDown; }
    bool HasBitmaps() const { return m_bBitmapsLoaded; }

protected:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

    BEGIN_MSG_MAP(CBitmapSlider)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_MOUSEWHEEL, OnMouseWheel)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

private:
    int Clamped(int position) const;
    int NearMargin() const { return m_bVertical ? m_nMarginTop : m_nMarginLeft; }
    int FarMargin() const { return m_bVertical ? m_nMarginBottom : m_nMarginRight; }
    int Length() const { return m_bVertical ? m_nHeight : m_nWidth; }
    int TrackLength() const { return Length() - FarMargin() - NearMargin(); }
    // Moves the boundary to the pointer; the coordinate is along the long axis.
    void MoveTo(int pointer);
    // What every user move ends in: the new position, a repaint, and the parent told.
    void MoveBoundary(int position);
    void PostToParent(UINT message);
    void ReleaseBitmaps();

    int m_nMin = 0;
    int m_nMax = 100;
    int m_nPos = 0;
    int m_nMarginLeft = 0;
    int m_nMarginTop = 0;
    int m_nMarginRight = 0;
    int m_nMarginBottom = 0;
    bool m_bVertical = false;
    int m_nWidth = 0;
    int m_nHeight = 0;
    RECT m_rect{};
    bool m_bLButtonDown = false;
    // Wheel delta not yet worth a notch (high-resolution wheels send fractions of one).
    int m_wheelRemainder = 0;
    bool m_bBitmapsLoaded = false;
    CBitmap m_bmChannel;
    CBitmap m_bmSpan;
};
