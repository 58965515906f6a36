#include "Dialog.h"

#include "WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    // A dialog without a parent is owned by the application's main window, so it is
    // modal over it; the main window itself has no handle yet when it is started.
    HWND hOwner = nullptr;
    if (m_pParentWnd != nullptr)
        hOwner = m_pParentWnd->m_hWnd;
    else if (CWnd* pMainWnd = AfxGetMainWnd(); pMainWnd != nullptr && pMainWnd != this)
        hOwner = pMainWnd->m_hWnd;

    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    if (m_hWnd != nullptr)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    HWND hOwner = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
    HWND hWnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDTemplate), hOwner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    // Commands the dialog does not handle go on to the application.
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_bDeclineNext = true;
    LRESULT lResult = ::DefDlgProcA(m_hWnd, message, wParam, lParam);
    m_bDeclineNext = false;
    return lResult;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The messages before WM_INITDIALOG (WM_SETFONT among them) find no object yet.
    if (message == WM_INITDIALOG)
        reinterpret_cast<CDialog*>(lParam)->Attach(hWnd);
    CDialog* pDlg = static_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
    if (pDlg == nullptr)
        return FALSE;
    if (pDlg->m_bDeclineNext)
    {
        pDlg->m_bDeclineNext = false;
        return FALSE;
    }
    if (message == WM_NCDESTROY)
    {
        pDlg->Detach();
        pDlg->PostNcDestroy();
        return FALSE;
    }

    CurrentMessage saved = pDlg->m_currentMsg;
    pDlg->m_currentMsg = { message, wParam, lParam };
    INT_PTR nResult = pDlg->HandleMessage(message, wParam, lParam);
    pDlg->m_currentMsg = saved;
    return nResult;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        // Dialogs open centred over their owner, or on the screen.
        CenterWindow();
        return OnInitDialog();
    }

    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        return FALSE;

    // These messages return their value straight from the dialog procedure; all others
    // through DWLP_MSGRESULT.
    switch (message)
    {
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return static_cast<INT_PTR>(lResult);
    default:
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
}
