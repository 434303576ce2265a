#include "panel/PanelAccess.h"

#include <oleacc.h>

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "framework/UiText.h"
#include "panel/ControlText.h"
#include "panel/KestrunDlg.h"

namespace {

enum class Kind { Other, Choice, Slider, Indicator, Power, Text, WebAddress };

Kind KindOf(int controlId)
{
    switch (controlId) {
    case IDC_RATE_44K1: case IDC_RATE_48K: case IDC_RATE_88K2:
    case IDC_RATE_96K: case IDC_RATE_176K4: case IDC_RATE_192K:
    case IDC_DEPTH_16: case IDC_DEPTH_24: case IDC_DEPTH_32:
    case IDC_OUTPUT_SPDIF: case IDC_OUTPUT_SPEAKER:
        return Kind::Choice;
    case IDC_SLIDER_LEFT: case IDC_SLIDER_RIGHT: return Kind::Slider;
    case IDC_MUTE_INDICATOR: case IDC_LINK_INDICATOR: return Kind::Indicator;
    case IDC_POWER: return Kind::Power;
    case IDC_LBL_HIDDEN: case IDC_LBL_PANEL_VERSION: case IDC_LBL_OS_VERSION: case IDC_LBL_COPYRIGHT:
        return Kind::Text;
    case IDC_LBL_WEB_ADDRESS: return Kind::WebAddress;
    default: return Kind::Other;
    }
}

std::wstring OwnText(HWND window)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// "30", "30 %", "30.5%": a level in percent, 0 to 100; false for anything else.
bool ParsePercent(const std::wstring& text, int& percent)
{
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    const double value = std::wcstod(begin, &end);
    if (end == begin || !std::isfinite(value) || value < 0.0 || value > 100.0)
        return false;
    while (std::iswspace(*end))
        ++end;
    if (*end == L'%')
        ++end;
    while (std::iswspace(*end))
        ++end;
    if (*end != L'\0')
        return false;
    percent = static_cast<int>(std::lround(value));
    return true;
}

}  // namespace

void CPanelAccess::Attach()
{
    AttachAccessible(m_panel.m_hWnd, this);
    for (HWND child = ::GetWindow(m_panel.m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        AttachAccessible(child, this);
}

void CPanelAccess::AnnounceLevels()
{
    CBitmapSlider* sliders[2] = {&m_panel.m_sliderLeft, &m_panel.m_sliderRight};
    for (int channel = 0; channel < 2; ++channel) {
        const Told now{sliders[channel]->GetPos(), m_panel.m_muteIndicator.m_state};
        if (now.position == m_told[channel].position && now.muted == m_told[channel].muted)
            continue;
        m_told[channel] = now;
        NotifyValueChanged(sliders[channel]->m_hWnd);
    }
}

std::wstring CPanelAccess::SliderValue(int sliderId)
{
    const CAudioEndpointControl::ChannelLevel level = m_panel.ReadToldLevel(sliderId);
    return LevelValueText(level.scalar, level.hasDecibels ? &level.decibels : nullptr, m_panel.m_muteIndicator.m_state);
}

void CPanelAccess::Describe(HWND window, bool withValue, AccessibleFacts& facts)
{
    if (window == m_panel.m_hWnd) {
        // The device's name; the window text stays the driver's.
        facts.name = LoadUiText(IDS_PANEL_NAME);
        return;
    }
    const int id = ::GetDlgCtrlID(window);
    switch (KindOf(id)) {
    case Kind::Choice:
        facts.name = ControlName(id);
        facts.role = ROLE_SYSTEM_RADIOBUTTON;
        if ((::SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0)
            facts.state |= STATE_SYSTEM_CHECKED;
        facts.defaultAction = LoadUiText(IDS_ACTION_SELECT);
        break;
    case Kind::Slider:
        facts.name = ControlName(id);
        facts.role = ROLE_SYSTEM_SLIDER;
        if (withValue) {
            facts.hasValue = true;
            facts.value = SliderValue(id);
        }
        break;
    case Kind::Indicator: {
        const CMyStaticBmp& indicator = id == IDC_MUTE_INDICATOR ? m_panel.m_muteIndicator : m_panel.m_linkIndicator;
        facts.name = ControlName(id);
        facts.role = ROLE_SYSTEM_CHECKBUTTON;
        if (indicator.m_state)
            facts.state |= STATE_SYSTEM_CHECKED;
        facts.defaultAction = LoadUiText(IDS_ACTION_TOGGLE);
        break;
    }
    case Kind::Power:
        facts.name = ControlName(id);
        facts.role = ROLE_SYSTEM_PUSHBUTTON;
        facts.defaultAction = LoadUiText(IDS_ACTION_PRESS);
        break;
    case Kind::Text:
        facts.name = OwnText(window);
        facts.role = ROLE_SYSTEM_STATICTEXT;
        break;
    case Kind::WebAddress:
        facts.name = OwnText(window);
        facts.role = ROLE_SYSTEM_LINK;
        facts.state |= STATE_SYSTEM_LINKED;
        facts.defaultAction = LoadUiText(IDS_ACTION_OPEN);
        break;
    case Kind::Other:
        break;
    }
}

HRESULT CPanelAccess::SetValue(HWND window, const std::wstring& value)
{
    const int id = ::GetDlgCtrlID(window);
    if (window == m_panel.m_hWnd || KindOf(id) != Kind::Slider)
        return DISP_E_MEMBERNOTFOUND;
    int percent = 0;
    if (!ParsePercent(value, percent))
        return E_INVALIDARG;
    // As a drag to that level: the slider moves, then the panel writes it, and the other
    // channel too when linked.
    CBitmapSlider& slider = id == IDC_SLIDER_RIGHT ? m_panel.m_sliderRight : m_panel.m_sliderLeft;
    slider.SetPos(100 - percent);
    m_panel.OnSliderMoving(static_cast<WPARAM>(id), slider.GetPos());
    return S_OK;
}

HRESULT CPanelAccess::DoDefaultAction(HWND window)
{
    const int id = ::GetDlgCtrlID(window);
    if (window == m_panel.m_hWnd)
        return DISP_E_MEMBERNOTFOUND;
    switch (KindOf(id)) {
    case Kind::Choice:
    case Kind::Power:
        // A click on a key is this command and nothing else.
        m_panel.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
        return S_OK;
    case Kind::Indicator:
        if (id == IDC_MUTE_INDICATOR)
            m_panel.ToggleMute();
        else
            m_panel.ToggleLink();
        return S_OK;
    case Kind::WebAddress:
        m_panel.OpenWebAddress();
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
