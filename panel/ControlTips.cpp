#include "panel/ControlTips.h"

#include <commctrl.h>

#include "controls/SliderMessages.h"

namespace {

constexpr wchar_t kOwnerProp[] = L"Kestrun.ControlTips";
constexpr UINT_PTR kLevelToolId = 1;

HWND CreateTip(HWND dialog)
{
    HWND tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (tip != nullptr)
        ::SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return tip;
}

TTTOOLINFOW ToolInfo(HWND dialog, UINT_PTR id)
{
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    // The pointer and WindowFromPoint go through a tip to the control beneath: the wheel is
    // routed to the slider under the pointer, and a tip must not take that place.
    info.uFlags = TTF_TRANSPARENT;
    info.hwnd = dialog;
    info.uId = id;
    return info;
}

UINT WindowDpi(HWND hWnd)
{
    // GetDpiForWindow is Windows 10's; before it, every window has the system's DPI.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow != nullptr)
        if (UINT dpi = dpiForWindow(hWnd))
            return dpi;
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

bool IsMouseMessage(UINT message)
{
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE;
}

}  // namespace

CControlTips::~CControlTips()
{
    if (m_hover != nullptr && ::IsWindow(m_hover))
        ::DestroyWindow(m_hover);
    if (m_level != nullptr && ::IsWindow(m_level))
        ::DestroyWindow(m_level);
}

bool CControlTips::Create(HWND dialog, const std::vector<int>& controlIds)
{
    m_dialog = dialog;
    m_controlIds = controlIds;
    m_hover = CreateTip(dialog);
    m_level = CreateTip(dialog);
    if (m_hover == nullptr || m_level == nullptr)
        return false;
    // The controls take the pointer's messages from the panel, and some (the indicators, a
    // disabled key) let them through to it: every tool is a rectangle of the panel, and the
    // hover tip is told that the panel is the window under the pointer.
    ::SetPropW(m_hover, kOwnerProp, this);
    m_hoverSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hover, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CControlTips::HoverProc)));
    for (int id : m_controlIds) {
        TTTOOLINFOW info = ToolInfo(dialog, static_cast<UINT_PTR>(id));
        info.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_hover, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    TTTOOLINFOW level = ToolInfo(dialog, kLevelToolId);
    level.uFlags |= TTF_TRACK | TTF_ABSOLUTE;
    level.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_level, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&level));
    // Long names (and translations) wrap rather than run off the screen.
    ::SendMessageW(m_hover, TTM_SETMAXTIPWIDTH, 0, 400);
    Layout();
    return true;
}

void CControlTips::Layout()
{
    if (m_hover == nullptr)
        return;
    for (int id : m_controlIds) {
        HWND control = ::GetDlgItem(m_dialog, id);
        RECT rect{};
        if (control != nullptr && ::GetWindowRect(control, &rect))
            ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
        TTTOOLINFOW info = ToolInfo(m_dialog, static_cast<UINT_PTR>(id));
        info.rect = rect;
        ::SendMessageW(m_hover, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
    // The system's status font, at the panel's own DPI rather than the system's.
    const UINT dpi = WindowDpi(m_dialog);
    if (dpi == m_fontDpi)
        return;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return;
    const UINT systemDpi = WindowDpi(nullptr);
    LOGFONTW font = metrics.lfStatusFont;
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
    CFont scaled;
    if (!scaled.Attach(::CreateFontIndirectW(&font)))
        return;
    ::SendMessageW(m_hover, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.GetSafeHandle()), FALSE);
    ::SendMessageW(m_level, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.GetSafeHandle()), FALSE);
    m_font.DeleteObject();
    m_font.Attach(scaled.Detach());
    m_fontDpi = dpi;
}

LRESULT CALLBACK CControlTips::HoverProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CControlTips*>(::GetPropW(hWnd, kOwnerProp));
    if (self == nullptr)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == TTM_WINDOWFROMPOINT && lParam != 0) {
        const POINT pt = *reinterpret_cast<const POINT*>(lParam);
        HWND under = ::WindowFromPoint(pt);
        if (under == self->m_dialog || ::IsChild(self->m_dialog, under))
            return reinterpret_cast<LRESULT>(self->m_dialog);
        return reinterpret_cast<LRESULT>(under);
    }
    const WNDPROC super = self->m_hoverSuper;
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hWnd, kOwnerProp);
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        self->m_hover = nullptr;
    }
    return ::CallWindowProcW(super, hWnd, message, wParam, lParam);
}

void CControlTips::Relay(const MSG& msg)
{
    // A drag ends with the slider's own report of the release, whichever way it came.
    if (msg.message == WM_SLIDER_MOVED && msg.hwnd == m_dialog)
        HideLevel();
    if (m_hover == nullptr || !IsMouseMessage(msg.message))
        return;
    if (msg.hwnd != m_dialog && !::IsChild(m_dialog, msg.hwnd))
        return;
    if (msg.message == WM_MOUSEMOVE && msg.hwnd != m_wheelSlider)
        m_wheelSlider = nullptr;  // a notch that moved nothing: its slider is no longer watched
    if (m_levelSlider != nullptr) {
        // A drag ends with its release (the slider holds the capture until then); a wheel turn
        // when the pointer leaves the slider.
        const bool left = msg.message == WM_MOUSELEAVE && msg.hwnd == m_levelSlider && ::GetCapture() != m_levelSlider;
        const bool movedAway = msg.message == WM_MOUSEMOVE && msg.hwnd != m_levelSlider;
        if (msg.message == WM_LBUTTONUP || left || movedAway)
            HideLevel();
    }
    if (msg.message == WM_MOUSELEAVE)
        return;
    // In the panel's own coordinates, where the tools are.
    MSG relayed = msg;
    if (msg.message != WM_MOUSEWHEEL && msg.message != WM_MOUSEHWHEEL && msg.hwnd != m_dialog) {
        POINT pt{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
        ::MapWindowPoints(msg.hwnd, m_dialog, &pt, 1);
        relayed.lParam = MAKELPARAM(pt.x, pt.y);
        relayed.hwnd = m_dialog;
    }
    ::SendMessageW(m_hover, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void CControlTips::NoteWheel(HWND slider)
{
    m_wheelSlider = slider;
}

bool CControlTips::IsWatched(HWND slider, bool dragging) const
{
    if (m_level == nullptr || slider == nullptr)
        return false;
    return dragging || slider == m_wheelSlider || slider == m_levelSlider;
}

void CControlTips::ShowLevel(HWND slider, int boundaryPixel, const std::wstring& text)
{
    if (m_level == nullptr)
        return;
    m_wheelSlider = nullptr;
    if (m_levelSlider != slider) {
        // The hover tip would cover the thumb the user is watching.
        ::SendMessageW(m_hover, TTM_POP, 0, 0);
        // The pointer leaving the slider ends a wheel turn's tip.
        TRACKMOUSEEVENT leave{sizeof(leave), TME_LEAVE, slider, 0};
        ::TrackMouseEvent(&leave);
    }
    m_levelText = text;
    TTTOOLINFOW info = ToolInfo(m_dialog, kLevelToolId);
    info.lpszText = m_levelText.data();
    ::SendMessageW(m_level, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    RECT rect{};
    ::GetWindowRect(slider, &rect);
    ::SendMessageW(m_level, TTM_TRACKPOSITION, 0, MAKELPARAM(rect.right + 2, rect.top + boundaryPixel));
    if (m_levelSlider == nullptr)
        ::SendMessageW(m_level, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    m_levelSlider = slider;
}

void CControlTips::HideLevel()
{
    m_wheelSlider = nullptr;
    if (m_levelSlider == nullptr)
        return;
    m_levelSlider = nullptr;
    TTTOOLINFOW info = ToolInfo(m_dialog, kLevelToolId);
    ::SendMessageW(m_level, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
}

int CControlTips::ShownControl() const
{
    if (m_hover == nullptr || !::IsWindowVisible(m_hover))
        return 0;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    if (!::SendMessageW(m_hover, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info)))
        return 0;
    return static_cast<int>(info.uId);
}

void CControlTips::RefreshShown()
{
    const int shown = ShownControl();
    if (shown == 0)
        return;
    // Setting the callback again makes the tip ask for its text anew and redraw.
    TTTOOLINFOW info = ToolInfo(m_dialog, static_cast<UINT_PTR>(shown));
    info.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(m_hover, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

bool CControlTips::IsTipText(const NMHDR* header, int* controlId) const
{
    if (header == nullptr || !IsOurs(header->hwndFrom) || header->hwndFrom != m_hover)
        return false;
    if (header->code != TTN_GETDISPINFOW && header->code != TTN_GETDISPINFOA)
        return false;
    *controlId = static_cast<int>(header->idFrom);
    return true;
}

void CControlTips::FillTipText(const NMHDR* header)
{
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = const_cast<NMTTDISPINFOW*>(reinterpret_cast<const NMTTDISPINFOW*>(header));
        info->lpszText = m_text.data();
        info->hinst = nullptr;
        return;
    }
    // A tip that asked in ANSI (the panel is an ANSI window) gets the text in the ANSI code page.
    const int size = ::WideCharToMultiByte(CP_ACP, 0, m_text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    m_ansiText.assign(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_ACP, 0, m_text.c_str(), -1, m_ansiText.data(), size, nullptr, nullptr);
    auto* info = const_cast<NMTTDISPINFOA*>(reinterpret_cast<const NMTTDISPINFOA*>(header));
    info->lpszText = m_ansiText.data();
    info->hinst = nullptr;
}
