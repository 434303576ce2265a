#include "framework/WinApp.h"
#include "framework/ModulePath.h"
#include "framework/Wnd.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {
CWinApp* g_app = nullptr;
// The main window's handle as other threads see it; the pointer itself is UI-thread only.
std::atomic<HWND> g_mainWndHandle{nullptr};
}

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    g_app = this;
    m_hInstance = ::GetModuleHandleA(nullptr);
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

// Start-up calls it by name; the program keeps no profile in the registry, so nothing is stored.
void CWinApp::SetRegistryKey(LPCSTR) {}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const
{
    return ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

// The program ships no help file.
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app != nullptr ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle()
{
    return g_app != nullptr ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void AfxSetMainWndHandle(HWND hWnd) { g_mainWndHandle.store(hWnd); }

void AfxForgetMainWndHandle(HWND hWnd) { g_mainWndHandle.compare_exchange_strong(hWnd, nullptr); }

BOOL AfxPostToMainWnd(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = g_mainWndHandle.load();
    return hWnd != nullptr && ::PostMessageA(hWnd, message, wParam, lParam);
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, lpszText, -1, nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, lpszText, -1, text.data(), length);
    return AfxMessageBox(text.c_str(), nType);
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType)
{
    char titleAnsi[MAX_PATH] = "";
    if (g_app != nullptr && g_app->m_pszAppName != nullptr) {
        lstrcpynA(titleAnsi, g_app->m_pszAppName, MAX_PATH);
    } else {
        // The executable's base name, as the framework titles its message boxes.
        const std::string path = ExecutablePath();
        const std::size_t slash = path.find_last_of("\\/");
        lstrcpynA(titleAnsi, path.c_str() + (slash == std::string::npos ? 0 : slash + 1), MAX_PATH);
        if (char* dot = strrchr(titleAnsi, '.'))
            *dot = '\0';
    }
    wchar_t title[MAX_PATH] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, titleAnsi, -1, title, MAX_PATH);
    // Owned by the main window's last active pop-up, as the framework does: a box the main
    // window has open (the about box) is the one to disable, and the dialog manager enables
    // the message box's owner when it ends, so owning it by the main window would give the
    // main window back while its own modal box still runs.
    CWnd* pMain = AfxGetMainWnd();
    HWND top = pMain != nullptr ? pMain->m_hWnd : nullptr;
    HWND owner = top;
    if (top != nullptr) {
        HWND popup = ::GetLastActivePopup(top);
        if (popup != nullptr && ::IsWindowVisible(popup) && ::IsWindowEnabled(popup))
            owner = popup;
    }
    // A box without an icon of its own gets the one the framework gives it, as users know it.
    if ((nType & MB_ICONMASK) == 0) {
        const UINT buttons = nType & MB_TYPEMASK;
        if (buttons == MB_OK || buttons == MB_OKCANCEL)
            nType |= MB_ICONEXCLAMATION;
        else if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL)
            nType |= MB_ICONQUESTION;
    }
    const bool disableTop = owner != top && ::IsWindowEnabled(top);
    if (disableTop)
        ::EnableWindow(top, FALSE);
    int result = ::MessageBoxW(owner, lpszText, title, nType);
    if (disableTop)
        ::EnableWindow(top, TRUE);
    return result;
}

// Start-up calls it by name; the program hosts no ActiveX controls.
void AfxEnableControlContainer() {}
