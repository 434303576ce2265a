// The yardstick for start-up: the least a Win32 program can do to show a dialog.
#include <windows.h>

static INT_PTR CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(hWnd, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    // An in-memory template: pop-up, visible, 200 x 100 dialog units, titled for the bench.
    struct {
        DLGTEMPLATE tmpl;
        WORD menu, cls;
        wchar_t title[20];
    } t{};
    t.tmpl.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    t.tmpl.cx = 200;
    t.tmpl.cy = 100;
    lstrcpyW(t.title, L"Minimal Dialog Bench");
    return static_cast<int>(DialogBoxIndirectParamW(hInstance, &t.tmpl, nullptr, Proc, 0));
}
