// The copying engine: checks the request, runs CFileTreeCopier on a worker thread, shows
// CCopyProgressDlg and runs the calling thread's messages until the worker has ended, then
// reports the first error.
#include "platform/copy/CopyWithProgress.h"

#include "platform/copy/CopyPath.h"
#include "platform/SessionEndGuard.h"
#include "platform/SystemError.h"
#include "platform/copy/CopyProgressDlg.h"
#include "platform/copy/FileTreeCopier.h"

#include <commctrl.h>
#include <process.h>


namespace {

const char kDefaultTitle[] = "Copying...";
const FILEOP_FLAGS kRequiredFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
const FILEOP_FLAGS kAllowedFlags = kRequiredFlags | FOF_SIMPLEPROGRESS;

struct WorkerContext
{
    CFileTreeCopier* pCopier;
    DWORD dwResult;
};

unsigned __stdcall WorkerMain(void* pParam)
{
    WorkerContext* pContext = static_cast<WorkerContext*>(pParam);
    pContext->dwResult = pContext->pCopier->Run();
    return 0;
}

// The copier whose errors that trying again may mend are put to the user, in the progress
// window's box with Retry and Cancel.
class CAskingCopier : public CFileTreeCopier
{
public:
    CCopyProgressDlg* m_pProgress = nullptr;

protected:
    Recovery OnRecoverableError(const CString& strText, DWORD dwError) override
    {
        CString strBox = strText + "\r\n\r\n" + SystemErrorMessage(dwError);
        return m_pProgress->AskRetry(strBox) ? recoverRetry : recoverCancel;
    }
};

// When the session ends during the copy, it stops as Cancel stops it.
void StopCopier(void* pCopier)
{
    static_cast<CFileTreeCopier*>(pCopier)->RequestCancel();
}

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
                // Kept for the caller's loop; the copy is not abandoned.
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

}  // namespace

int CopyWithProgress(LPSHFILEOPSTRUCTA lpFileOp)
{
    if (lpFileOp == nullptr)
        return ERROR_INVALID_PARAMETER;
    lpFileOp->fAnyOperationsAborted = FALSE;
    if (lpFileOp->wFunc != FO_COPY || (lpFileOp->fFlags & kRequiredFlags) != kRequiredFlags
        || (lpFileOp->fFlags & ~kAllowedFlags) != 0 || lpFileOp->pFrom == nullptr || lpFileOp->pTo == nullptr)
        return ERROR_INVALID_PARAMETER;
    CSimpleArray<CString> sources = CCopyPath::SplitMultiString(lpFileOp->pFrom);
    CSimpleArray<CString> dests = CCopyPath::SplitMultiString(lpFileOp->pTo);
    if (sources.IsEmpty() || sources.GetSize() != dests.GetSize())
        return ERROR_INVALID_PARAMETER;

    CAskingCopier copier;
    for (int i = 0; i < sources.GetSize(); ++i)
        copier.AddCopyJob(sources[i], dests[i]);
    LPCSTR pszTitle = lpFileOp->lpszProgressTitle != nullptr ? lpFileOp->lpszProgressTitle : kDefaultTitle;

    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_PROGRESS_CLASS };
    ::InitCommonControlsEx(&icc);
    // No owner: the launcher stays live beside the progress window. Without the window the
    // copy still runs and errors still show.
    CCopyProgressDlg progress(copier, pszTitle);
    progress.Create(CCopyProgressDlg::IDD);
    copier.m_pProgress = &progress;

    CSessionEndGuard guard(&StopCopier, &copier);
    WorkerContext context = { &copier, ERROR_GEN_FAILURE };
    DWORD dwResult;
    bool bQuit = false;
    WPARAM wQuitCode = 0;
    HANDLE hWorker = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &WorkerMain, &context, 0, nullptr));
    if (hWorker != nullptr)
    {
        bQuit = RunMessagesUntil(hWorker, wQuitCode);
        ::CloseHandle(hWorker);
        dwResult = context.dwResult;
    }
    else
    {
        dwResult = ERROR_NOT_ENOUGH_MEMORY;
    }
    progress.Refresh();

    if (dwResult != 0 && dwResult != ERROR_CANCELLED)
    {
        CString strText = copier.GetErrorDescription();
        if (!strText.IsEmpty())
            strText += "\r\n\r\n";
        strText += SystemErrorMessage(dwResult);
        ::MessageBoxA(progress.m_hWnd, strText, pszTitle, MB_OK | MB_ICONERROR);
    }
    progress.DestroyWindow();
    if (bQuit)
        ::PostQuitMessage(static_cast<int>(wQuitCode));

    lpFileOp->fAnyOperationsAborted = dwResult == ERROR_CANCELLED ? TRUE : FALSE;
    return static_cast<int>(dwResult);
}

namespace {

// The progress window of a copy that nobody may stop.
class CNoCancelProgressDlg : public CCopyProgressDlg
{
public:
    using CCopyProgressDlg::CCopyProgressDlg;

protected:
    BOOL OnInitDialog() override
    {
        CCopyProgressDlg::OnInitDialog();
        GetDlgItem(IDCANCEL)->ShowWindow(SW_HIDE);
        return TRUE;
    }
    void OnCancel() override {}
};

}  // namespace

DWORD CopyUnattended(CFileTreeCopier& copier, LPCSTR pszTitle, CopyWindow window)
{
    CSessionEndGuard guard(&StopCopier, &copier);
    if (window == copyWindowNone)
        return copier.Run();

    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_PROGRESS_CLASS };
    ::InitCommonControlsEx(&icc);
    CCopyProgressDlg withCancel(copier, pszTitle);
    CNoCancelProgressDlg withoutCancel(copier, pszTitle);
    CCopyProgressDlg& progress = window == copyWindowWithCancel ? withCancel : withoutCancel;
    progress.Create(CCopyProgressDlg::IDD);

    WorkerContext context = { &copier, ERROR_GEN_FAILURE };
    HANDLE hWorker = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &WorkerMain, &context, 0, nullptr));
    if (hWorker == nullptr)
        return copier.Run();
    WPARAM wQuitCode = 0;
    bool bQuit = RunMessagesUntil(hWorker, wQuitCode);
    ::CloseHandle(hWorker);
    progress.DestroyWindow();
    if (bQuit)
        ::PostQuitMessage(static_cast<int>(wQuitCode));
    return context.dwResult;
}
