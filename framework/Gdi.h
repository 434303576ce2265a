// GDI objects and device contexts. Each wrapper owns what it created and releases it once.
#pragma once
#include <windows.h>

class CWnd;

// Base of the GDI object wrappers. Counts the objects the wrappers currently own, which
// is how tests see leaks (Wine reports no GDI object counts through GetGuiResources).
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    static long GetLiveObjectCount();

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
public:
    BOOL LoadBitmap(UINT nIDResource);
    BOOL CreateCompatibleBitmap(class CDC* pDC, int nWidth, int nHeight);
    int GetBitmap(BITMAP* pBitMap) const;
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CFont : public CGdiObject {
public:
    // nPointSize is in tenths of a point, converted for pDC (the screen when null).
    BOOL CreatePointFont(int nPointSize, LPCSTR lpszFaceName, class CDC* pDC = nullptr);
    BOOL CreatePointFont(int nPointSize, LPCWSTR lpszFaceName, class CDC* pDC = nullptr);
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL DeleteDC();
    BOOL CreateCompatibleDC(CDC* pDC);
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL IsPrinting() const { return m_bPrinting; }

    HGDIOBJ SelectObject(HGDIOBJ hObject);
    HGDIOBJ SelectObject(CGdiObject* pObject) { return SelectObject(pObject->m_hObject); }

    int GetClipBox(LPRECT lpRect) const;
    BOOL LPtoDP(LPPOINT lpPoints, int nCount = 1) const;
    BOOL DPtoLP(LPPOINT lpPoints, int nCount = 1) const;
    int GetMapMode() const;
    int SetMapMode(int nMapMode);
    SIZE GetWindowExt() const;
    SIZE SetWindowExt(SIZE size);
    SIZE GetViewportExt() const;
    SIZE SetViewportExt(SIZE size);
    POINT SetWindowOrg(int x, int y);

    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
    void FillSolidRect(const RECT* lpRect, COLORREF clr);
    COLORREF GetBkColor() const;
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF SetTextColor(COLORREF crColor);
    int SetBkMode(int nBkMode);

    static long GetLiveDCCount();

    HDC m_hDC = nullptr;        // output context
    HDC m_hAttribDC = nullptr;  // attribute context (the same as m_hDC unless printing)
    BOOL m_bPrinting = FALSE;
};

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};
private:
    HWND m_hWnd;
};

// GetDC/ReleaseDC for a window's client area.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
private:
    HWND m_hWnd;
};
