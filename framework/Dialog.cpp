#include "framework/Dialog.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;
    HWND hControl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hControl != nullptr)
        rControl.SubclassWindow(hControl);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (pDlg == nullptr || !pDlg->SubclassWindow(hWnd))
        return TRUE;
    // From here on the dialog's messages reach its message map; the dialog manager's
    // own procedure is the default processing.
    CCurrentMessageScope scope(hWnd, message, wParam, lParam);
    return pDlg->OnInitDialog();
}

HWND CDialog::CreateFromTemplate(HWND hWndOwner)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    if (hRes == nullptr)
        return nullptr;
    HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
    auto* tmpl = static_cast<LPCDLGTEMPLATEA>(::LockResource(hGlobal));
    if (tmpl == nullptr)
        return nullptr;
    return ::CreateDialogIndirectParamA(hInst, tmpl, hWndOwner, AfxDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal()
{
    m_nModalResult = -1;
    m_bEndRequested = FALSE;
    m_bRanModalLoop = false;

    // Owner: the given parent, else the main window (unless that is this dialog).
    HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (hOwner == nullptr && AfxGetMainWnd() != nullptr && AfxGetMainWnd() != this)
        hOwner = AfxGetMainWnd()->m_hWnd;
    BOOL ownerDisabled = FALSE;
    if (hOwner != nullptr && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        ownerDisabled = TRUE;
    }

    if (CreateFromTemplate(hOwner) != nullptr && !m_bEndRequested)
        RunModalLoop();

    if (ownerDisabled) {
        ::EnableWindow(hOwner, TRUE);
        ::SetActiveWindow(hOwner);
    }
    if (m_hWnd != nullptr)
        DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    m_bRanModalLoop = true;
    MSG msg;
    while (!m_bEndRequested && m_hWnd != nullptr) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for whoever runs the next loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    return CreateFromTemplate(pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr) != nullptr;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndRequested = TRUE;
    // Wake the loop if it is waiting.
    if (m_hWnd != nullptr)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Dialog keys (Tab, Enter, Escape, mnemonics) for this dialog and its controls.
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hWnd != nullptr &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return ::IsDialogMessageA(m_hWnd, pMsg);
    return FALSE;
}
