// The copying engine's front: checks the request, then hands CFileTreeCopier to RunAsking,
// which runs it on a worker thread beside the progress window and reports the first error.
#include "platform/copy/CopyWithProgress.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/FileTreeCopier.h"
#include "platform/copy/RunWithProgress.h"

namespace {

const char kDefaultTitle[] = "Copying...";
const FILEOP_FLAGS kRequiredFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
const FILEOP_FLAGS kAllowedFlags = kRequiredFlags | FOF_SIMPLEPROGRESS;

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

    CFileTreeCopier copier;
    for (int i = 0; i < sources.GetSize(); ++i)
        copier.AddCopyJob(sources[i], dests[i]);
    LPCSTR pszTitle = lpFileOp->lpszProgressTitle != nullptr ? lpFileOp->lpszProgressTitle : kDefaultTitle;
    DWORD dwResult = RunAsking(copier, pszTitle);
    lpFileOp->fAnyOperationsAborted = dwResult == ERROR_CANCELLED ? TRUE : FALSE;
    return static_cast<int>(dwResult);
}
