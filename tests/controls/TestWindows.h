// Real windows for control tests: a top-level parent that records what it is sent, child
// statics to subclass, and reads of what the windows show.
#pragma once
#include <windows.h>

#include <vector>

// A visible top-level window at (0, 0) with a solid background. Messages in
// [recordFirst, recordLast] that reach its procedure directly (sent, or dispatched) are
// recorded, so a test can tell posted notifications from sent ones.
class TestParentWindow {
public:
    TestParentWindow(int width, int height, COLORREF background, UINT recordFirst = 0, UINT recordLast = 0);
    ~TestParentWindow();
    TestParentWindow(const TestParentWindow&) = delete;
    TestParentWindow& operator=(const TestParentWindow&) = delete;

    HWND hwnd() const { return m_hWnd; }
    // A child static control; the caller subclasses it.
    HWND CreateStatic(int id, DWORD style, int x, int y, int width, int height, const char* text = "");
    // Removes and returns the posted messages in [first, last] waiting in the queue for this
    // window, without dispatching them.
    std::vector<MSG> TakePosted(UINT first, UINT last);
    const std::vector<MSG>& Received() const { return m_received; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hWnd = nullptr;
    HBRUSH m_hBrush = nullptr;
    UINT m_recordFirst;
    UINT m_recordLast;
    std::vector<MSG> m_received;
};

// Pixel of what the window shows, in its client coordinates.
COLORREF ReadWindowPixel(HWND hWnd, int x, int y);
// Repaints the window and its children now, background included.
void RepaintNow(HWND hWnd);
