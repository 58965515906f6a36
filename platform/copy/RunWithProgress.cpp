#include "platform/copy/RunWithProgress.h"

#include "platform/SessionEndGuard.h"
#include "platform/SystemError.h"
#include "platform/copy/FileRun.h"

#include <commctrl.h>
#include <process.h>

namespace {

struct WorkerContext
{
    CFileRun* pRun;
    DWORD dwResult;
};

unsigned __stdcall WorkerMain(void* pParam)
{
    WorkerContext* pContext = static_cast<WorkerContext*>(pParam);
    pContext->dwResult = pContext->pRun->Run();
    return 0;
}

// Puts the run's errors that trying again may mend to the user, in the progress window's
// box with Retry and Cancel.
class CAskInWindow : public CFileRun::Answerer
{
public:
    explicit CAskInWindow(CRunProgressDlg& progress) : m_progress(progress) {}

    CFileRun::Recovery Answer(const CFileRun&, const CString& strText, DWORD dwError) override
    {
        CString strBox = strText + "\r\n\r\n" + SystemErrorMessage(dwError);
        return m_progress.AskRetry(strBox) ? CFileRun::recoverRetry : CFileRun::recoverCancel;
    }

private:
    CRunProgressDlg& m_progress;
};

// The progress window of a run that nobody may stop.
class CNoCancelProgressDlg : public CRunProgressDlg
{
public:
    using CRunProgressDlg::CRunProgressDlg;

protected:
    BOOL OnInitDialog() override
    {
        CRunProgressDlg::OnInitDialog();
        GetDlgItem(IDCANCEL)->ShowWindow(SW_HIDE);
        return TRUE;
    }
    void OnCancel() override {}
};

bool IsDialogWindow(HWND hWnd)
{
    char szClass[16];
    return ::GetClassNameA(hWnd, szClass, sizeof(szClass)) > 0 && ::lstrcmpA(szClass, "#32770") == 0;
}

// Runs the thread's messages until hWorker has ended. Keyboard messages of any dialog of
// the thread, the progress window among them, go through the dialog manager, as their own
// loops would do. Returns whether a WM_QUIT arrived, with its exit code.
bool RunMessagesUntil(HANDLE hWorker, WPARAM& wQuitCode)
{
    bool bQuit = false;
    for (;;)
    {
        DWORD dwWait = ::MsgWaitForMultipleObjectsEx(1, &hWorker, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_FAILED)
            break;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                // Kept for the caller's loop; the run is not abandoned.
                bQuit = true;
                wQuitCode = msg.wParam;
                continue;
            }
            HWND hRoot = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            bool bHandled = hRoot != nullptr && IsDialogWindow(hRoot) && ::IsDialogMessageA(hRoot, &msg);
            if (!bHandled)
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            if (::WaitForSingleObject(hWorker, 0) == WAIT_OBJECT_0)
                break;
        }
    }
    ::WaitForSingleObject(hWorker, INFINITE);
    return bQuit;
}

// Runs the run on a worker while this thread runs its messages; false when no worker
// could be started. A WM_QUIT met meanwhile is kept, to be posted again when the boxes and
// the window are done with (a box would end at once on it).
bool RunBesideMessages(CFileRun& run, DWORD& dwResult, bool& bQuit, WPARAM& wQuitCode)
{
    WorkerContext context = { &run, ERROR_GEN_FAILURE };
    HANDLE hWorker = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &WorkerMain, &context, 0, nullptr));
    if (hWorker == nullptr)
        return false;
    bQuit = RunMessagesUntil(hWorker, wQuitCode);
    ::CloseHandle(hWorker);
    dwResult = context.dwResult;
    return true;
}

void InitProgressBar()
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_PROGRESS_CLASS };
    ::InitCommonControlsEx(&icc);
}

// When the session ends during the run, it stops as Cancel stops it.
void StopRun(void* pRun)
{
    static_cast<CFileRun*>(pRun)->RequestCancel();
}

}  // namespace

DWORD RunAsking(CFileRun& run, LPCSTR pszTitle, const RunTexts& texts)
{
    InitProgressBar();
    // No owner: the program's other windows stay live beside the progress window. Without
    // the window the run still goes on and errors still show.
    CRunProgressDlg progress(run, pszTitle, texts);
    progress.Create(CRunProgressDlg::IDD);
    CAskInWindow asker(progress);
    run.SetAnswerer(&asker);
    CSessionEndGuard guard(&StopRun, &run);

    DWORD dwResult = ERROR_NOT_ENOUGH_MEMORY;
    bool bQuit = false;
    WPARAM wQuitCode = 0;
    RunBesideMessages(run, dwResult, bQuit, wQuitCode);
    run.SetAnswerer(nullptr);
    progress.Refresh();

    if (dwResult != 0 && dwResult != ERROR_CANCELLED)
    {
        CString strText = run.GetErrorDescription();
        if (!strText.IsEmpty())
            strText += "\r\n\r\n";
        strText += SystemErrorMessage(dwResult);
        ::MessageBoxA(progress.m_hWnd, strText, pszTitle, MB_OK | MB_ICONERROR);
    }
    progress.DestroyWindow();
    if (bQuit)
        ::PostQuitMessage(static_cast<int>(wQuitCode));
    return dwResult;
}

DWORD RunUnattended(CFileRun& run, LPCSTR pszTitle, RunWindow window, const RunTexts& texts)
{
    CSessionEndGuard guard(&StopRun, &run);
    if (window == runWindowNone)
        return run.Run();

    InitProgressBar();
    CRunProgressDlg withCancel(run, pszTitle, texts);
    CNoCancelProgressDlg withoutCancel(run, pszTitle, texts);
    CRunProgressDlg& progress = window == runWindowWithCancel ? withCancel : withoutCancel;
    progress.Create(CRunProgressDlg::IDD);

    DWORD dwResult = 0;
    bool bQuit = false;
    WPARAM wQuitCode = 0;
    if (!RunBesideMessages(run, dwResult, bQuit, wQuitCode))
        return run.Run();
    progress.DestroyWindow();
    if (bQuit)
        ::PostQuitMessage(static_cast<int>(wQuitCode));
    return dwResult;
}
