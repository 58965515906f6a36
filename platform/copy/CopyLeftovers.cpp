#include "platform/copy/CopyLeftovers.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"

void CCopyLeftovers::RemoveFrom(const CString& strFolder)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA(CCopyPath::Join(strFolder, "~vm????.tmp"), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do
    {
        // A link or junction of that name leads elsewhere: never into it, nor away with it.
        if (!CCopyTempFile::IsTempName(fd.cFileName) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            continue;
        CString strPath = CCopyPath::Join(strFolder, fd.cFileName);
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        {
            CCopyTempFolder::RemoveIfLeftover(strPath);
        }
        else if (!::DeleteFileA(strPath) && ::GetLastError() == ERROR_ACCESS_DENIED
                 && (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        {
            // A file that a running copy writes is held without sharing: it stays.
            ::SetFileAttributesA(strPath, fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            ::DeleteFileA(strPath);
        }
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
}
