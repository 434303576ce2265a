// The panel dialog's tooltips (the tip windows themselves are ControlTips.cpp's): what each
// control says, and the level tip that follows a slider. The dB is read only here, while a
// tip is up, so a step that nobody watches costs what it always did.
#include "panel/KestrunDlg.h"

#include "framework/UiText.h"
#include "panel/ControlText.h"

#include <commctrl.h>

namespace {
// The controls a user acts on, in the template's order; the hidden 32-bit key has no tip.
const std::vector<int> kTippedControls = {
    IDC_RATE_44K1, IDC_RATE_96K,      IDC_RATE_48K,    IDC_RATE_176K4,     IDC_RATE_192K,    IDC_RATE_88K2,
    IDC_DEPTH_24,  IDC_DEPTH_16,      IDC_POWER,       IDC_MUTE_INDICATOR, IDC_SLIDER_LEFT,  IDC_SLIDER_RIGHT,
    IDC_LINK_INDICATOR, IDC_OUTPUT_SPDIF, IDC_OUTPUT_SPEAKER,
};

bool IsRateKey(int id) { return id >= IDC_RATE_44K1 && id <= IDC_RATE_192K; }
}  // namespace

void CKestrunDlg::SetupTips()
{
    m_tips.Create(m_hWnd, kTippedControls);
}

CAudioEndpointControl::ChannelLevel CKestrunDlg::ReadToldLevel(int sliderId)
{
    const UINT channel = sliderId == IDC_SLIDER_RIGHT ? 1 : 0;
    CAudioEndpointControl::ChannelLevel level;
    if (!m_audio.TryReadChannelLevel(channel, &level))
        level.scalar = m_channelLevel[channel];  // what the panel last read or wrote
    else
        m_channelLevel[channel] = level.scalar;
    return level;
}

std::wstring CKestrunDlg::SliderLevelText(int sliderId)
{
    const CAudioEndpointControl::ChannelLevel level = ReadToldLevel(sliderId);
    return LevelText(sliderId, level.scalar, level.hasDecibels ? &level.decibels : nullptr, m_muteIndicator.m_state);
}

std::wstring CKestrunDlg::TipText(int controlId)
{
    HWND control = ::GetDlgItem(m_hWnd, controlId);
    switch (controlId) {
    case IDC_SLIDER_LEFT:
    case IDC_SLIDER_RIGHT:
        return SliderLevelText(controlId);
    case IDC_MUTE_INDICATOR:
        return WithState(ControlName(controlId), LoadUiText(m_muteIndicator.m_state ? IDS_STATE_ON : IDS_STATE_OFF));
    case IDC_LINK_INDICATOR:
        return WithState(ControlName(controlId), LoadUiText(m_linkIndicator.m_state ? IDS_STATE_ON : IDS_STATE_OFF));
    case IDC_OUTPUT_SPDIF:
    case IDC_OUTPUT_SPEAKER: {
        const bool selected = (::SendMessageA(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
        return WithState(ControlName(controlId), LoadUiText(selected ? IDS_STATE_SELECTED : IDS_STATE_NOT_SELECTED));
    }
    default:
        if (IsRateKey(controlId) && control != nullptr && !::IsWindowEnabled(control))
            return WithState(ControlName(controlId), LoadUiText(IDS_NOT_SUPPORTED));
        return ControlName(controlId);
    }
}

void CKestrunDlg::FollowSliderStep(int sliderId)
{
    CBitmapSlider& slider = sliderId == IDC_SLIDER_RIGHT ? m_sliderRight : m_sliderLeft;
    if (!m_tips.IsWatched(slider.m_hWnd, slider.IsDragging()))
        return;
    m_tips.ShowLevel(slider.m_hWnd, slider.PositionToPixel(slider.GetPos()), SliderLevelText(sliderId));
}

// A change from elsewhere, a click or a format event: a tip that is up says the new state.
void CKestrunDlg::RefreshShownTips()
{
    if (HWND slider = m_tips.LevelSlider())
        FollowSliderStep(slider == m_sliderRight.m_hWnd ? IDC_SLIDER_RIGHT : IDC_SLIDER_LEFT);
    m_tips.RefreshShown();
}

LRESULT CKestrunDlg::OnNotify(WPARAM, LPARAM lParam)
{
    if (m_tips.OnNotify(reinterpret_cast<const NMHDR*>(lParam), [this](int id) { return TipText(id); }))
        return 0;
    return Default();
}

LRESULT CKestrunDlg::OnNotifyFormat(WPARAM wParam, LPARAM lParam)
{
    if (lParam == NF_QUERY && m_tips.IsOurs(reinterpret_cast<HWND>(wParam)))
        return NFR_UNICODE;
    return Default();
}
