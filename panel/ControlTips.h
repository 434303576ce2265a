// The panel's tooltips: one hover tip that names whatever control the pointer rests on, and a
// level tip that follows a slider's boundary while it is dragged or turned with the wheel.
// The panel is often not the active window, so both show regardless (TTS_ALWAYSTIP). Texts
// come from the panel when a tip is about to show, so nothing is read while nobody looks.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Gdi.h"

class CControlTips {
public:
    CControlTips() = default;
    ~CControlTips();
    CControlTips(const CControlTips&) = delete;
    CControlTips& operator=(const CControlTips&) = delete;

    // One hover tool per control of the dialog, placed over the control's current rectangle.
    // Returns false (and the panel simply has no tips) when the tooltip class is missing.
    bool Create(HWND dialog, const std::vector<int>& controlIds);
    // Places the tools again after the controls moved or the window's scale changed, and sets
    // the tips' font for the window's DPI.
    void Layout();

    // Every message of the panel's loop: hands mouse messages to the hover tip, and ends the
    // level tip when the button is released or the pointer leaves the slider.
    void Relay(const MSG& msg);
    // The wheel is about to turn this slider: its next step shows the level tip.
    void NoteWheel(HWND slider);

    // Whether someone is looking at this slider's level: it is being dragged or turned, or
    // its level tip is up. Only then is a step worth the extra read of the dB.
    bool IsWatched(HWND slider, bool dragging) const;
    // Shows (or moves and rewrites) the level tip beside the slider's boundary pixel.
    void ShowLevel(HWND slider, int boundaryPixel, const std::wstring& text);
    void HideLevel();
    HWND LevelSlider() const { return m_levelSlider; }

    // The control the hover tip is showing for, 0 when none.
    int ShownControl() const;
    // Asks the panel again for the shown hover text (the state behind it changed).
    void RefreshShown();

    // TTN_GETDISPINFO from one of the tips: fills it from textFor(controlId) and returns true.
    template <class TextFor>
    bool OnNotify(const NMHDR* header, TextFor&& textFor)
    {
        int id = 0;
        if (!IsTipText(header, &id))
            return false;
        m_text = textFor(id);
        FillTipText(header);
        return true;
    }
    // WM_NOTIFYFORMAT from a tip: the panel's answers are UTF-16.
    bool IsOurs(HWND hWnd) const { return hWnd != nullptr && (hWnd == m_hover || hWnd == m_level); }

    HWND HoverWindow() const { return m_hover; }
    HWND LevelWindow() const { return m_level; }

private:
    bool IsTipText(const NMHDR* header, int* controlId) const;
    void FillTipText(const NMHDR* header);
    static LRESULT CALLBACK HoverProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_dialog = nullptr;
    HWND m_hover = nullptr;
    HWND m_level = nullptr;
    WNDPROC m_hoverSuper = nullptr;
    std::vector<int> m_controlIds;
    HWND m_levelSlider = nullptr;
    HWND m_wheelSlider = nullptr;
    std::wstring m_text;       // the answer to the last TTN_GETDISPINFO, alive while the tip reads it
    std::wstring m_levelText;  // the level tip's text
    std::string m_ansiText;    // the same for a tip that asks in ANSI
    CFont m_font;
    UINT m_fontDpi = 0;
};
