// The panel at its display scale: the DPI it is drawn for, where its controls sit, the hand
// cursor and the tray icon's size, and the move to a monitor of another scale.
#include "panel/KestrunDlg.h"

#include "framework/Artwork.h"
#include "framework/DisplayScale.h"
#include "panel/PanelLayout.h"
#include "panel/TrayIcon.h"

void CKestrunDlg::SetupDisplayScale()
{
    m_dpi = WindowDpi(m_hWnd);
    // The panel places every control itself; the dialog manager must not move them again.
    KeepDialogLayoutOnDpiChange(m_hWnd);
    LoadHandCursor();
    PlaceControls();
    SetLabelsDpi();
}

void CKestrunDlg::SetLabelsDpi()
{
    for (CLabel* label : {&m_lblHidden, &m_lblPanelVersion, &m_lblOsVersion, &m_lblWebAddress, &m_lblCopyright})
        label->SetDpi(m_dpi);
}

void CKestrunDlg::PlaceControls()
{
    for (const ControlPlace& place : kPanelPlaces96) {
        const RECT rc = ScaleRect(place.rect, m_dpi);
        ::SetWindowPos(::GetDlgItem(m_hWnd, place.id), nullptr, rc.left, rc.top, rc.right - rc.left,
                       rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CKestrunDlg::LoadHandCursor()
{
    HCURSOR cursor = LoadScaledCursor(IDC_HAND_CURSOR, m_dpi);
    if (cursor == nullptr)
        return;  // keep the one there is
    // The old one may be showing: hand over before it goes.
    if (m_hHandCursor != nullptr && ::GetCursor() == m_hHandCursor)
        ::SetCursor(cursor);
    m_handCursor.Reset(cursor);
    m_hHandCursor = cursor;
}

bool CKestrunDlg::UpdateTrayIconSize()
{
    // The shell draws the icon at the small-icon size of the taskbar's scale, whichever
    // monitor the panel is on.
    const int size = SystemMetricForDpi(SM_CXSMICON, TaskbarDpi());
    bool changed = false;
    if (size != m_trayIconSize || !m_trayIcon.IsValid()) {
        if (HICON icon = LoadScaledIcon(IDR_MAINFRAME, size)) {
            m_trayIcon.Reset(icon);
            m_trayIconSize = size;
            changed = true;
        }
    }
    // Without one of that size, the record keeps the program icon it was filled with.
    if (m_trayIcon.IsValid())
        m_trayIconData.hIcon = m_trayIcon.Get();
    return changed;
}

// Sent by the system when the panel is moved to a monitor of another scale, or that
// monitor's scale changes.
LRESULT CKestrunDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    const UINT dpi = LOWORD(wParam);
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    if (dpi == 0 || suggested == nullptr)
        return 0;
    m_dpi = dpi;
    LoadHandCursor();
    // Everything drawn again for the new scale; the states (levels, keys, link) stay.
    ApplySkin();
    PlaceControls();
    m_muteIndicator.SetStateBitmaps(IDB_MUTE_ON, IDB_MUTE_OFF, m_muteIndicator.m_state, m_dpi);
    m_linkIndicator.SetStateBitmaps(IDB_LINK_ON, IDB_LINK_OFF, m_linkIndicator.m_state, m_dpi);
    SetupBitmapButtons();
    LoadSliderImages();
    SetLabelsDpi();
    ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    if (UpdateTrayIconSize() && m_trayIconAdded)
        NotifyTrayIcon(NIM_MODIFY, m_trayIconData);
    return 0;
}

// The taskbar's scale can change while the panel stays where it is, also while it is hidden:
// such a change reaches every top-level window as a settings or display change.
LRESULT CKestrunDlg::OnTaskbarScaleMayHaveChanged(WPARAM, LPARAM)
{
    if (UpdateTrayIconSize() && m_trayIconAdded)
        NotifyTrayIcon(NIM_MODIFY, m_trayIconData);
    return Default();
}
