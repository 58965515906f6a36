#include "platform/copy/FileRun.h"

#include <process.h>

CFileRun::CFileRun()
{
    ::InitializeCriticalSection(&m_errorLock);
    ::InitializeCriticalSection(&m_askLock);
    m_hGoing = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

CFileRun::~CFileRun()
{
    if (m_hGoing != nullptr)
        ::CloseHandle(m_hGoing);
    ::DeleteCriticalSection(&m_askLock);
    ::DeleteCriticalSection(&m_errorLock);
}

CFileRun::Recovery CFileRun::OnRecoverableError(const CString& strText, DWORD dwError)
{
    return m_pAnswerer != nullptr ? m_pAnswerer->Answer(*this, strText, dwError) : recoverFail;
}

void CFileRun::SetPhase(Phase phase)
{
    if (phase == phaseDone)
        m_nCurrentItem.store(-1, std::memory_order_relaxed);
    m_phase.store(phase, std::memory_order_release);
}

CString CFileRun::GetCurrentName() const
{
    if (GetPhase() != phaseWorking)
        return CString();
    int nItem = m_nCurrentItem.load(std::memory_order_relaxed);
    return nItem < 0 ? CString() : NameOfItem(nItem);
}

DWORD CFileRun::Fail(DWORD dwError, const char* pszFormat, const CString& strPath1, const CString& strPath2)
{
    CString strText;
    strText.Format(pszFormat, static_cast<LPCSTR>(strPath1), static_cast<LPCSTR>(strPath2));
    ::EnterCriticalSection(&m_errorLock);
    if (m_dwError == 0)
    {
        m_dwError = dwError;
        m_strError = strText;
    }
    ::LeaveCriticalSection(&m_errorLock);
    m_bFailed.store(true, std::memory_order_relaxed);
    return dwError;
}

DWORD CFileRun::GetFirstError() const
{
    ::EnterCriticalSection(&m_errorLock);
    DWORD dwError = m_dwError;
    ::LeaveCriticalSection(&m_errorLock);
    return dwError;
}

DWORD CFileRun::Recover(DWORD dwError, const CString& strText, unsigned nAnswered)
{
    Recovery recovery = recoverCancel;
    ::EnterCriticalSection(&m_askLock);
    // After a cancel, or another thread's error, there is nothing left to ask; after a
    // Retry since the step began, the step is tried again unasked.
    if (!IsCancelRequested() && !HasFailed() && m_nAnswers.load() != nAnswered)
    {
        recovery = m_lastAnswer;
    }
    else if (!IsCancelRequested() && !HasFailed())
    {
        ::ResetEvent(m_hGoing);
        DWORD dwStart = ::GetTickCount();
        m_dwPauseStart.store(dwStart | 1);
        recovery = OnRecoverableError(strText, dwError);
        m_lastAnswer = recovery;
        m_nAnswers.fetch_add(1);
        m_dwPausedMs.fetch_add(::GetTickCount() - dwStart);
        m_dwPauseStart.store(0);
        ::SetEvent(m_hGoing);
    }
    ::LeaveCriticalSection(&m_askLock);
    if (recovery == recoverRetry)
        return 0;
    if (recovery == recoverFail)
        return Fail(dwError, "%s", strText);
    if (recovery == recoverSkip)
        return dwError;
    if (!HasFailed())
        RequestCancel();
    return ERROR_CANCELLED;
}

void CFileRun::WaitWhilePaused()
{
    if (m_dwPauseStart.load() != 0)
        ::WaitForSingleObject(m_hGoing, INFINITE);
}

DWORD CFileRun::GetPausedMillis() const
{
    DWORD dwStart = m_dwPauseStart.load();
    return m_dwPausedMs.load() + (dwStart != 0 ? ::GetTickCount() - dwStart : 0);
}

// Each item costs several round trips to the system (under Wine, to its server): threads
// that wait for them in turn keep the disk and the processors busy meanwhile.
DWORD CFileRun::RunWorkItems(int nCount, unsigned nThreads)
{
    m_nWorkItems = nCount;
    m_nNextItem.store(0);
    m_nItemsDone.store(0);
    HANDLE hThreads[kMaxThreads - 1];
    DWORD nStarted = 0;
    DWORD nWanted = static_cast<DWORD>(nCount) < nThreads ? static_cast<DWORD>(nCount) : nThreads;
    if (nWanted > kMaxThreads)
        nWanted = kMaxThreads;
    while (nStarted + 1 < nWanted)
    {
        // Fewer threads when the system has none to spare: the work only gets slower.
        uintptr_t h = ::_beginthreadex(nullptr, 0, &CFileRun::WorkerMain, this, 0, nullptr);
        if (h == 0)
            break;
        hThreads[nStarted++] = reinterpret_cast<HANDLE>(h);
    }
    WorkOnThisThread();
    if (nStarted > 0)
        ::WaitForMultipleObjects(nStarted, hThreads, TRUE, INFINITE);
    for (DWORD i = 0; i < nStarted; ++i)
        ::CloseHandle(hThreads[i]);

    DWORD dwError = GetFirstError();
    if (dwError != 0)
        return dwError;
    if (m_nItemsDone.load() < nCount)
        return ERROR_CANCELLED;
    return 0;
}

unsigned __stdcall CFileRun::WorkerMain(void* pThis)
{
    static_cast<CFileRun*>(pThis)->WorkOnThisThread();
    return 0;
}

void CFileRun::WorkOnThisThread()
{
    void* pState = nullptr;
    if (BeginWorker(pState) != 0)
        return;
    for (;;)
    {
        WaitWhilePaused();
        if (IsCancelRequested() || HasFailed())
            break;
        int nItem = m_nNextItem.fetch_add(1);
        if (nItem >= m_nWorkItems)
            break;
        if (DoWorkItem(nItem, pState) != 0)
            break;
        m_nItemsDone.fetch_add(1);
    }
    EndWorker(pState);
}
