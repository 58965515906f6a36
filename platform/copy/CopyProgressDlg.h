// The progress window of the copying engine (CopyWithProgress): a modeless dialog without
// owner, so that every other window of the program stays usable, with the copy's title as
// caption, a line saying what happens, the name of the file being copied, a progress bar
// over the total bytes, the amount copied with the time left, and a Cancel button
// (IDCANCEL). It reads the copier's progress on a timer of its own, so that it moves on
// under any message loop of its thread (a message box or About box opened meanwhile
// included). Cancel, Escape and the close box ask the copier to stop; the window stays
// until it is destroyed. A copy thread's question (AskRetry) is asked in a message box
// that the window owns, on the window's thread, which keeps painting the window behind it.
#pragma once

#include "platform/Dialog.h"
#include "platform/String.h"
#include "res/resource.h"

class CFileTreeCopier;

class CCopyProgressDlg : public CDialog
{
public:
    enum { IDD = IDD_COPY_PROGRESS };

    CCopyProgressDlg(CFileTreeCopier& copier, LPCSTR pszTitle);
    ~CCopyProgressDlg() override;

    // Shows the copier's state now (the timer does so every few hundredths of a second).
    void Refresh();

    // Any thread: asks, in a box with Retry and Cancel, whether to try again after the
    // error that pszText describes; true for Retry.
    bool AskRetry(LPCSTR pszText);

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnAskRetry(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void SetItemText(int nID, const CString& strText, CString& strShown);

    CFileTreeCopier& m_copier;
    CString m_strTitle;
    int m_nShownPos = -1;
    CString m_strShownAction;
    CString m_strShownName;
    CString m_strShownAmount;
    DWORD m_dwCopyStart = 0;        // tick count when the copying began; 0 before
    DWORD m_dwPausedBefore = 0;     // the copier's paused milliseconds then
    DWORD m_dwAmountShown = 0;      // tick count of the last change of the amount line
};
