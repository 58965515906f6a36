#include "platform/copy/CopyErrors.h"

#include <initializer_list>

namespace CopyErrors {

const char kInUse[] = "\"%s\" is in use by another program. Close that program, then try again.";
const char kCannotMakeFolder[] = "Cannot create the folder \"%s\".";
const char kLinkInTheWay[] = "\"%s\" is a link or junction, which may lead outside the chosen folder: nothing is copied "
                             "through it. Remove it, then try again.";

namespace {

const char kCannotRead[] = "Cannot read \"%s\".";
const char kCannotReadDisc[] = "Cannot read \"%s\". If it is on a disc, clean the disc, put it in again and try again.";
const char kCannotWrite[] = "Cannot write \"%s\".";
const char kDiskFull[] = "Cannot write \"%s\": the disk is full. Make room on it, then try again.";
const char kCannotReplace[] = "Cannot replace \"%s\".";

// Errors of the medium itself: a dirty or scratched disc, or one taken out.
bool IsMediaError(DWORD dwError)
{
    for (DWORD dwMedia : { ERROR_NOT_READY, ERROR_CRC, ERROR_SECTOR_NOT_FOUND, ERROR_READ_FAULT,
                           ERROR_GEN_FAILURE, ERROR_IO_DEVICE, ERROR_NO_MEDIA_IN_DRIVE })
    {
        if (dwError == dwMedia)
            return true;
    }
    return false;
}

}  // namespace

CString Say(const char* pszFormat, const CString& strPath)
{
    CString strText;
    strText.Format(pszFormat, static_cast<LPCSTR>(strPath));
    return strText;
}

DWORD LastError(DWORD dwFallback)
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : dwFallback;
}

bool IsInUse(DWORD dwError, const CString& strPath, bool bAccessDeniedCounts)
{
    if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION)
        return true;
    if (!bAccessDeniedCounts || dwError != ERROR_ACCESS_DENIED)
        return false;
    DWORD dwAttributes = ::GetFileAttributesA(strPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

CString ReadErrorText(DWORD dwError, const CString& strSource)
{
    if (IsInUse(dwError, strSource, false))
        return Say(kInUse, strSource);
    return Say(IsMediaError(dwError) ? kCannotReadDisc : kCannotRead, strSource);
}

CString WriteErrorText(DWORD dwError, const CString& strDest)
{
    if (IsInUse(dwError, strDest, true))
        return Say(kInUse, strDest);
    return Say(dwError == ERROR_DISK_FULL || dwError == ERROR_HANDLE_DISK_FULL ? kDiskFull : kCannotWrite, strDest);
}

CString ReplaceErrorText(DWORD dwError, const CString& strDest)
{
    return Say(IsInUse(dwError, strDest, true) ? kInUse : kCannotReplace, strDest);
}

}  // namespace CopyErrors
