#include "app/KestrunApp.h"

#include <commctrl.h>

#include "panel/KestrunDlg.h"

CKestrunApp theApp;

BOOL CKestrunApp::InitInstance()
{
    // A stale error code from earlier start-up calls must not pass for "already exists".
    ::SetLastError(ERROR_SUCCESS);
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, "CKestrunApp");
    const DWORD error = ::GetLastError();
    m_hMutex.Reset(mutex);
    if (error == ERROR_ALREADY_EXISTS)
        return FALSE;  // another copy runs in this logon: end silently

    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("Local AppWizard-Generated Applications");

    CKestrunDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The panel has ended; no message loop follows.
    return FALSE;
}

int CKestrunApp::ExitInstance()
{
    m_hMutex.Reset();  // closes it only if CreateMutexA gave one
    return CWinApp::ExitInstance();
}
