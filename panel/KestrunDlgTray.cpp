// The panel dialog's tray members; the record, the tip and the click logic are in TrayIcon.cpp.
#include "panel/KestrunDlg.h"
#include "panel/ControlText.h"
#include "panel/TrayIcon.h"
#include "driver/FormatControl.h"

#include <algorithm>

bool g_trayShown = false;
// What the mouse or a key began on the icon, so that the shell's NIN_SELECT or WM_CONTEXTMENU
// after a click, or Enter's second NIN_KEYSELECT, does not act again.
static TrayMouseTrail g_trayMouseTrail;

void CKestrunDlg::AddTrayIcon()
{
    FillTrayIconData(m_trayIconData, m_hWnd, AfxGetInstanceHandle());
    UpdateTrayIconSize();
    // When the icon already exists the shell refuses this; nothing else happens.
    AddTrayIconToShell(m_trayIconData);
    m_trayIconAdded = TRUE;
    // The state line follows once the start-up has settled.
    RequestTrayTipUpdate();
}

// Many changes arrive in bursts (a drag, a format event with its read-back): the tip is
// rewritten once after the burst, as WM_VOLUME_REFRESH is.
void CKestrunDlg::RequestTrayTipUpdate()
{
    if (m_trayTipPending || m_hWnd == nullptr)
        return;
    m_trayTipPending = ::PostMessageA(m_hWnd, WM_TRAY_TIP_REFRESH, 0, 0) != FALSE;
}

LRESULT CKestrunDlg::OnTrayTipRefresh(WPARAM, LPARAM)
{
    m_trayTipPending = false;
    if (SetTrayTip(m_trayIconData, TrayStateLine()) && m_trayIconAdded)
        NotifyTrayIcon(NIM_MODIFY, m_trayIconData);
    return 0;
}

// What the panel shows, without asking Core Audio or the driver again: the pushed keys, the
// louder channel's level as last read or written, and the mute indicator.
std::wstring CKestrunDlg::TrayStateLine()
{
    auto pushed = [this](int id) { return (::SendDlgItemMessageA(m_hWnd, id, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    const int output = pushed(IDC_OUTPUT_SPDIF) ? OUTPUT_SPDIF : pushed(IDC_OUTPUT_SPEAKER) ? OUTPUT_SPEAKER : OUTPUT_NONE;
    int depth = 0;
    const std::pair<int, int> depthKeys[] = {{16, IDC_DEPTH_16}, {24, IDC_DEPTH_24}, {32, IDC_DEPTH_32}};
    for (const auto& [bits, id] : depthKeys)
        if (pushed(id))
            depth = bits;
    int rate = 0;
    for (int row = 0; row < kRateCount; ++row)
        if (pushed(IDC_RATE_44K1 + row))
            rate = kSampleRates[row];
    const float level = std::max(m_channelLevel[0], m_channelLevel[1]);
    return TrayStateText(output, depth, rate, level, m_muteIndicator.m_state);
}

// Exit removes the icon itself; this is for the other ways the panel ends.
void CKestrunDlg::RemoveTrayIcon()
{
    if (!m_trayIconAdded)
        return;
    NotifyTrayIcon(NIM_DELETE, m_trayIconData);
    m_trayIconAdded = FALSE;
}

// Every way the panel ends destroys its window: an absent device, the system close command
// and Exit alike. The shell does not drop the icon of a window that is gone, so it goes here.
LRESULT CKestrunDlg::OnDestroy(WPARAM wParam, LPARAM lParam)
{
    RemoveTrayIcon();
    return Default();
}

LRESULT CKestrunDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    return HandleTrayNotify(m_hWnd, wParam, lParam, g_trayShown, g_trayMouseTrail, ::GetTickCount());
}

void CKestrunDlg::OnMenuShowPanel()
{
    ShowWindow(SW_SHOW);
}

void CKestrunDlg::OnMenuExit()
{
    NotifyTrayIcon(NIM_DELETE, m_trayIconData);
    m_trayIconAdded = FALSE;
    OnOK();
}

// A restarted shell has forgotten every icon; a hidden panel without one could be neither
// shown nor ended.
LRESULT CKestrunDlg::OnTaskbarCreated(WPARAM wParam, LPARAM lParam)
{
    // Should registration ever have failed, the map routes WM_NULL here: ignore it.
    if (TaskbarCreatedMessage() == 0)
        return 0;
    // The icon comes back as it was: the current tip, and the callback version; drawn for the
    // new taskbar's scale.
    if (m_trayIconAdded) {
        UpdateTrayIconSize();
        AddTrayIconToShell(m_trayIconData);
    }
    return 0;
}

UINT CKestrunDlg::TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}
