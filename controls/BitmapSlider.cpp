#include "controls/BitmapSlider.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <windowsx.h>

#include "controls/MemDC.h"
#include "controls/SliderMessages.h"

namespace {
// Toward zero, like a plain conversion, but without undefined behaviour for values the
// int cannot hold (absurd ranges or margins).
// Positions one wheel notch moves the boundary.
constexpr int kWheelStep = 2;

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}
}

BOOL CBitmapSlider::SetChannelBitmaps(UINT channelId, UINT spanId, UINT dpi)
{
    // Until both images are back, the control paints only its background.
    m_bBitmapsLoaded = false;

    m_bmChannel.DeleteObject();
    if (!m_bmChannel.LoadBitmap(channelId, dpi))
        return FALSE;
    m_bmSpan.DeleteObject();
    if (!m_bmSpan.LoadBitmap(spanId, dpi)) {
        m_bmChannel.DeleteObject();
        return FALSE;
    }

    BITMAP bm{};
    m_bmChannel.GetBitmap(&bm);
    m_nWidth = bm.bmWidth;
    m_nHeight = bm.bmHeight;
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(&m_rect);
    m_bBitmapsLoaded = true;
    return TRUE;
}

void CBitmapSlider::SetMargins(int left, int top, int right, int bottom)
{
    m_nMarginLeft = left;
    m_nMarginTop = top;
    m_nMarginRight = right;
    m_nMarginBottom = bottom;
}

void CBitmapSlider::SetVertical(bool vertical) { m_bVertical = vertical; }

void CBitmapSlider::SetRange(int minimum, int maximum)
{
    m_nMin = minimum;
    m_nMax = maximum;
}

int CBitmapSlider::Clamped(int position) const
{
    // Maximum first: with an inverted range the minimum wins.
    if (position > m_nMax)
        position = m_nMax;
    if (position < m_nMin)
        position = m_nMin;
    return position;
}

void CBitmapSlider::SetPos(int position)
{
    m_nPos = Clamped(position);
    if (m_hWnd != nullptr)
        Invalidate();
}

int CBitmapSlider::PositionToPixel(int position) const
{
    if (m_nMax == m_nMin)
        return NearMargin();
    // Divide first, then scale: the truncation this gives is what the panel's artwork expects.
    double fraction = (static_cast<double>(position) - static_cast<double>(m_nMin)) /
                      (static_cast<double>(m_nMax) - static_cast<double>(m_nMin));
    return TruncateToInt(static_cast<double>(NearMargin()) +
                         static_cast<double>(TruncateToInt(fraction * static_cast<double>(TrackLength()))));
}

int CBitmapSlider::PixelToPosition(int pixel) const
{
    int track = TrackLength();
    if (track <= 0)
        return m_nMin;
    double fraction = (static_cast<double>(pixel) - static_cast<double>(NearMargin())) /
                      static_cast<double>(track);
    return TruncateToInt(fraction * (static_cast<double>(m_nMax) - static_cast<double>(m_nMin)) +
                         static_cast<double>(m_nMin));
}

void CBitmapSlider::PostToParent(UINT message)
{
    ::PostMessageA(GetParent(), message, static_cast<WPARAM>(GetDlgCtrlID()), static_cast<LPARAM>(m_nPos));
}

void CBitmapSlider::MoveTo(int pointer)
{
    int pixel = pointer;
    if (m_bVertical) {
        if (pixel > m_nHeight - m_nMarginBottom)
            pixel = m_nHeight - m_nMarginBottom;
        if (pixel < m_nMarginTop)
            pixel = m_nMarginTop;
    } else {
        if (pixel < m_nMarginLeft)
            pixel = m_nMarginLeft;
        if (pixel > m_nWidth - m_nMarginRight)
            pixel = m_nWidth - m_nMarginRight;
    }
    // Compared on pixels: a new pixel that yields the same position is still reported.
    if (pixel == PositionToPixel(m_nPos))
        return;
    MoveBoundary(PixelToPosition(pixel));
}

void CBitmapSlider::MoveBoundary(int position)
{
    m_nPos = Clamped(position);
    Invalidate();
    PostToParent(WM_SLIDER_MOVING);
}

LRESULT CBitmapSlider::OnEraseBkgnd(WPARAM, LPARAM)
{
    return TRUE;  // everything is drawn in WM_PAINT, off screen
}

LRESULT CBitmapSlider::OnPaint(WPARAM, LPARAM)
{
    CPaintDC dc(this);
    RECT area = m_rect;
    if (!m_bBitmapsLoaded)
        GetClientRect(&area);  // no image size to go by: fill what the control covers
    CMemDC memDC(&dc, &area);
    if (!m_bBitmapsLoaded)
        return 0;

    // A position left outside a narrowed range can map outside the control; the copies
    // must still cover it exactly.
    int boundary = PositionToPixel(m_nPos);
    if (boundary < 0)
        boundary = 0;
    if (boundary > Length())
        boundary = Length();
    CDC source;
    source.CreateCompatibleDC(&memDC);
    HGDIOBJ old = source.SelectObject(&m_bmChannel);
    if (m_bVertical) {
        memDC.BitBlt(0, boundary, m_nWidth, m_nHeight - boundary, &source, 0, boundary, SRCCOPY);
        source.SelectObject(&m_bmSpan);
        memDC.BitBlt(0, 0, m_nWidth, boundary, &source, 0, 0, SRCCOPY);
    } else {
        memDC.BitBlt(boundary, 0, m_nWidth - boundary, m_nHeight, &source, boundary, 0, SRCCOPY);
        source.SelectObject(&m_bmSpan);
        memDC.BitBlt(0, 0, boundary, m_nHeight, &source, 0, 0, SRCCOPY);
    }
    source.SelectObject(old);
    return 0;
}

LRESULT CBitmapSlider::OnLButtonDown(WPARAM, LPARAM lParam)
{
    SetCapture();
    SetFocus();
    m_bLButtonDown = true;
    MoveTo(m_bVertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam));
    Invalidate();
    return Default();
}

LRESULT CBitmapSlider::OnMouseMove(WPARAM, LPARAM lParam)
{
    if (!m_bLButtonDown)
        return 0;
    MoveTo(m_bVertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam));
    return Default();
}

LRESULT CBitmapSlider::OnLButtonUp(WPARAM, LPARAM)
{
    ::ReleaseCapture();
    m_bLButtonDown = false;
    Invalidate();
    PostToParent(WM_SLIDER_MOVED);
    return Default();
}

LRESULT CBitmapSlider::OnMouseWheel(WPARAM wParam, LPARAM)
{
    int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    // A turn the other way starts afresh rather than first paying back the old direction.
    if ((delta < 0 && m_wheelRemainder > 0) || (delta > 0 && m_wheelRemainder < 0))
        m_wheelRemainder = 0;
    m_wheelRemainder += delta;
    int notches = m_wheelRemainder / WHEEL_DELTA;
    m_wheelRemainder -= notches * WHEEL_DELTA;
    // Up is toward the minimum, the top of a vertical slider. No WM_SLIDER_MOVED: that one
    // reports a button release, and the wheel has none.
    long long target = static_cast<long long>(m_nPos) - static_cast<long long>(notches) * kWheelStep;
    int position = Clamped(static_cast<int>(std::clamp<long long>(target, INT_MIN, INT_MAX)));
    if (notches != 0 && position != m_nPos)
        MoveBoundary(position);
    return 0;  // handled: not passed on to the parent as unhandled wheel input would be
}

LRESULT CBitmapSlider::OnDestroy(WPARAM, LPARAM)
{
    LRESULT result = Default();
    ReleaseBitmaps();
    return result;
}

void CBitmapSlider::ReleaseBitmaps()
{
    m_bBitmapsLoaded = false;
    m_bmChannel.DeleteObject();
    m_bmSpan.DeleteObject();
}
