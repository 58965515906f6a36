#include "dbinstall/InstallRecorder.h"

#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/RecordedRemoval.h"
#include "platform/SystemError.h"

#include <cwchar>

namespace {

const DWORD kMaxRecordBytes = 64u << 20;
const int kWidePath = MAX_PATH * 2;

bool ExistsW(LPCWSTR pszPath, bool bFolder)
{
    DWORD dwAttributes = ::GetFileAttributesW(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == bFolder;
}

// The record's path below the root, as a wide path from the root.
bool WidePath(const CString& strRoot, const CString& strRelative, LPWSTR pszPath)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, strRoot, -1, pszPath, kWidePath);
    return n > 0
        && ::MultiByteToWideChar(CP_UTF8, 0, strRelative, -1, pszPath + n - 1, kWidePath - n + 1) > 0;
}

CString ErrorText(DWORD dwError)
{
    CString strText;
    strText.Format("error %lu: %s", static_cast<unsigned long>(dwError),
                   static_cast<LPCSTR>(SystemErrorMessage(dwError)));
    return strText;
}

}  // namespace

DWORD ReadInstallRecord(const CString& strRoot, CInstallRecord& record, CString& strWhy)
{
    HANDLE hFile = ::CreateFileA(strRoot + INSTALL_RECORD_NAME, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        DWORD dwError = ::GetLastError();
        return dwError == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : dwError;
    }
    DWORD cbHigh = 0;
    DWORD cb = ::GetFileSize(hFile, &cbHigh);
    DWORD dwResult = ERROR_SUCCESS;
    CString strBytes;
    if (cbHigh != 0 || cb > kMaxRecordBytes)
    {
        strWhy = "it is larger than any record";
        dwResult = ERROR_INVALID_DATA;
    }
    else
    {
        DWORD cbRead = 0;
        if (!::ReadFile(hFile, strBytes.GetBuffer(static_cast<int>(cb)), cb, &cbRead, nullptr))
            dwResult = ::GetLastError();
        strBytes.ReleaseBuffer(static_cast<int>(cbRead));
    }
    ::CloseHandle(hFile);
    if (dwResult == ERROR_SUCCESS && !record.Parse(strBytes, strBytes.GetLength(), strWhy))
        dwResult = ERROR_INVALID_DATA;
    return dwResult;
}

DWORD WriteInstallRecord(const CString& strRoot, const CInstallRecord& record)
{
    DWORD dwResult = ERROR_SUCCESS;
    CString strTemp;
    CString strText = record.Format();
    // Only a name of our own making is written: one that a user made first (the folder
    // may be theirs to write) is passed by for the next.
    HANDLE hFile = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; n < 100 && hFile == INVALID_HANDLE_VALUE; ++n)
    {
        strTemp.Format("%s%s.%lu-%u.tmp", static_cast<LPCSTR>(strRoot), INSTALL_RECORD_NAME,
                       static_cast<unsigned long>(::GetCurrentProcessId()), n);
        hFile = ::CreateFileA(strTemp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (hFile == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS
            && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    DWORD cbWritten = 0;
    if (hFile == INVALID_HANDLE_VALUE)
        dwResult = ::GetLastError();
    else
    {
        if (!::WriteFile(hFile, static_cast<LPCSTR>(strText), static_cast<DWORD>(strText.GetLength()), &cbWritten,
                         nullptr) || !::FlushFileBuffers(hFile))
            dwResult = ::GetLastError();
        ::CloseHandle(hFile);
        if (dwResult == ERROR_SUCCESS
            && !::MoveFileExA(strTemp, strRoot + INSTALL_RECORD_NAME,
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            dwResult = ::GetLastError();
        if (dwResult != ERROR_SUCCESS)
            ::DeleteFileA(strTemp);
    }
    return dwResult;
}

void CInstallRecorder::Prepare(const CString& strLauncherDir, const CString& strRoot, const CString& strEdition,
                               CLogFile& log)
{
    m_strRoot = strRoot;
    m_record.m_strEdition = strEdition;
    CString strWhy;
    DWORD dwEarlier = ReadInstallRecord(strRoot, m_earlier, strWhy);
    if (dwEarlier == ERROR_INVALID_DATA)
        log.Write("The install record \"" + strRoot + INSTALL_RECORD_NAME + "\" is damaged (" + strWhy
                  + "): nothing is removed on its word, and the installation goes on as if there were none.");
    else if (dwEarlier != ERROR_SUCCESS && dwEarlier != ERROR_FILE_NOT_FOUND)
        log.Write("The install record \"" + strRoot + INSTALL_RECORD_NAME + "\" cannot be read (" + ErrorText(dwEarlier)
                  + "): the installation goes on as if there were none.");
    if (dwEarlier == ERROR_SUCCESS)
        log.Write("An earlier installation is recorded here: edition " + m_earlier.m_strEdition + ".");
    else
        m_earlier.RemoveAll();

    WCHAR szMedia[kWidePath], szDest[kWidePath];
    m_record.m_bRootMade = dwEarlier == ERROR_SUCCESS ? m_earlier.m_bRootMade
                                                      : WidePath(strRoot, CString(), szDest) && !ExistsW(szDest, true);
    for (const char* pszFolder : g_rgszDatabaseFolders)
    {
        if (!WidePath(strLauncherDir, pszFolder, szMedia) || !WidePath(strRoot, pszFolder, szDest))
        {
            m_bFailedScan = true;
            continue;
        }
        if (!ExistsW(szDest, true) || m_earlier.Find(pszFolder) >= 0)
            m_record.Add(pszFolder, 0, true);
        Scan(szMedia, szDest, pszFolder);
    }
}

void CInstallRecorder::Scan(LPWSTR pszMedia, LPWSTR pszDest, const CString& strRelative)
{
    size_t cchMedia = ::lstrlenW(pszMedia), cchDest = ::lstrlenW(pszDest);
    if (cchMedia + 3 > static_cast<size_t>(kWidePath))
    {
        m_bFailedScan = true;
        return;
    }
    ::lstrcpyW(pszMedia + cchMedia, L"\\*");
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(pszMedia, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
    {
        m_bFailedScan = true;
        pszMedia[cchMedia] = L'\0';
        return;
    }
    do
    {
        if (std::wcscmp(fd.cFileName, L".") == 0 || std::wcscmp(fd.cFileName, L"..") == 0)
            continue;
        size_t cchName = ::lstrlenW(fd.cFileName);
        if (cchMedia + cchName + 2 > static_cast<size_t>(kWidePath) || cchDest + cchName + 2 > static_cast<size_t>(kWidePath))
        {
            m_bFailedScan = true;
            continue;
        }
        pszMedia[cchMedia + 1] = L'\0';
        ::lstrcpyW(pszMedia + cchMedia + 1, fd.cFileName);
        pszDest[cchDest] = L'\\';
        ::lstrcpyW(pszDest + cchDest + 1, fd.cFileName);
        CString strPath = strRelative + "\\" + NarrowText(fd.cFileName, CP_UTF8);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            if (!ExistsW(pszDest, true) || m_earlier.Find(strPath) >= 0)
                m_record.Add(strPath, 0, true);
            Scan(pszMedia, pszDest, strPath);
        }
        else
        {
            m_record.Add(strPath, (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow, false);
        }
        pszDest[cchDest] = L'\0';
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    pszMedia[cchMedia] = L'\0';
}

DWORD CInstallRecorder::Commit(CLogFile& log)
{
    if (!m_earlier.m_items.IsEmpty())
    {
        CRemovalCounts counts;
        RemoveRecordedItems(m_strRoot, m_earlier, &m_record, log, counts);
        CString strLine;
        strLine.Format("Removed what the earlier installation put here and this media lacks: %d files and %d "
                       "folders; %d files stayed.", counts.nFilesRemoved, counts.nFoldersRemoved, counts.nFilesStayed);
        log.Write(strLine);
    }
    // What an earlier installation put here and could not be removed is still ours.
    WCHAR szPath[kWidePath];
    for (const CRecordedItem& item : m_earlier.m_items)
    {
        if (m_record.Find(item.strPath) < 0 && WidePath(m_strRoot, item.strPath, szPath)
            && ExistsW(szPath, item.bFolder))
            m_record.Add(item.strPath, item.ullSize, item.bFolder);
    }
    DWORD dwResult = m_bFailedScan ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS;
    for (const CRecordedItem& item : m_record.m_items)
    {
        if (dwResult == ERROR_SUCCESS && !IsRecordablePath(item.strPath))
            dwResult = ERROR_INVALID_NAME;
    }
    if (dwResult == ERROR_SUCCESS)
        dwResult = WriteInstallRecord(m_strRoot, m_record);
    CString strLine;
    if (dwResult == ERROR_SUCCESS)
        strLine.Format("Wrote the install record \"%s%s\": %d files and folders.", static_cast<LPCSTR>(m_strRoot),
                       INSTALL_RECORD_NAME, m_record.m_items.GetSize());
    else
        strLine = "Could not write the install record \"" + m_strRoot + INSTALL_RECORD_NAME + "\" (" + ErrorText(dwResult)
            + ").";
    log.Write(strLine);
    return dwResult;
}
