// The application object and the process-wide framework functions.
#pragma once
#include <windows.h>
#include "framework/MessageMap.h"

class CWnd;

// Anything with a message map: windows and the application (which sees the commands
// that no window handled).
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    virtual BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
    {
        return FALSE;
    }
};

#define ID_HELP 0xE146

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop for programs whose InitInstance returns TRUE.
    virtual int Run();

    // Does nothing: kept because start-up calls it by name.
    void SetRegistryKey(LPCSTR lpszRegistryKey);
    HICON LoadIcon(UINT nIDResource) const;
    HCURSOR LoadCursor(UINT nIDResource) const;
    void OnHelp();

    // Set before the main window is created: AfxPostToMainWnd follows the window that is
    // attached while this points at it.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName = nullptr;

    BEGIN_MSG_MAP(CWinApp)
        COMMAND_ID_HANDLER(ID_HELP, OnHelp)
    END_MSG_MAP()
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// Posts to the application's main window from any thread; FALSE when there is none.
BOOL AfxPostToMainWnd(UINT message, WPARAM wParam, LPARAM lParam);
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
// The same box through the wide call: the text shows whatever the ANSI code page.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK);
// Does nothing: kept because start-up calls it by name.
void AfxEnableControlContainer();

// Framework-internal: keeps the cross-thread copy of the main window handle; Forget clears
// it if it still names hWnd.
void AfxSetMainWndHandle(HWND hWnd);
void AfxForgetMainWndHandle(HWND hWnd);
