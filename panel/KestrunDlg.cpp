#include "panel/KestrunDlg.h"

#include <objbase.h>
#include <windowsx.h>

#include "app/AboutDlg.h"
#include "audio/SinkStartup.h"
#include "audio/VolumeMapping.h"
#include "audio/VolumeRefresh.h"
#include "driver/ConfLib.h"
#include "driver/DevicePresence.h"
#include "driver/FormatControl.h"
#include "driver/OutputSwitch.h"
#include "framework/UiText.h"
#include "panel/Settings.h"
#include "res/MakerInfo.h"

namespace {
constexpr UINT IDM_ABOUTBOX = 0x0010;
constexpr COLORREF kInfoTextColour = RGB(0, 150, 200);
constexpr int kInitialSliderPos = 20;

bool HitsControl(const CWnd& dialog, const CWnd& control, POINT pt)
{
    RECT rc;
    control.GetWindowRect(&rc);
    dialog.ScreenToClient(&rc);
    return ::PtInRect(&rc, pt) != FALSE;
}
}

CKestrunDlg::CKestrunDlg(CWnd* pParent) : CDialog(IDD_KESTRUN_DIALOG, pParent)
{
    // The UI thread joins the multithreaded apartment for the program's life; the result
    // is deliberately not tested and COM is never uninitialised.
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    // The four exchange buffers were allocated, in declaration order, as members.
}

CKestrunDlg::~CKestrunDlg()
{
    // The library may still hold the buffers' addresses until it is shut down.
    if (m_driverLibraryBound)
        ShutdownDriverLibrary();
    m_setValueBuf.Release();
    m_setParamBuf.Release();
    m_getReplyBuf.Release();
    m_getParamBuf.Release();
}

void CKestrunDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEPTH_16, m_btn16Bit);
    DDX_Control(pDX, IDC_DEPTH_24, m_btn24Bit);
    for (int i = 0; i < 6; ++i)
        DDX_Control(pDX, IDC_RATE_44K1 + i, m_btnRate[i]);
    DDX_Control(pDX, IDC_LBL_HIDDEN, m_lblHidden);
    DDX_Control(pDX, IDC_LBL_PANEL_VERSION, m_lblPanelVersion);
    DDX_Control(pDX, IDC_LBL_OS_VERSION, m_lblOsVersion);
    DDX_Control(pDX, IDC_LBL_WEB_ADDRESS, m_lblWebAddress);
    DDX_Control(pDX, IDC_POWER, m_btnPower);
    DDX_Control(pDX, IDC_LBL_COPYRIGHT, m_lblCopyright);
    DDX_Control(pDX, IDC_MUTE_INDICATOR, m_muteIndicator);
    DDX_Control(pDX, IDC_SLIDER_LEFT, m_sliderLeft);
    DDX_Control(pDX, IDC_SLIDER_RIGHT, m_sliderRight);
    DDX_Control(pDX, IDC_LINK_INDICATOR, m_linkIndicator);
    DDX_Control(pDX, IDC_OUTPUT_SPDIF, m_btnSpdif);
    DDX_Control(pDX, IDC_OUTPUT_SPEAKER, m_btnSpeaker);
    DDX_Control(pDX, IDC_DEPTH_32, m_btn32Bit);
}

BOOL CKestrunDlg::PreTranslateMessage(MSG* pMsg)
{
    m_tips.Relay(*pMsg);
    // The panel has no keyboard interface: keys never reach a control or the dialog manager.
    if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_KEYUP)
        return TRUE;
    if (pMsg->message == WM_MOUSEWHEEL && (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd))) {
        // Some systems give the wheel to the focus window, others to the window under the
        // pointer: either way it belongs to the slider under the pointer, and to nothing else.
        POINT pt{GET_X_LPARAM(pMsg->lParam), GET_Y_LPARAM(pMsg->lParam)};
        HWND under = ::WindowFromPoint(pt);
        if (under != nullptr && (under == m_sliderLeft.m_hWnd || under == m_sliderRight.m_hWnd)) {
            m_tips.NoteWheel(under);
            ::SendMessageA(under, WM_MOUSEWHEEL, pMsg->wParam, pMsg->lParam);
        }
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

LRESULT CKestrunDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRIVER_FORMAT_CHANGED) {
        RefreshFormatState();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    // Every way the format, the output, a level or the mute can change ends here: the tray
    // tip and a tooltip that is up follow.
    switch (message) {
    case WM_COMMAND:
    case WM_LBUTTONDOWN:
    case WM_VOLUME_REFRESH:
    case WM_AUDIO_DEVICE_ARRIVED:
    case WM_OUTPUT_CHANGED:
    case WM_DRIVER_FORMAT_CHANGED:
        RefreshShownTips();
        RequestTrayTipUpdate();
        break;
    case WM_SLIDER_MOVING:  // the step has rewritten its own tip
        RequestTrayTipUpdate();
        break;
    case WM_DPICHANGED:  // the controls have moved to the new scale: the tips' tools go along
        m_tips.Layout();
        break;
    default:
        break;
    }
    return result;
}

BOOL CKestrunDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU hSysMenu = GetSystemMenu(FALSE)) {
        const std::wstring about = LoadUiText(IDS_ABOUTBOX);
        if (!about.empty()) {
            ::AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    m_hHandCursor = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));

    m_audio.ScanEndpoints();
    // Without the device the panel still initialises completely, then ends instead of
    // entering its modal loop.
    if (!IsDevicePresent())
        OnOK();

    SetWindowText("Vexmora USB Audio Driver");
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW, 0);
    m_outputId = m_audio.QueryDefaultOutput();

    ApplySkin();
    SetupIndicators();
    SetupBitmapButtons();
    SetupInfoDisplay();
    SetupSliders();
    SetupLabelColours();
    SetupTips();
    m_access.Attach();
    AddTrayIcon();

    StartNotificationSinks(m_outputId, m_audio);

    DriverStartup driver = StartDriverLibrary(m_exchange);
    m_driverLibraryBound = driver != DriverStartup::LibraryMissing;
    if (driver == DriverStartup::NoDevice)
        return FALSE;  // the panel stays open with its start-up placeholders

    SelectOutput(m_outputId, OutputButtonOrder::SpeakerFirst);

    AddTrayIcon();
    RefreshVolumeSliders();
    RefreshMuteState();
    return TRUE;
}

// ---- Window messages --------------------------------------------------------------

LRESULT CKestrunDlg::OnSysCommand(WPARAM wParam, LPARAM)
{
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return 0;
    }
    return Default();
}

LRESULT CKestrunDlg::OnPaint(WPARAM, LPARAM)
{
    if (!IsIconic())
        return Default();
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.m_hDC, x, y, m_hIcon);
    return 0;
}

LRESULT CKestrunDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

LRESULT CKestrunDlg::OnSetCursor(WPARAM, LPARAM)
{
    ::SetCursor(m_hHandCursor);
    return TRUE;
}

LRESULT CKestrunDlg::OnPanelClick(WPARAM, LPARAM lParam)
{
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};

    if (HitsControl(*this, m_muteIndicator, pt))
        ToggleMute();
    if (HitsControl(*this, m_linkIndicator, pt))
        ToggleLink();
    if (HitsControl(*this, m_lblWebAddress, pt)) {
        OpenWebAddress();
        return 0;
    }
    // No caption: the whole face is the handle the window is moved by.
    SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return Default();
}

void CKestrunDlg::ToggleMute()
{
    m_muteIndicator.SetState(!m_muteIndicator.m_state);
    m_audio.SetEndpointMute(m_muteIndicator.m_state ? TRUE : FALSE);
    m_access.AnnounceLevels();
}

void CKestrunDlg::ToggleLink()
{
    m_linkIndicator.SetState(!m_linkIndicator.m_state);
    WriteSettingString(SETTINGS_FILE, SETTINGS_SECTION, SETTING_CHANNELS_LINKED, m_linkIndicator.m_state ? "1" : "0");
}

void CKestrunDlg::OpenWebAddress()
{
    ::ShellExecuteA(m_hWnd, "open", KESTRUN_MAKER_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CKestrunDlg::OnHScroll(WPARAM, LPARAM) { return Default(); }

void CKestrunDlg::OnPowerHide() { ShowWindow(SW_HIDE); }

// ---- Controls set-up ---------------------------------------------------------------

void CKestrunDlg::SetupIndicators()
{
    // Muted image until the first read-out replaces it.
    m_muteIndicator.SetStateBitmaps(IDB_MUTE_ON, IDB_MUTE_OFF, true);
    bool linked = ReadSettingInt(SETTINGS_FILE, SETTINGS_SECTION, SETTING_CHANNELS_LINKED) != 0;
    m_linkIndicator.SetStateBitmaps(IDB_LINK_ON, IDB_LINK_OFF, linked);
}

void CKestrunDlg::SetupBitmapButtons()
{
    struct Entry {
        CBitmapButton* button;
        UINT normal;
        UINT selected;
    };
    const Entry buttons[] = {
        {&m_btn16Bit, IDB_DEPTH_16, IDB_DEPTH_16_SEL},
        {&m_btn24Bit, IDB_DEPTH_24, IDB_DEPTH_24_SEL},
        {&m_btn32Bit, IDB_DEPTH_32, IDB_DEPTH_32_SEL},
        {&m_btnRate[0], IDB_RATE_44K1, IDB_RATE_44K1_SEL},
        {&m_btnRate[1], IDB_RATE_48K, IDB_RATE_48K_SEL},
        {&m_btnRate[2], IDB_RATE_88K2, IDB_RATE_88K2_SEL},
        {&m_btnRate[3], IDB_RATE_96K, IDB_RATE_96K_SEL},
        {&m_btnRate[4], IDB_RATE_176K4, IDB_RATE_176K4_SEL},
        {&m_btnRate[5], IDB_RATE_192K, IDB_RATE_192K_SEL},
        {&m_btnPower, IDB_POWER, IDB_POWER_SEL},
        {&m_btnSpdif, IDB_OUTPUT_SPDIF, IDB_OUTPUT_SPDIF_SEL},
        {&m_btnSpeaker, IDB_OUTPUT_SPEAKER, IDB_OUTPUT_SPEAKER_SEL},
    };
    for (const Entry& e : buttons) {
        e.button->LoadBitmaps(e.normal, e.selected, 0, 0);
        e.button->SizeToContent();
    }
}

void CKestrunDlg::SetupSliders()
{
    struct Entry {
        CBitmapSlider* slider;
        UINT channel;
        UINT span;
    };
    const Entry sliders[] = {
        {&m_sliderLeft, IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN},
        {&m_sliderRight, IDB_SLIDER_RIGHT_CHANNEL, IDB_SLIDER_RIGHT_SPAN},
    };
    for (const Entry& e : sliders) {
        e.slider->SetChannelBitmaps(e.channel, e.span);
        e.slider->SetMargins(0, 0, 0, 0);
        e.slider->SetVertical(true);
        e.slider->SetRange(0, 100);
        e.slider->SetPos(kInitialSliderPos);
    }
}

void CKestrunDlg::SetupLabelColours()
{
    m_lblPanelVersion.SetTextColor(kInfoTextColour);
    m_lblWebAddress.SetTextColor(kInfoTextColour);
    m_lblCopyright.SetTextColor(kInfoTextColour);
    m_lblOsVersion.SetTextColor(kInfoTextColour);
}

// ---- Volume and mute ---------------------------------------------------------------

void CKestrunDlg::RefreshVolumeSliders()
{
    // A channel that cannot be read (a mono endpoint, a failing call) leaves its slider
    // where it is rather than at an arbitrary position.
    float level = 0.0f;
    if (m_audio.TryGetChannelLevel(0, &level)) {
        m_channelLevel[0] = level;
        m_sliderLeft.SetPos(LevelToSliderPosition(level));
    }
    if (m_audio.TryGetChannelLevel(1, &level)) {
        m_channelLevel[1] = level;
        m_sliderRight.SetPos(LevelToSliderPosition(level));
    }
    m_access.AnnounceLevels();
}

void CKestrunDlg::RefreshMuteState()
{
    m_audio.GetEndpointMute(&m_endpointMute);
    m_muteIndicator.SetState(m_endpointMute != FALSE);
    m_access.AnnounceLevels();
}

LRESULT CKestrunDlg::OnSliderMoving(WPARAM wParam, LPARAM)
{
    bool linked = m_linkIndicator.m_state;
    auto write = [this](UINT channel, const CBitmapSlider& slider) {
        m_channelLevel[channel] = SliderPositionToLevel(slider.GetPos());
        m_audio.SetChannelLevel(channel, m_channelLevel[channel]);
    };
    if (wParam == IDC_SLIDER_LEFT) {
        if (linked)
            m_sliderRight.SetPos(m_sliderLeft.GetPos());
        write(0, m_sliderLeft);
        if (linked)
            write(1, m_sliderRight);
    } else if (wParam == IDC_SLIDER_RIGHT) {
        if (linked)
            m_sliderLeft.SetPos(m_sliderRight.GetPos());
        write(1, m_sliderRight);
        if (linked)
            write(0, m_sliderLeft);
    } else {
        return 1;
    }
    m_access.AnnounceLevels();
    FollowSliderStep(static_cast<int>(wParam));
    return 1;
}

LRESULT CKestrunDlg::OnVolumeRefresh(WPARAM wParam, LPARAM)
{
    ClearVolumeRefreshPending(wParam);  // a change from here on posts again
    RefreshVolumeSliders();
    RefreshMuteState();
    return 1;
}

// An endpoint arrived or came back: listen to it again where the earlier registrations died,
// then show the levels of whatever is the default now. The output choice is left to
// WM_OUTPUT_CHANGED, as before.
LRESULT CKestrunDlg::OnAudioDeviceArrived(WPARAM, LPARAM)
{
    ClearDeviceArrivedPending();  // an arrival from here on posts again
    RenewNotificationSinks();
    RefreshVolumeSliders();
    RefreshMuteState();
    return 1;
}

// ---- Stream format -----------------------------------------------------------------

void CKestrunDlg::SetButtonPushed(int controlId, bool pushed)
{
    ::SendDlgItemMessageA(m_hWnd, controlId, BM_SETSTATE, pushed ? 1 : 0, 0);
}

namespace {
struct DepthButton {
    int depth;
    int buttonId;
};
constexpr DepthButton kDepthButtons[3] = {{16, IDC_DEPTH_16}, {24, IDC_DEPTH_24}, {32, IDC_DEPTH_32}};
}  // namespace

void CKestrunDlg::ShowBitDepth(int depth)
{
    bool known = false;
    for (const DepthButton& row : kDepthButtons)
        known = known || row.depth == depth;
    if (!known)
        return;
    for (const DepthButton& row : kDepthButtons)
        SetButtonPushed(row.buttonId, row.depth == depth);
}

void CKestrunDlg::ShowSampleRate(int rate)
{
    bool known = false;
    for (int hz : kSampleRates)
        known = known || hz == rate;
    if (!known)
        return;
    for (int row = 0; row < kRateCount; ++row)
        SetButtonPushed(IDC_RATE_44K1 + row, kSampleRates[row] == rate);
}

void CKestrunDlg::InitDriverDefaults() { ::InitDriverDefaults(m_exchange); }

void CKestrunDlg::RefreshFormatState()
{
    // The driver does not see the buttons, so reading everything first keeps its requests
    // in the order they always had.
    const FormatState state = ReadFormatState(m_exchange);
    for (int row = 0; row < kRateCount; ++row) {
        if (state.support[row] != RateSupport::Unknown)
            ::EnableWindow(::GetDlgItem(m_hWnd, IDC_RATE_44K1 + row), state.support[row] == RateSupport::Supported);
    }
    if (state.rateRead)
        ShowSampleRate(state.rateHz);
    if (state.depthRead) {
        // Unlike a click, a reading outside the table leaves all three released.
        for (const DepthButton& row : kDepthButtons)
            SetButtonPushed(row.buttonId, false);
        for (const DepthButton& row : kDepthButtons)
            if (row.depth == state.depth)
                SetButtonPushed(row.buttonId, true);
    }
}

void CKestrunDlg::RequestBitDepth(int depth)
{
    m_bitDepth = depth;
    SetBitDepth(m_exchange, m_bitDepth);
    ShowBitDepth(m_bitDepth);
}

void CKestrunDlg::RequestSampleRate(int rate)
{
    m_sampleRate = rate;
    SetSampleRate(m_exchange, m_sampleRate);
    ShowSampleRate(m_sampleRate);
}

void CKestrunDlg::OnBitDepth16() { RequestBitDepth(16); }
void CKestrunDlg::OnBitDepth24() { RequestBitDepth(24); }
void CKestrunDlg::OnBitDepth32() { RequestBitDepth(32); }
void CKestrunDlg::OnSampleRate44k1() { RequestSampleRate(44100); }
void CKestrunDlg::OnSampleRate48k() { RequestSampleRate(48000); }
void CKestrunDlg::OnSampleRate88k2() { RequestSampleRate(88200); }
void CKestrunDlg::OnSampleRate96k() { RequestSampleRate(96000); }
void CKestrunDlg::OnSampleRate176k4() { RequestSampleRate(176400); }
void CKestrunDlg::OnSampleRate192k() { RequestSampleRate(192000); }

// ---- Output ------------------------------------------------------------------------

void CKestrunDlg::SelectOutput(int outputId, OutputButtonOrder order)
{
    if (outputId != OUTPUT_SPDIF && outputId != OUTPUT_SPEAKER)
        return;
    const bool speaker = outputId == OUTPUT_SPEAKER;
    if (order == OutputButtonOrder::SpeakerFirst) {
        SetButtonPushed(IDC_OUTPUT_SPEAKER, speaker);
        SetButtonPushed(IDC_OUTPUT_SPDIF, !speaker);
    } else {
        SetButtonPushed(IDC_OUTPUT_SPDIF, !speaker);
        SetButtonPushed(IDC_OUTPUT_SPEAKER, speaker);
    }
    SwitchDriverOutput(outputId);
    RefreshFormatState();
}

void CKestrunDlg::OnSelectSpdif() { SelectOutput(OUTPUT_SPDIF, OutputButtonOrder::SpdifFirst); }
void CKestrunDlg::OnSelectSpeaker() { SelectOutput(OUTPUT_SPEAKER, OutputButtonOrder::SpdifFirst); }

LRESULT CKestrunDlg::OnOutputChanged(WPARAM, LPARAM lParam)
{
    if (lParam == 0)
        SelectOutput(OUTPUT_SPDIF, OutputButtonOrder::SpdifFirst);
    else if (lParam == 1)
        SelectOutput(OUTPUT_SPEAKER, OutputButtonOrder::SpdifFirst);
    return 1;
}
