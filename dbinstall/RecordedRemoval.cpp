#include "dbinstall/RecordedRemoval.h"

#include "platform/SystemError.h"
#include "platform/copy/HeldFolder.h"

namespace {

int Depth(const CString& strPath)
{
    int nDepth = 0;
    for (int i = 0; i < strPath.GetLength(); ++i)
        nDepth += strPath.GetAt(i) == '\\' ? 1 : 0;
    return nDepth;
}

}  // namespace

bool IsGone(DWORD dwError)
{
    return dwError == ERROR_SUCCESS || dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

CString RecordedPathText(const CString& strPath)
{
    WCHAR szWide[MAX_PATH * 2];
    if (::MultiByteToWideChar(CP_UTF8, 0, strPath, -1, szWide, MAX_PATH * 2) == 0)
        return strPath;
    return NarrowText(szWide, CP_ACP);
}

DWORD RemoveRecordedItems(const CString& strRoot, const CInstallRecord& record, const CInstallRecord* pExcept,
                          CLogFile& log, CRemovalCounts& counts)
{
    CHeldFolder root;
    DWORD dwFirst = root.Open(strRoot, true);
    if (dwFirst != ERROR_SUCCESS)
    {
        CString strLine;
        strLine.Format("Cannot open the folder \"%s\" (error %lu: %s).", static_cast<LPCSTR>(strRoot),
                       static_cast<unsigned long>(dwFirst), static_cast<LPCSTR>(SystemErrorMessage(dwFirst)));
        log.Write(strLine);
        return dwFirst;
    }
    WCHAR szPath[MAX_PATH];
    for (const CRecordedItem& item : record.m_items)
    {
        if (pExcept != nullptr && pExcept->Find(item.strPath) >= 0)
            continue;
        if (item.bFolder)
            continue;
        DWORD dwError = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, item.strPath, -1, szPath, MAX_PATH) == 0
            ? ERROR_INVALID_NAME
            : root.DeleteBelow(szPath);
        // A folder of the user's where a recorded file was is not ours to take.
        if (IsGone(dwError) || dwError == ERROR_DIR_NOT_EMPTY)
        {
            counts.nFilesRemoved += IsGone(dwError) ? 1 : 0;
            continue;
        }
        ++counts.nFilesStayed;
        CString strLine;
        strLine.Format("Could not remove \"%s%s\" (error %lu: %s).", static_cast<LPCSTR>(strRoot),
                       static_cast<LPCSTR>(RecordedPathText(item.strPath)), static_cast<unsigned long>(dwError),
                       static_cast<LPCSTR>(SystemErrorMessage(dwError)));
        log.Write(strLine);
        dwFirst = dwFirst == ERROR_SUCCESS ? dwError : dwFirst;
    }
    counts.nFoldersRemoved += RemoveRecordedFolders(root, record, pExcept, nullptr);
    return dwFirst;
}

int RemoveRecordedFolders(const CHeldFolder& root, const CInstallRecord& record, const CInstallRecord* pExcept,
                          CInstallRecord* pStayed)
{
    int nDeepest = 0;
    for (const CRecordedItem& item : record.m_items)
        nDeepest = item.bFolder && Depth(item.strPath) > nDeepest ? Depth(item.strPath) : nDeepest;
    int nRemoved = 0;
    WCHAR szPath[MAX_PATH];
    for (int nDepth = nDeepest; nDepth >= 0; --nDepth)
    {
        for (const CRecordedItem& item : record.m_items)
        {
            if (!item.bFolder || Depth(item.strPath) != nDepth || (pExcept != nullptr && pExcept->Find(item.strPath) >= 0)
                || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, item.strPath, -1, szPath, MAX_PATH) == 0)
                continue;
            bool bGone = IsGone(root.DeleteBelow(szPath));
            nRemoved += bGone ? 1 : 0;
            if (!bGone && pStayed != nullptr)
                pStayed->Add(item.strPath, 0, true);
        }
    }
    return nRemoved;
}
