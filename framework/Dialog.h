// CDialog: dialogs from templates, run modally through the framework's own loop so that
// PreTranslateMessage sees every message first.
#pragma once
#include <atomic>

#include "framework/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Subclasses the dialog's control nIDC into rControl, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    // Modeless creation (tests, tools); the caller destroys the window.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // True once the dialog has entered its modal loop (tests watch it from other threads).
    BOOL HasRunModalLoop() const { return m_bRanModalLoop.load() ? TRUE : FALSE; }

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}

    BEGIN_MSG_MAP(CDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    UINT m_nIDHelp = 0;
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    // Modal creation passes pbHidVisible: the dialog is created hidden and told whether
    // its template asked to be visible.
    HWND CreateFromTemplate(HWND hWndOwner, BOOL* pbHidVisible);
    void RunModalLoop();
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);

    int m_nModalResult = -1;
    BOOL m_bEndRequested = FALSE;
    std::atomic<bool> m_bRanModalLoop{false};
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
