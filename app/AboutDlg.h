// The about box, opened from the panel's system menu.
#pragma once
#include "framework/Artwork.h"
#include "framework/DisplayScale.h"
#include "framework/ScopedHandle.h"
#include "framework/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
    ~CAboutDlg() override = default;

protected:
    void DoDataExchange(CDataExchange* pDX) override { CDialog::DoDataExchange(pDX); }

    // The dialog manager sizes the box and its text for its monitor; the icon, its first
    // control, is drawn for that scale here rather than stretched from the system size.
    BOOL OnInitDialog() override
    {
        BOOL result = CDialog::OnInitDialog();
        m_icon.Reset(LoadScaledIcon(IDR_MAINFRAME, ScaleLength(32, WindowDpi(m_hWnd))));
        if (HWND iconControl = ::GetWindow(m_hWnd, GW_CHILD); iconControl != nullptr && m_icon.IsValid())
            ::SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(m_icon.Get()), 0);
        return result;
    }

    CIconHandle m_icon;

    BEGIN_MSG_MAP(CAboutDlg)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()
};
