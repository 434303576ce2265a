// The application object: one copy per logon, then the panel, run modally.
#pragma once
#include "framework/afxwin.h"

class CKestrunApp : public CWinApp {
public:
    CKestrunApp() = default;
    ~CKestrunApp() override = default;

    BOOL InitInstance() override;
    int ExitInstance() override;

    HANDLE m_hMutex = nullptr;  // held from InitInstance to ExitInstance: it marks the running copy

    BEGIN_MSG_MAP(CKestrunApp)
        COMMAND_ID_HANDLER(ID_HELP, CWinApp::OnHelp)
    END_MSG_MAP()
};

extern CKestrunApp theApp;
