// The about box, opened from the panel's system menu.
#pragma once
#include "framework/UiText.h"
#include "framework/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
    ~CAboutDlg() override = default;

protected:
    void DoDataExchange(CDataExchange* pDX) override { CDialog::DoDataExchange(pDX); }

    // The template is written in English; its words are shown in the user's language. The
    // copyright line and the names stay as they are.
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetWindowText(LoadUiText(IDS_ABOUT_CAPTION).c_str());
        // The version line is the control after the icon; neither has an ID of its own.
        HWND icon = ::GetWindow(m_hWnd, GW_CHILD);
        if (HWND version = icon != nullptr ? ::GetWindow(icon, GW_HWNDNEXT) : nullptr)
            ::SetWindowTextW(version, LoadUiText(IDS_ABOUT_VERSION).c_str());
        ::SetDlgItemTextW(m_hWnd, IDOK, LoadUiText(IDS_ABOUT_OK).c_str());
        return TRUE;
    }

    BEGIN_MSG_MAP(CAboutDlg)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()
};
