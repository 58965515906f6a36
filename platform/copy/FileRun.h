// The run of a long file operation, apart from the work it does: the copy (CFileTreeCopier)
// is one kind of work, a removal of a list of files would be another. A run owns:
// - the progress counters that a window reads from another thread (GetPhase, the items
//   found while preparing, the total and done bytes, the name of the item last begun, the
//   milliseconds spent on questions);
// - the worker threads (RunWorkItems): items 0..n-1 taken in order by up to kMaxThreads
//   threads at once, the calling thread among them, all ended before it returns;
// - Cancel (RequestCancel, from any thread; the work looks at IsCancelRequested before
//   each item and each chunk);
// - one question per fault (Recover): an error that trying again may mend goes to
//   OnRecoverableError, one call at a time; the other workers wait at their next
//   WaitWhilePaused meanwhile, and those that met a fault of their own before the answer
//   take that answer as theirs, unasked;
// - the first error that ends the run (Fail) and its sentence (GetErrorDescription);
// - the wait for another program's short hold on a file (WaitOutHolds).
//
// A kind of work derives from CFileRun, does its work in a Run of its own on whatever
// thread calls it (SetPhase as it goes, SetPhase(phaseDone) last), and calls Recover
// where a step may be tried again. Who answers is decided outside it: derive and override
// OnRecoverableError, or hand it an Answerer (a person's Retry/Cancel box: RunAsking in
// RunWithProgress.h; the quiet retries of a run without a person: CQuietRetries).
//
// A removal of a list of files, for instance, needs nothing of the copy:
//   Run():           SetItemsFound / AddTotalBytes while it lists the files (phasePreparing),
//                    SetPhase(phaseWorking), r = RunWorkItems(nFiles, kMaxThreads),
//                    SetPhase(phaseDone), return r
//   NameOfItem(i):   the file's name as the window shows it
//   DoWorkItem(i):   SetCurrentItem(i); loop { n = GetAnswers();
//                    e = WaitOutHolds(delete file i); if (e == 0) { AddBytesDone(size);
//                    return 0; } e = Recover(e, "\"x\" is in use ...", n); if (e) return e; }
//   shown:           RunAsking(remover, "Removing...", texts) with a person at the PC;
//                    SetAnswerer(&quiet) and RunUnattended(remover, ...) without one.
// Guarantees: DoWorkItem is called once per item that is taken, never after a cancel or
// a Fail has been seen; every worker has ended when RunWorkItems returns. Recover calls
// OnRecoverableError on the worker that met the fault, never two at a time; an Answerer
// that shows a box must do so on the window's thread (CRunProgressDlg::AskRetry does).
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

#include <atomic>

class CFileRun
{
public:
    enum Phase
    {
        phasePreparing,   // checking and listing: GetItemsFound counts
        phaseWorking,     // GetTotalBytes, GetBytesDone and GetCurrentName are valid
        phaseDone,        // the work has returned
    };

    // What to do after an error that trying again may mend.
    enum Recovery
    {
        recoverFail,     // stop, with the error
        recoverRetry,    // try the step again
        recoverCancel,   // stop as a cancel does
        recoverSkip,     // leave this item as it is and go on with the others
    };

    // Decides what an error that trying again may mend comes to; called on a worker
    // thread, one call at a time, while the other workers wait.
    class Answerer
    {
    public:
        virtual ~Answerer() = default;
        virtual Recovery Answer(const CFileRun& run, const CString& strText, DWORD dwError) = 0;
    };

    // The most worker threads that RunWorkItems starts, the calling one included.
    static constexpr unsigned kMaxThreads = 4;

    CFileRun();
    virtual ~CFileRun();
    CFileRun(const CFileRun&) = delete;
    CFileRun& operator=(const CFileRun&) = delete;

    // Does the whole work once, on whatever thread calls it; returns 0, ERROR_CANCELLED or
    // the first error (GetErrorDescription says what failed). Ends with SetPhase(phaseDone).
    virtual DWORD Run() = 0;

    // Before the run: who answers (not owned; nullptr: every such error fails the run).
    void SetAnswerer(Answerer* pAnswerer) { m_pAnswerer = pAnswerer; }

    // Any thread: asks the run to stop at the next item or chunk.
    void RequestCancel() { m_bCancel.store(true, std::memory_order_relaxed); }
    bool IsCancelRequested() const { return m_bCancel.load(std::memory_order_relaxed); }

    // Any thread, while the run works.
    Phase GetPhase() const { return m_phase.load(std::memory_order_acquire); }
    unsigned GetItemsFound() const { return m_nItemsFound.load(std::memory_order_relaxed); }
    ULONGLONG GetTotalBytes() const { return m_ullTotalBytes; }          // from phaseWorking
    ULONGLONG GetBytesDone() const { return m_ullBytesDone.load(std::memory_order_relaxed); }
    // The name of the item last begun (NameOfItem); "" outside phaseWorking.
    CString GetCurrentName() const;
    // Milliseconds spent waiting for OnRecoverableError, the present wait included: the
    // work's pace leaves them out.
    DWORD GetPausedMillis() const;

    // After the run: a sentence naming what failed and the paths involved (no system text).
    const CString& GetErrorDescription() const { return m_strError; }

    // Runs a step again after growing pauses, for a few seconds, while another program's
    // hold refuses it (a virus scanner or a sync client opens new files for a moment);
    // returns the step's last result.
    template <class Step>
    static DWORD WaitOutHolds(Step step)
    {
        DWORD dwError = step();
        for (DWORD dwPause = 50; dwPause <= kLongestHoldPause && IsHoldError(dwError); dwPause *= 2)
        {
            ::Sleep(dwPause);
            dwError = step();
        }
        return dwError;
    }
    static constexpr DWORD kLongestHoldPause = 1600;
    static bool IsHoldError(DWORD dwError)
    {
        return dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION || dwError == ERROR_ACCESS_DENIED;
    }

protected:
    // Called by Recover on a worker thread, one call at a time, while the other workers
    // wait at their next WaitWhilePaused: strText names the file or folder and says what
    // happened in plain words, dwError is the system's error. Not called again for the
    // faults that other workers met before the answer. This class asks the Answerer, or
    // answers recoverFail without one.
    virtual Recovery OnRecoverableError(const CString& strText, DWORD dwError);

    // The name GetCurrentName shows for an item that SetCurrentItem named.
    virtual CString NameOfItem(int nItem) const = 0;

    // One item of RunWorkItems, on a worker thread; pState is what BeginWorker gave this
    // thread. 0 to go on; anything else ends this thread's share (the work has called Fail,
    // or the run was cancelled).
    virtual DWORD DoWorkItem(int nIndex, void* pState) = 0;
    // On each worker thread before its first item: 0, or an error that ends that thread's
    // share (the others go on; the work calls Fail itself when none can do without).
    virtual DWORD BeginWorker(void*& pState) { pState = nullptr; return 0; }
    virtual void EndWorker(void* pState) { (void)pState; }

    // Does DoWorkItem for items 0..nCount-1 on nThreads threads at most (this one among
    // them). Returns the first error, ERROR_CANCELLED when not every item was done, or 0.
    DWORD RunWorkItems(int nCount, unsigned nThreads);
    int GetItemsTaken() const { return m_nNextItem.load(); }
    int GetItemsCompleted() const { return m_nItemsDone.load(); }

    void SetPhase(Phase phase);
    void SetItemsFound(unsigned nItems) { m_nItemsFound.store(nItems, std::memory_order_relaxed); }
    void AddTotalBytes(ULONGLONG ullBytes) { m_ullTotalBytes += ullBytes; }   // before phaseWorking
    void AddBytesDone(ULONGLONG ullBytes) { m_ullBytesDone.fetch_add(ullBytes, std::memory_order_relaxed); }
    void TakeBackBytesDone(ULONGLONG ullBytes) { m_ullBytesDone.fetch_sub(ullBytes, std::memory_order_relaxed); }
    void SetCurrentItem(int nItem) { m_nCurrentItem.store(nItem, std::memory_order_relaxed); }

    // Records the first error, with a sentence built from pszFormat and the paths, and
    // stops the workers; returns dwError.
    DWORD Fail(DWORD dwError, const char* pszFormat, const CString& strPath1,
               const CString& strPath2 = CString());
    // After an error that trying again may mend: 0 to try again, ERROR_CANCELLED to stop,
    // or the error, recorded as Fail does (not recorded after recoverSkip: HasFailed tells). nAnswered: GetAnswers() when the failed step
    // began; a question answered since then answers this error too.
    DWORD Recover(DWORD dwError, const CString& strText, unsigned nAnswered);
    unsigned GetAnswers() const { return m_nAnswers.load(); }
    // Holds the calling worker while a question is open.
    void WaitWhilePaused();
    bool HasFailed() const { return m_bFailed.load(std::memory_order_relaxed); }
    DWORD GetFirstError() const;

private:
    static unsigned __stdcall WorkerMain(void* pThis);
    void WorkOnThisThread();

    Answerer* m_pAnswerer = nullptr;
    int m_nWorkItems = 0;
    std::atomic<int> m_nNextItem{0};             // the next item to take
    std::atomic<int> m_nItemsDone{0};

    CRITICAL_SECTION m_askLock;                  // one OnRecoverableError at a time
    HANDLE m_hGoing = nullptr;                   // set while no question is open
    std::atomic<unsigned> m_nAnswers{0};         // questions answered
    Recovery m_lastAnswer = recoverFail;         // under m_askLock
    std::atomic<DWORD> m_dwPauseStart{0};        // tick count (| 1) of the open question; 0 when none
    std::atomic<DWORD> m_dwPausedMs{0};          // of the questions answered

    mutable CRITICAL_SECTION m_errorLock;
    DWORD m_dwError = 0;                         // the first error; under m_errorLock
    CString m_strError;                          // under m_errorLock until the run returns
    std::atomic<bool> m_bFailed{false};

    std::atomic<bool> m_bCancel{false};
    std::atomic<Phase> m_phase{phasePreparing};
    std::atomic<unsigned> m_nItemsFound{0};
    std::atomic<ULONGLONG> m_ullBytesDone{0};
    std::atomic<int> m_nCurrentItem{-1};
    ULONGLONG m_ullTotalBytes = 0;   // written before phaseWorking is published
};
