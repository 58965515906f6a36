// While a long task runs that must not be cut off (a copy of hundreds of megabytes): tells
// Windows why a shutdown or log-off should wait (ShutdownBlockReasonCreate, Vista and
// later, looked up at run time), and when the session ends all the same, stops the task
// as its Cancel would, then holds the session's end until the process has had time to
// finish cleanly and exit.
//
// Windows sends WM_QUERYENDSESSION and WM_ENDSESSION to top-level windows, so the guard
// keeps one, hidden, on a thread of its own: it answers even while the task's thread runs
// no messages (a run with no window at all).
#pragma once

#include "platform/Afx.h"

class CSessionEndGuard
{
public:
    typedef void (*PFN_STOP)(void* pContext);

    // The reason Windows shows for the wait; set once when the program starts. Without
    // one, the guard still stops the task when the session ends.
    static void SetReason(LPCSTR pszReason);

    // Whether the session of this process has ended during a guarded task.
    static bool HasSessionEnded();

    // The window's class, for tests that play Windows' messages.
    static constexpr const char* kWindowClass = "VORMELSessionEnd";

    CSessionEndGuard(PFN_STOP pfnStop, void* pContext);
    ~CSessionEndGuard();
    CSessionEndGuard(const CSessionEndGuard&) = delete;
    CSessionEndGuard& operator=(const CSessionEndGuard&) = delete;

    struct State;   // shared with the guard's thread

private:
    State* m_pState;
    HANDLE m_hThread;
};
