// What the panel tells assistive technology about itself and each of its controls, and the
// actions it takes from it: the same names, states and actions as the mouse and the tooltips.
#pragma once
#include "panel/PanelAccessible.h"

class CKestrunDlg;

class CPanelAccess final : public CAccessibleSource {
public:
    explicit CPanelAccess(CKestrunDlg& panel) : m_panel(panel) {}

    // Gives the panel and every control an accessible object; after the controls are subclassed.
    void Attach();
    // Tells assistive technology of each slider whose value (level or mute) changed since it
    // was last told.
    void AnnounceLevels();

    void Describe(HWND window, bool withValue, AccessibleFacts& facts) override;
    HRESULT SetValue(HWND window, const std::wstring& value) override;
    HRESULT DoDefaultAction(HWND window) override;

private:
    std::wstring SliderValue(int sliderId);

    struct Told {
        int position = -1;
        bool muted = false;
    };
    CKestrunDlg& m_panel;
    Told m_told[2];
};
