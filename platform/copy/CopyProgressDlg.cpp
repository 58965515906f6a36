#include "platform/copy/CopyProgressDlg.h"

#include "platform/copy/CopyAmount.h"
#include "platform/copy/FileTreeCopier.h"

#include <commctrl.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMillis = 50;
// The amount line changes at most this often, so that it can be read.
const DWORD kAmountMillis = 250;
const int kBarRange = 10000;
const UINT WM_ASK_RETRY = WM_APP + 1;

}  // namespace

BEGIN_MESSAGE_MAP(CCopyProgressDlg, CDialog)
    ON_WM_TIMER()
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_MESSAGE(WM_ASK_RETRY, OnAskRetry)
END_MESSAGE_MAP()

CCopyProgressDlg::CCopyProgressDlg(CFileTreeCopier& copier, LPCSTR pszTitle)
    : CDialog(IDD), m_copier(copier), m_strTitle(pszTitle)
{
}

CCopyProgressDlg::~CCopyProgressDlg()
{
    DestroyWindow();
}

BOOL CCopyProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_strTitle);
    SendDlgItemMessage(IDC_COPY_BAR, PBM_SETRANGE32, 0, kBarRange);
    Refresh();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMillis, nullptr);
    return TRUE;   // the focus on Cancel, the only tab stop
}

void CCopyProgressDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRefreshTimer)
        Refresh();
}

bool CCopyProgressDlg::AskRetry(LPCSTR pszText)
{
    // Without the window, the box stands alone on the asking thread.
    int nAnswer = m_hWnd != nullptr
        ? static_cast<int>(SendMessage(WM_ASK_RETRY, 0, reinterpret_cast<LPARAM>(pszText)))
        : ::MessageBoxA(nullptr, pszText, m_strTitle, MB_RETRYCANCEL | MB_ICONERROR);
    return nAnswer == IDRETRY;
}

LRESULT CCopyProgressDlg::OnAskRetry(WPARAM, LPARAM lParam)
{
    return ::MessageBoxA(m_hWnd, reinterpret_cast<LPCSTR>(lParam), m_strTitle, MB_RETRYCANCEL | MB_ICONERROR);
}

// Cancel, Escape and the close box (which the dialog manager turns into IDCANCEL) stop the
// copy; the window itself stays until the copy has ended.
void CCopyProgressDlg::OnCancel()
{
    if (m_copier.GetPhase() == CFileTreeCopier::phaseDone)
        return;
    m_copier.RequestCancel();
    if (CWnd* pCancel = GetDlgItem(IDCANCEL))
        pCancel->EnableWindow(FALSE);
    Refresh();
}

void CCopyProgressDlg::SetItemText(int nID, const CString& strText, CString& strShown)
{
    if (strText == strShown)
        return;
    strShown = strText;
    SetDlgItemText(nID, strText);
}

void CCopyProgressDlg::Refresh()
{
    if (m_hWnd == nullptr)
        return;
    CFileTreeCopier::Phase phase = m_copier.GetPhase();
    CString strAction = m_strShownAction;
    CString strName = m_strShownName;
    CString strAmount = m_strShownAmount;
    int nPos = m_nShownPos < 0 ? 0 : m_nShownPos;
    DWORD dwNow = ::GetTickCount();
    if (m_copier.IsCancelRequested() && phase != CFileTreeCopier::phaseDone)
    {
        strAction = "Cancelling...";
    }
    else if (phase == CFileTreeCopier::phaseChecking || phase == CFileTreeCopier::phaseScanning)
    {
        strAction = "Preparing to copy...";
        strName.Format("%u files and folders found", m_copier.GetItemsFound());
    }
    else if (phase == CFileTreeCopier::phaseCopying || phase == CFileTreeCopier::phaseDone)
    {
        ULONGLONG ullTotal = m_copier.GetTotalBytes();
        ULONGLONG ullDone = m_copier.GetBytesDone();
        if (ullDone > ullTotal)
            ullDone = ullTotal;
        if (ullTotal > 0)
            nPos = static_cast<int>(ullDone * kBarRange / ullTotal);
        else if (phase == CFileTreeCopier::phaseDone)
            nPos = kBarRange;
        if (phase == CFileTreeCopier::phaseCopying)
        {
            strAction = "Copying:";
            strName = m_copier.GetCurrentName();
            if (m_dwCopyStart == 0)
            {
                m_dwCopyStart = dwNow != 0 ? dwNow : 1;
                m_dwPausedBefore = m_copier.GetPausedMillis();
            }
        }
        if (m_dwCopyStart != 0
            && (m_strShownAmount.IsEmpty() || ullDone == ullTotal || dwNow - m_dwAmountShown >= kAmountMillis))
        {
            // The pace leaves out the time that a question held the copy.
            DWORD dwPaused = m_copier.GetPausedMillis() - m_dwPausedBefore;
            DWORD dwElapsed = dwNow - m_dwCopyStart;
            strAmount = FormatCopyAmount(ullDone, ullTotal, dwElapsed > dwPaused ? dwElapsed - dwPaused : 0);
            m_dwAmountShown = dwNow;
        }
    }
    SetItemText(IDC_COPY_ACTION, strAction, m_strShownAction);
    SetItemText(IDC_COPY_NAME, strName, m_strShownName);
    SetItemText(IDC_COPY_AMOUNT, strAmount, m_strShownAmount);
    if (nPos != m_nShownPos)
    {
        m_nShownPos = nPos;
        SendDlgItemMessage(IDC_COPY_BAR, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
    }
}
