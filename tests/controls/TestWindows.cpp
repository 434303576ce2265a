#include "TestWindows.h"

namespace {
const char kParentClass[] = "KestrunControlsTestParent";

void RegisterParentClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;  // replaced per window in the constructor
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kParentClass;
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    ::RegisterClassA(&wc);
    registered = true;
}
}

TestParentWindow::TestParentWindow(int width, int height, COLORREF background, UINT recordFirst, UINT recordLast)
    : m_recordFirst(recordFirst), m_recordLast(recordLast)
{
    RegisterParentClass();
    m_hBrush = ::CreateSolidBrush(background);
    m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, kParentClass, "controls test", WS_POPUP | WS_VISIBLE, 0, 0,
                               width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    ::UpdateWindow(m_hWnd);
}

TestParentWindow::~TestParentWindow()
{
    if (::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    ::DeleteObject(m_hBrush);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

LRESULT CALLBACK TestParentWindow::Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TestParentWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self != nullptr) {
        if (message >= self->m_recordFirst && message <= self->m_recordLast && self->m_recordLast != 0)
            self->m_received.push_back(MSG{hWnd, message, wParam, lParam, 0, {0, 0}});
        if (message == WM_ERASEBKGND) {
            RECT rc;
            ::GetClientRect(hWnd, &rc);
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, self->m_hBrush);
            return TRUE;
        }
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

HWND TestParentWindow::CreateStatic(int id, DWORD style, int x, int y, int width, int height, const char* text)
{
    return ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr),
                             nullptr);
}

std::vector<MSG> TestParentWindow::TakePosted(UINT first, UINT last)
{
    std::vector<MSG> messages;
    MSG msg;
    while (::PeekMessageA(&msg, m_hWnd, first, last, PM_REMOVE))
        messages.push_back(msg);
    return messages;
}

COLORREF ReadWindowPixel(HWND hWnd, int x, int y)
{
    HDC hDC = ::GetDC(hWnd);
    COLORREF colour = ::GetPixel(hDC, x, y);
    ::ReleaseDC(hWnd, hDC);
    return colour;
}

void RepaintNow(HWND hWnd)
{
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
}
