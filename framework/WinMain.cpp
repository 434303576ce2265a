// Entry point of a framework program: the global application object does the rest.
#include "framework/afxwin.h"

extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    if (!pApp->InitInstance()) {
        if (CWnd* pMain = AfxGetMainWnd(); pMain != nullptr && pMain->m_hWnd != nullptr)
            pMain->DestroyWindow();
        return pApp->ExitInstance();
    }
    return pApp->Run();
}
