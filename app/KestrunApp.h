// The application object: one copy per logon, then the panel, run modally.
#pragma once
#include "framework/ScopedHandle.h"
#include "framework/afxwin.h"

class CKestrunApp : public CWinApp {
public:
    CKestrunApp() = default;
    ~CKestrunApp() override = default;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Held from InitInstance to ExitInstance: it marks the running copy.
    CScopedHandle<MutexHandleTraits> m_hMutex;

    BEGIN_MSG_MAP(CKestrunApp)
        COMMAND_ID_HANDLER(ID_HELP, CWinApp::OnHelp)
    END_MSG_MAP()
};

extern CKestrunApp theApp;
