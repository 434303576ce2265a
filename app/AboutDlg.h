// The about box, opened from the panel's system menu.
#pragma once
#include "framework/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
    ~CAboutDlg() override = default;

protected:
    void DoDataExchange(CDataExchange* pDX) override { CDialog::DoDataExchange(pDX); }

    BEGIN_MSG_MAP(CAboutDlg)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()
};
