#include "framework/Gdi.h"
#include "framework/Artwork.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<long> g_liveGdiObjects{0};
std::atomic<long> g_liveDCs{0};
}

// ---- CGdiObject -----------------------------------------------------------------

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    DeleteObject();
    if (hObject == nullptr)
        return FALSE;
    m_hObject = hObject;
    ++g_liveGdiObjects;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ h = m_hObject;
    if (h != nullptr)
        --g_liveGdiObjects;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    return ::DeleteObject(Detach());
}

long CGdiObject::GetLiveObjectCount() { return g_liveGdiObjects.load(); }

BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

BOOL CBitmap::LoadBitmap(UINT nIDResource, UINT dpi)
{
    return Attach(::LoadScaledBitmap(nIDResource, dpi));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const
{
    return ::GetObjectA(m_hObject, sizeof(BITMAP), pBitMap);
}

namespace {
// A point size in tenths of a point as a font height in pDC's logical units (the screen when null).
LONG PointFontHeight(int nPointSize, CDC* pDC)
{
    HDC hDC = pDC != nullptr ? pDC->m_hAttribDC : ::GetDC(nullptr);
    POINT pt{0, ::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), nPointSize, 720)};
    ::DPtoLP(hDC, &pt, 1);
    POINT ptOrg{0, 0};
    ::DPtoLP(hDC, &ptOrg, 1);
    if (pDC == nullptr)
        ::ReleaseDC(nullptr, hDC);
    return -std::abs(pt.y - ptOrg.y);
}
}  // namespace

BOOL CFont::CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC* pDC)
{
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, lpszFaceName, LF_FACESIZE);
    lf.lfHeight = PointFontHeight(nPointSize, pDC);
    return Attach(::CreateFontIndirectA(&lf));
}

namespace {
HFONT CreateFaceFont(LPCWSTR lpszFaceName, LONG height)
{
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, lpszFaceName, LF_FACESIZE);
    lf.lfHeight = height;
    return ::CreateFontIndirectW(&lf);
}
}  // namespace

BOOL CFont::CreatePointFont(int nPointSize, LPCWSTR lpszFaceName, CDC* pDC)
{
    return Attach(CreateFaceFont(lpszFaceName, PointFontHeight(nPointSize, pDC)));
}

BOOL CFont::CreatePointFontForDpi(int nPointSize, LPCWSTR lpszFaceName, UINT dpi)
{
    return Attach(CreateFaceFont(lpszFaceName, -::MulDiv(static_cast<int>(dpi), nPointSize, 720)));
}

// ---- CDC ------------------------------------------------------------------------

CDC::~CDC() { DeleteDC(); }

BOOL CDC::Attach(HDC hDC)
{
    if (hDC == nullptr)
        return FALSE;
    DeleteDC();
    m_hDC = m_hAttribDC = hDC;
    ++g_liveDCs;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC h = m_hDC;
    if (h != nullptr)
        --g_liveDCs;
    m_hDC = m_hAttribDC = nullptr;
    return h;
}

BOOL CDC::DeleteDC()
{
    if (m_hDC == nullptr)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    return Attach(::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr));
}

long CDC::GetLiveDCCount() { return g_liveDCs.load(); }

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }
int CDC::GetClipBox(LPRECT lpRect) const { return ::GetClipBox(m_hDC, lpRect); }
BOOL CDC::LPtoDP(LPPOINT lpPoints, int nCount) const { return ::LPtoDP(m_hAttribDC, lpPoints, nCount); }
BOOL CDC::DPtoLP(LPPOINT lpPoints, int nCount) const { return ::DPtoLP(m_hAttribDC, lpPoints, nCount); }
int CDC::GetMapMode() const { return ::GetMapMode(m_hAttribDC); }

int CDC::SetMapMode(int nMapMode)
{
    int old = ::SetMapMode(m_hDC, nMapMode);
    if (m_hAttribDC != m_hDC)
        ::SetMapMode(m_hAttribDC, nMapMode);
    return old;
}

SIZE CDC::GetWindowExt() const
{
    SIZE s{};
    ::GetWindowExtEx(m_hAttribDC, &s);
    return s;
}

SIZE CDC::SetWindowExt(SIZE size)
{
    SIZE old{};
    ::SetWindowExtEx(m_hDC, size.cx, size.cy, &old);
    if (m_hAttribDC != m_hDC)
        ::SetWindowExtEx(m_hAttribDC, size.cx, size.cy, nullptr);
    return old;
}

SIZE CDC::GetViewportExt() const
{
    SIZE s{};
    ::GetViewportExtEx(m_hAttribDC, &s);
    return s;
}

SIZE CDC::SetViewportExt(SIZE size)
{
    SIZE old{};
    ::SetViewportExtEx(m_hDC, size.cx, size.cy, &old);
    if (m_hAttribDC != m_hDC)
        ::SetViewportExtEx(m_hAttribDC, size.cx, size.cy, nullptr);
    return old;
}

POINT CDC::SetWindowOrg(int x, int y)
{
    POINT old{};
    ::SetWindowOrgEx(m_hDC, x, y, &old);
    if (m_hAttribDC != m_hDC)
        ::SetWindowOrgEx(m_hAttribDC, x, y, nullptr);
    return old;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop)
{
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr,
                    xSrc, ySrc, dwRop);
}

void CDC::FillSolidRect(const RECT* lpRect, COLORREF clr)
{
    COLORREF old = ::SetBkColor(m_hDC, clr);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

COLORREF CDC::GetBkColor() const { return ::GetBkColor(m_hAttribDC); }
COLORREF CDC::SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
COLORREF CDC::SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
int CDC::SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }

// ---- CPaintDC / CClientDC -------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();  // EndPaint released it
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd != nullptr ? pWnd->m_hWnd : nullptr)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    if (m_hDC != nullptr)
        ::ReleaseDC(m_hWnd, Detach());
}
