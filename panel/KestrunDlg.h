// The panel: the program's one window, a frameless skinned dialog that owns every control
// and runs the start-up of everything else.
#pragma once
#include <string>

#include "framework/afxwin.h"
#include "panel/PanelMessages.h"
#include "res/resource.h"
#include "audio/AudioEndpointControl.h"
#include "controls/BitmapSlider.h"
#include "controls/Label.h"
#include "controls/MyStaticBmp.h"
#include "panel/ControlTips.h"
#include "driver/ExchangeBuffers.h"
#include "panel/PanelAccess.h"

#include <shellapi.h>

class CKestrunDlg : public CDialog {
public:
    explicit CKestrunDlg(CWnd* pParent = nullptr);
    ~CKestrunDlg() override;

    // Overrides, in the framework's slot order.
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    // Message handlers.
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnPanelClick(WPARAM wParam, LPARAM lParam);
    LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
    LRESULT OnSliderMoving(WPARAM wParam, LPARAM lParam);
    LRESULT OnVolumeRefresh(WPARAM wParam, LPARAM lParam);
    LRESULT OnAudioDeviceArrived(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnOutputChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayTipRefresh(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotifyFormat(WPARAM wParam, LPARAM lParam);
    void OnBitDepth16();
    void OnBitDepth24();
    void OnBitDepth32();
    void OnSampleRate44k1();
    void OnSampleRate48k();
    void OnSampleRate88k2();
    void OnSampleRate96k();
    void OnSampleRate176k4();
    void OnSampleRate192k();
    void OnPowerHide();
    void OnMenuShowPanel();
    void OnMenuExit();
    void OnSelectSpdif();
    void OnSelectSpeaker();

    // Skin and shape (KestrunDlgSkin.cpp).
    void ApplySkin();
    HRGN BuildSkinRegion(HBITMAP hBitmap, COLORREF keyColour);
    // Controls.
    void SetupIndicators();
    void SetupBitmapButtons();
    void SetupSliders();
    void SetupLabelColours();
    // Information display (KestrunDlgInfo.cpp).
    void SetupInfoDisplay();
    static std::string GetOsName();
    // Tray (KestrunDlgTray.cpp).
    void AddTrayIcon();
    void RemoveTrayIcon();
    void RequestTrayTipUpdate();
    std::wstring TrayStateLine();
    // Tooltips (KestrunDlgTips.cpp).
    void SetupTips();
    std::wstring TipText(int controlId);
    // A slider's level read now (scalar and dB), or the one last read or written when the
    // endpoint cannot tell: what a tip and assistive technology say.
    CAudioEndpointControl::ChannelLevel ReadToldLevel(int sliderId);
    std::wstring SliderLevelText(int sliderId);
    void FollowSliderStep(int sliderId);
    void RefreshShownTips();
    // What a click on the mute or link indicator or the web address does.
    void ToggleMute();
    void ToggleLink();
    void OpenWebAddress();
    // Volume and mute.
    void RefreshVolumeSliders();
    void RefreshMuteState();
    // Stream format.
    void ShowBitDepth(int depth);
    void ShowSampleRate(int rate);
    void RequestBitDepth(int depth);
    void RequestSampleRate(int rate);
    void InitDriverDefaults();
    void RefreshFormatState();
    // Output: a click or a default-endpoint change sends to the S/PDIF button first, the
    // start-up to the Speaker button first.
    enum class OutputButtonOrder { SpdifFirst, SpeakerFirst };
    void SelectOutput(int outputId, OutputButtonOrder order);
    void SetButtonPushed(int controlId, bool pushed);

    // Registered by the shell when the taskbar (and with it the tray) is re-created.
    static UINT TaskbarCreatedMessage();

    BEGIN_MSG_MAP(CKestrunDlg)
        MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_QUERYDRAGICON, OnQueryDragIcon)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnPanelClick)
        MESSAGE_HANDLER(WM_HSCROLL, OnHScroll)
        MESSAGE_HANDLER(WM_SLIDER_MOVING, OnSliderMoving)
        MESSAGE_HANDLER(WM_VOLUME_REFRESH, OnVolumeRefresh)
        MESSAGE_HANDLER(WM_AUDIO_DEVICE_ARRIVED, OnAudioDeviceArrived)
        MESSAGE_HANDLER(WM_TRAY_NOTIFY, OnTrayNotify)
        COMMAND_ID_HANDLER(IDC_DEPTH_16, OnBitDepth16)
        COMMAND_ID_HANDLER(IDC_DEPTH_24, OnBitDepth24)
        COMMAND_ID_HANDLER(IDC_DEPTH_32, OnBitDepth32)
        COMMAND_ID_HANDLER(IDC_RATE_44K1, OnSampleRate44k1)
        COMMAND_ID_HANDLER(IDC_RATE_48K, OnSampleRate48k)
        COMMAND_ID_HANDLER(IDC_RATE_88K2, OnSampleRate88k2)
        COMMAND_ID_HANDLER(IDC_RATE_96K, OnSampleRate96k)
        COMMAND_ID_HANDLER(IDC_RATE_176K4, OnSampleRate176k4)
        COMMAND_ID_HANDLER(IDC_RATE_192K, OnSampleRate192k)
        COMMAND_ID_HANDLER(IDC_POWER, OnPowerHide)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        COMMAND_ID_HANDLER(ID_MENU_SHOW_PANEL, OnMenuShowPanel)
        COMMAND_ID_HANDLER(ID_MENU_EXIT, OnMenuExit)
        COMMAND_ID_HANDLER(IDC_OUTPUT_SPDIF, OnSelectSpdif)
        COMMAND_ID_HANDLER(IDC_OUTPUT_SPEAKER, OnSelectSpeaker)
        MESSAGE_HANDLER(WM_OUTPUT_CHANGED, OnOutputChanged)
        MESSAGE_HANDLER(TaskbarCreatedMessage(), OnTaskbarCreated)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_TRAY_TIP_REFRESH, OnTrayTipRefresh)
        MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
        MESSAGE_HANDLER(WM_NOTIFYFORMAT, OnNotifyFormat)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()

    // Panel state, in declaration order. Public so that tests can observe it.
    CBitmap m_skinBitmap;  // declared before m_skinDC: the DC, holding it selected, goes first
    CDC m_skinDC;
    int m_skinWidth = 0;
    int m_skinHeight = 0;
    CAudioEndpointControl m_audio;
    int m_outputId = OUTPUT_NONE;
    BOOL m_endpointMute = FALSE;
    // The driver library is handed the address of each buffer's address; the destructor
    // frees them after the library is shut down.
    ExchangeBuffer m_setValueBuf;
    ExchangeBuffer m_setParamBuf;
    ExchangeBuffer m_getReplyBuf;
    ExchangeBuffer m_getParamBuf;
    int m_sampleRate = 0;
    int m_bitDepth = 0;
    HCURSOR m_hHandCursor = nullptr;  // shared resource: never destroyed
    NOTIFYICONDATAW m_trayIconData{};
    HICON m_hIcon = nullptr;          // shared resource: never destroyed
    CBitmapButton m_btn16Bit;
    CBitmapButton m_btn24Bit;
    CBitmapButton m_btn32Bit;
    CBitmapButton m_btnRate[6];
    CLabel m_lblHidden;
    CLabel m_lblPanelVersion;
    CLabel m_lblOsVersion;
    CLabel m_lblWebAddress;
    CBitmapButton m_btnPower;
    CLabel m_lblCopyright;
    CMyStaticBmp m_muteIndicator;
    CBitmapSlider m_sliderLeft;
    CBitmapSlider m_sliderRight;
    CMyStaticBmp m_linkIndicator;
    CBitmapButton m_btnSpdif;
    CBitmapButton m_btnSpeaker;

    ExchangeBuffers m_exchange{m_setValueBuf.Holder(), m_setParamBuf.Holder(), m_getReplyBuf.Holder(),
                               m_getParamBuf.Holder()};
    BOOL m_driverLibraryBound = FALSE;  // the start-up bound the library: the destructor shuts it down
    BOOL m_trayIconAdded = FALSE;
    bool m_trayTipPending = false;
    // Each channel's level as last read from or written to the endpoint (the start-up
    // placeholder until then): the tray tip's level, and a tip's when a read fails.
    float m_channelLevel[2] = {0.8f, 0.8f};
    CControlTips m_tips;
    CPanelAccess m_access{*this};  // assistive technology (KestrunDlgAccess.cpp)
};

// What the last left click on the tray icon did: TRUE when it showed the panel.
extern bool g_trayShown;
