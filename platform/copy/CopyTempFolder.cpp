#include "platform/copy/CopyTempFolder.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/OwnFolders.h"

namespace {

// The marker: a name that no temporary file has, and a line that says whose it is.
const char kMarkerName[] = "~vmcopy.lck";
const WCHAR kMarkerNameW[] = L"~vmcopy.lck";
const char kMarkerText[] = "VORMEL Setup: a copy in progress\r\n";

DWORD LastError()
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : ERROR_GEN_FAILURE;
}

bool HasMarker(const CHeldFolder& folder)
{
    HANDLE hMarker = folder.OpenChildFile(kMarkerNameW);
    if (hMarker == INVALID_HANDLE_VALUE)
        return false;
    char text[sizeof(kMarkerText)] = {};
    DWORD dwRead = 0;
    bool bOurs = ::ReadFile(hMarker, text, sizeof(text), &dwRead, nullptr) && dwRead == sizeof(kMarkerText) - 1
        && ::lstrcmpA(text, kMarkerText) == 0;
    ::CloseHandle(hMarker);
    return bOurs;
}

}  // namespace

DWORD CCopyTempFolder::WriteMarker(const CString& strFolder)
{
    HANDLE hMarker = ::CreateFileA(CCopyPath::Join(strFolder, kMarkerName), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
        dwError = COwnFolders::Make(strPath);
        if (dwError == 0)
            m_strPath = strPath;
    }
    if (dwError != 0)
        return dwError;
    // Held before it is marked: a clean-up never finds it marked and free.
    dwError = m_folder.Open(m_strPath, false, true);
    if (dwError == 0)
        dwError = WriteMarker(m_strPath);
    if (dwError != 0)
    {
        if (IsHeld())
            Remove();
        else
            ::RemoveDirectoryA(m_strPath);
        m_strPath.Empty();
    }
    return dwError;
}

DWORD CCopyTempFolder::Place(const CString& strDest)
{
    CString strMarker = CCopyPath::Join(m_strPath, kMarkerName);
    if (!::DeleteFileA(strMarker) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return LastError();
    // Through the handle the folder stays held until it has its name; without that call
    // (Windows XP) it is let go for the move.
    DWORD dwError = CCopyTempFile::RenameHandle(m_folder.GetHandle(), strDest, false);
    if (dwError == ERROR_NOT_SUPPORTED || dwError == ERROR_INVALID_PARAMETER || dwError == ERROR_INVALID_FUNCTION)
    {
        m_folder.Close();
        dwError = ::MoveFileExA(m_strPath, strDest, 0) ? 0 : LastError();
        m_folder.Open(dwError == 0 ? strDest : m_strPath, false, true);
    }
    if (dwError != 0)
    {
        WriteMarker(m_strPath);
        return dwError;
    }
    Release();
    m_strPath.Empty();
    return 0;
}

void CCopyTempFolder::Remove()
{
    if (IsHeld() && m_folder.RemoveContents(kMarkerNameW) == 0)
        m_folder.DeleteSelf();
    Release();
    m_strPath.Empty();
}

void CCopyTempFolder::RemoveIfLeftover(const CHeldFolder& parent, LPCWSTR pszName)
{
    // A folder that a running copy holds cannot be opened for deleting; a link or
    // junction is not opened at all.
    CHeldFolder folder;
    if (folder.OpenChild(parent, pszName, true) == 0 && HasMarker(folder) && folder.RemoveContents(kMarkerNameW) == 0)
        folder.DeleteSelf();
}
