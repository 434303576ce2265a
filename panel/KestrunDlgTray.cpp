// The panel dialog's tray members; the record and the click logic are in TrayIcon.cpp.
#include "panel/KestrunDlg.h"
#include "panel/TrayIcon.h"

bool g_trayShown = false;

void CKestrunDlg::AddTrayIcon()
{
    FillTrayIconData(m_trayIconData, m_hWnd, AfxGetInstanceHandle());
    UpdateTrayIconSize();
    // When the icon already exists the shell refuses this; nothing else happens.
    NotifyTrayIcon(NIM_ADD, m_trayIconData);
    m_trayIconAdded = TRUE;
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
    return HandleTrayNotify(m_hWnd, wParam, lParam, g_trayShown);
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
    if (m_trayIconAdded) {
        UpdateTrayIconSize();  // the new taskbar may have another scale
        NotifyTrayIcon(NIM_ADD, m_trayIconData);
    }
    return 0;
}

UINT CKestrunDlg::TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}
