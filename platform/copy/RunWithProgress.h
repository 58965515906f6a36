// A file run (CFileRun) shown to the user: the run works on a thread of its own while the
// calling thread shows its progress window (CRunProgressDlg) and runs the thread's
// messages, so every window of the program keeps answering; the call returns only when
// the run has ended. A WM_QUIT that arrives meanwhile is posted again before the call
// returns. Meanwhile a shutdown or log-off is asked to wait (CSessionEndGuard); one that
// comes all the same stops the run as Cancel does (ERROR_CANCELLED), with a person at the
// PC or without. The copy (CopyWithProgress) is one user; any other kind of file work uses it
// the same way, with RunTexts of its own.
#pragma once

#include "platform/Afx.h"
#include "platform/copy/RunProgressDlg.h"

class CFileRun;

// With a person at the PC: an error that trying again may mend is asked about in a box
// owned by the progress window, caption pszTitle, MB_RETRYCANCEL | MB_ICONERROR, with the
// run's sentence and the system's own text for the error; the other workers wait
// meanwhile. Retry tries the step again, as often as the user asks; Cancel ends as the
// window's Cancel does. An error that ends the run is shown in a box (owner the progress
// window, caption pszTitle, MB_OK | MB_ICONERROR: the run's sentence, then the system's
// text) before the call returns. Returns what the run's Run returns
// (ERROR_NOT_ENOUGH_MEMORY when no thread could be started for it).
DWORD RunAsking(CFileRun& run, LPCSTR pszTitle, const RunTexts& texts = g_copyTexts);

// Without a person at the PC: no box is ever shown; the run's own OnRecoverableError or
// Answerer (CQuietRetries) decides. The progress window only with runWindowWithCancel or
// runWindowNoCancel, the latter without its Cancel (Escape and the close box do nothing
// either). Returns what the run's Run returns.
enum RunWindow
{
    runWindowNone,
    runWindowNoCancel,
    runWindowWithCancel,
};
DWORD RunUnattended(CFileRun& run, LPCSTR pszTitle, RunWindow window, const RunTexts& texts = g_copyTexts);
