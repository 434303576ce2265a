#include "framework/Dialog.h"

#include <cstring>
#include <vector>

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

HWND CDialog::CreateFromTemplate(HWND hWndOwner, BOOL* pbHidVisible)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    if (hRes == nullptr)
        return nullptr;
    HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
    auto* tmpl = static_cast<LPCDLGTEMPLATEA>(::LockResource(hGlobal));
    if (tmpl == nullptr)
        return nullptr;
    if (pbHidVisible == nullptr)
        return ::CreateDialogIndirectParamW(hInst, reinterpret_cast<LPCDLGTEMPLATEW>(tmpl), hWndOwner, AfxDlgProc, reinterpret_cast<LPARAM>(this));

    // A modal dialog is created hidden: the dialog manager would show a visible template
    // right after WM_INITDIALOG, even when the initialisation has already ended it.
    const DWORD size = ::SizeofResource(hInst, hRes);
    std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    memcpy(copy.data(), tmpl, size);
    const auto* words = reinterpret_cast<const WORD*>(copy.data());
    const bool extended = size >= 16 && words[0] == 1 && words[1] == 0xFFFF;  // DLGTEMPLATEEX
    DWORD& style = copy[extended ? 3 : 0];
    *pbHidVisible = (style & WS_VISIBLE) != 0;
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    return ::CreateDialogIndirectParamW(hInst, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), hWndOwner,
                                        AfxDlgProc, reinterpret_cast<LPARAM>(this));
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

    BOOL visibleTemplate = FALSE;
    if (CreateFromTemplate(hOwner, &visibleTemplate) != nullptr) {
        // Ended during its initialisation: never shown, no loop.
        if (!m_bEndRequested && m_hWnd != nullptr) {
            if (visibleTemplate) {
                ShowWindow(SW_SHOWNORMAL);
                UpdateWindow();
            }
            RunModalLoop();
        }
        // Hidden before the owner is enabled, and the owner activated before the box is
        // destroyed, so that activation returns to the owner and not to another program.
        if (m_hWnd != nullptr)
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }

    if (ownerDisabled)
        ::EnableWindow(hOwner, TRUE);
    if (hOwner != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hOwner);
    if (m_hWnd != nullptr)
        DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    m_bRanModalLoop = true;
    // A dialog still hidden after its initialisation is shown when its queue first runs
    // dry, so that what the initialisation posted is handled before the first paint.
    BOOL showOnIdle = !IsWindowVisible();
    auto show = [&] {
        if (showOnIdle && !m_bEndRequested && m_hWnd != nullptr) {
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow();
        }
        showOnIdle = FALSE;
    };
    MSG msg;
    while (!m_bEndRequested && m_hWnd != nullptr) {
        if (showOnIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            show();
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for whoever runs the next loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        // The caret's timer and a system key show a dialog whose queue never runs dry.
        if (msg.message == 0x0118 /*WM_SYSTIMER*/ || msg.message == WM_SYSKEYDOWN)
            show();
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    return CreateFromTemplate(pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr, nullptr) != nullptr;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndRequested = TRUE;
    // The dialog manager hides the box, enables its owner and wakes the loop at once.
    if (m_hWnd != nullptr)
        ::EndDialog(m_hWnd, nResult);
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
        return ::IsDialogMessageW(m_hWnd, pMsg);
    return FALSE;
}
