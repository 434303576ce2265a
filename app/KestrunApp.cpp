#include "app/KestrunApp.h"

#include <commctrl.h>

#include "panel/KestrunDlg.h"

CKestrunApp theApp;

BOOL CKestrunApp::InitInstance()
{
    // A stale error code from earlier start-up calls must not pass for "already exists".
    ::SetLastError(ERROR_SUCCESS);
    m_hMutex = ::CreateMutexA(nullptr, FALSE, "CKestrunApp");
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
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
    if (m_hMutex != nullptr)
        ::CloseHandle(m_hMutex);
    return CWinApp::ExitInstance();
}
