#include "platform/copy/RunProgressDlg.h"

#include "platform/copy/CopyAmount.h"
#include "platform/copy/FileRun.h"

#include <commctrl.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMillis = 50;
// The amount line changes at most this often, so that it can be read.
const DWORD kAmountMillis = 250;
const int kBarRange = 10000;
const UINT WM_ASK_RETRY = WM_APP + 1;

}  // namespace

const RunTexts g_copyTexts = { "Preparing to copy...", "%u files and folders found", "Copying:" };

BEGIN_MESSAGE_MAP(CRunProgressDlg, CDialog)
    ON_WM_TIMER()
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_MESSAGE(WM_ASK_RETRY, OnAskRetry)
END_MESSAGE_MAP()

CRunProgressDlg::CRunProgressDlg(CFileRun& run, LPCSTR pszTitle, const RunTexts& texts)
    : CDialog(IDD), m_run(run), m_strTitle(pszTitle), m_texts(texts)
{
}

CRunProgressDlg::~CRunProgressDlg()
{
    DestroyWindow();
}

BOOL CRunProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_strTitle);
    SendDlgItemMessage(IDC_COPY_BAR, PBM_SETRANGE32, 0, kBarRange);
    Refresh();
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMillis, nullptr);
    return TRUE;   // the focus on Cancel, the only tab stop
}

void CRunProgressDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRefreshTimer)
        Refresh();
}

bool CRunProgressDlg::AskRetry(LPCSTR pszText)
{
    // Without the window, the box stands alone on the asking thread.
    int nAnswer = m_hWnd != nullptr
        ? static_cast<int>(SendMessage(WM_ASK_RETRY, 0, reinterpret_cast<LPARAM>(pszText)))
        : ::MessageBoxA(nullptr, pszText, m_strTitle, MB_RETRYCANCEL | MB_ICONERROR);
    return nAnswer == IDRETRY;
}

LRESULT CRunProgressDlg::OnAskRetry(WPARAM, LPARAM lParam)
{
    return ::MessageBoxA(m_hWnd, reinterpret_cast<LPCSTR>(lParam), m_strTitle, MB_RETRYCANCEL | MB_ICONERROR);
}

// Cancel, Escape and the close box (which the dialog manager turns into IDCANCEL) stop the
// run; the window itself stays until the run has ended.
void CRunProgressDlg::OnCancel()
{
    if (m_run.GetPhase() == CFileRun::phaseDone)
        return;
    m_run.RequestCancel();
    if (CWnd* pCancel = GetDlgItem(IDCANCEL))
        pCancel->EnableWindow(FALSE);
    Refresh();
}

void CRunProgressDlg::SetItemText(int nID, const CString& strText, CString& strShown)
{
    if (strText == strShown)
        return;
    strShown = strText;
    SetDlgItemText(nID, strText);
}

void CRunProgressDlg::Refresh()
{
    if (m_hWnd == nullptr)
        return;
    CFileRun::Phase phase = m_run.GetPhase();
    CString strAction = m_strShownAction;
    CString strName = m_strShownName;
    CString strAmount = m_strShownAmount;
    int nPos = m_nShownPos < 0 ? 0 : m_nShownPos;
    DWORD dwNow = ::GetTickCount();
    if (m_run.IsCancelRequested() && phase != CFileRun::phaseDone)
    {
        strAction = "Cancelling...";
    }
    else if (phase == CFileRun::phasePreparing)
    {
        strAction = m_texts.pszPreparing;
        strName.Format(m_texts.pszFoundFormat, m_run.GetItemsFound());
    }
    else
    {
        ULONGLONG ullTotal = m_run.GetTotalBytes();
        ULONGLONG ullDone = m_run.GetBytesDone();
        if (ullDone > ullTotal)
            ullDone = ullTotal;
        if (ullTotal > 0)
            nPos = static_cast<int>(ullDone * kBarRange / ullTotal);
        else if (phase == CFileRun::phaseDone)
            nPos = kBarRange;
        if (phase == CFileRun::phaseWorking)
        {
            strAction = m_texts.pszWorking;
            strName = m_run.GetCurrentName();
            if (m_dwWorkStart == 0)
            {
                m_dwWorkStart = dwNow != 0 ? dwNow : 1;
                m_dwPausedBefore = m_run.GetPausedMillis();
            }
        }
        if (m_dwWorkStart != 0
            && (m_strShownAmount.IsEmpty() || ullDone == ullTotal || dwNow - m_dwAmountShown >= kAmountMillis))
        {
            // The pace leaves out the time that a question held the run.
            DWORD dwPaused = m_run.GetPausedMillis() - m_dwPausedBefore;
            DWORD dwElapsed = dwNow - m_dwWorkStart;
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
