#include "platform/copy/CopyTempFolder.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFile.h"

namespace {

// The marker: a name that no temporary file has, and a line that says whose it is.
const char kMarkerName[] = "~vmcopy.lck";
const char kMarkerText[] = "VORMEL Setup: a copy in progress\r\n";

DWORD LastError()
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : ERROR_GEN_FAILURE;
}

}  // namespace

HANDLE CCopyTempFolder::Hold(const CString& strPath)
{
    return ::CreateFileA(strPath, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

DWORD CCopyTempFolder::WriteMarker(const CString& strFolder)
{
    HANDLE hMarker = ::CreateFileA(CCopyPath::Join(strFolder, kMarkerName), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hMarker == INVALID_HANDLE_VALUE)
        return LastError();
    DWORD dwWritten = 0;
    BOOL bWritten = ::WriteFile(hMarker, kMarkerText, sizeof(kMarkerText) - 1, &dwWritten, nullptr);
    DWORD dwError = bWritten ? 0 : LastError();
    ::CloseHandle(hMarker);
    return dwError;
}

DWORD CCopyTempFolder::Create(const CString& strParent)
{
    Release();
    DWORD dwError = ERROR_ALREADY_EXISTS;
    for (int nAttempt = 0; nAttempt < 100 && dwError == ERROR_ALREADY_EXISTS; ++nAttempt)
    {
        CString strPath = CCopyPath::Join(strParent, CCopyTempFile::NextName());
        dwError = ::CreateDirectoryA(strPath, nullptr) ? 0 : LastError();
        if (dwError == 0)
            m_strPath = strPath;
    }
    if (dwError != 0)
        return dwError;
    // Held before it is marked: a clean-up never finds it marked and free.
    m_hFolder = Hold(m_strPath);
    dwError = m_hFolder == INVALID_HANDLE_VALUE ? LastError() : WriteMarker(m_strPath);
    if (dwError != 0)
        Remove();
    return dwError;
}

DWORD CCopyTempFolder::Place(const CString& strDest)
{
    CString strMarker = CCopyPath::Join(m_strPath, kMarkerName);
    if (!::DeleteFileA(strMarker) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return LastError();
    // Through the handle the folder stays held until it has its name; without that call
    // (Windows XP) it is let go for the move.
    DWORD dwError = CCopyTempFile::RenameHandle(m_hFolder, strDest, false);
    if (dwError == ERROR_NOT_SUPPORTED || dwError == ERROR_INVALID_PARAMETER || dwError == ERROR_INVALID_FUNCTION)
    {
        ::CloseHandle(m_hFolder);
        dwError = ::MoveFileExA(m_strPath, strDest, 0) ? 0 : LastError();
        m_hFolder = Hold(dwError == 0 ? strDest : m_strPath);
    }
    if (dwError != 0)
    {
        WriteMarker(m_strPath);
        return dwError;
    }
    ::CloseHandle(m_hFolder);
    m_hFolder = INVALID_HANDLE_VALUE;
    m_strPath.Empty();
    return 0;
}

void CCopyTempFolder::Remove()
{
    if (m_strPath.IsEmpty())
        return;
    // A held folder cannot even be listed (Wine).
    Release();
    RemoveContents(m_strPath);
    ::RemoveDirectoryA(m_strPath);
    m_strPath.Empty();
}

void CCopyTempFolder::Release()
{
    if (m_hFolder != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFolder);
    m_hFolder = INVALID_HANDLE_VALUE;
}

void CCopyTempFolder::RemoveIfLeftover(const CString& strPath)
{
    // A folder that a running copy holds cannot be opened for deleting.
    HANDLE hFolder = ::CreateFileA(strPath, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFolder == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    bool bFolder = ::GetFileInformationByHandle(hFolder, &info)
        && (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY;
    ::CloseHandle(hFolder);
    DWORD dwMarker = ::GetFileAttributesA(CCopyPath::Join(strPath, kMarkerName));
    if (!bFolder || dwMarker == INVALID_FILE_ATTRIBUTES || (dwMarker & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    RemoveContents(strPath);
    ::RemoveDirectoryA(strPath);
}

void CCopyTempFolder::RemoveContents(const CString& strFolder)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA(CCopyPath::Join(strFolder, "*"), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (CCopyPath::IsDotEntry(fd.cFileName) || ::lstrcmpiA(fd.cFileName, kMarkerName) == 0)
                continue;
            CString strPath = CCopyPath::Join(strFolder, fd.cFileName);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
                ::SetFileAttributesA(strPath, fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            {
                ::DeleteFileA(strPath);
                continue;
            }
            // A link or junction goes itself; what it leads to is not looked into.
            bool bLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!bLink)
                RemoveContents(strPath);
            if (!::RemoveDirectoryA(strPath) && bLink)
                ::DeleteFileA(strPath);   // a symbolic link to a folder, as Wine shows one
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    ::DeleteFileA(CCopyPath::Join(strFolder, kMarkerName));
}
