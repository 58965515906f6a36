// The progress window of a file run (CFileRun: the copy, or any other kind of file work):
// a modeless dialog without owner, so that every other window of the program stays
// usable, with the run's title as caption, a line saying what happens, the name of the
// item being worked on, a progress bar over the total bytes, the amount done with the time
// left, and a Cancel button (IDCANCEL). It reads only the run's counters (CFileRun), on a
// timer of its own, so that it moves on under any message loop of its thread (a message
// box or About box opened meanwhile included). Cancel, Escape and the close box ask the
// run to stop; the window stays until it is destroyed. A worker's question (AskRetry) is
// asked in a message box that the window owns, on the window's thread, which keeps
// painting the window behind it. The lines that name the kind of work are RunTexts: the
// copy's by default.
#pragma once

#include "platform/Dialog.h"
#include "platform/String.h"
#include "res/resource.h"

class CFileRun;

// What the window says while the run prepares and works ("Preparing to copy...", "%u files
// and folders found" with the items found, "Copying:" above the current name).
struct RunTexts
{
    LPCSTR pszPreparing;
    LPCSTR pszFoundFormat;
    LPCSTR pszWorking;
};
extern const RunTexts g_copyTexts;

class CRunProgressDlg : public CDialog
{
public:
    enum { IDD = IDD_COPY_PROGRESS };

    CRunProgressDlg(CFileRun& run, LPCSTR pszTitle, const RunTexts& texts = g_copyTexts);
    ~CRunProgressDlg() override;

    // Shows the run's state now (the timer does so every few hundredths of a second).
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

    CFileRun& m_run;
    CString m_strTitle;
    RunTexts m_texts;
    int m_nShownPos = -1;
    CString m_strShownAction;
    CString m_strShownName;
    CString m_strShownAmount;
    DWORD m_dwWorkStart = 0;        // tick count when the work began; 0 before
    DWORD m_dwPausedBefore = 0;     // the run's paused milliseconds then
    DWORD m_dwAmountShown = 0;      // tick count of the last change of the amount line
};
