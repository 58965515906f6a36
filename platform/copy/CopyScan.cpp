// The copy's first phases: the checks that need nothing but the job list, and the scan of
// the source trees into the item list, in the order they are copied (a folder before what
// it holds), with the sizes summed for the progress bar and the path lengths checked.
#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyErrors.h"
#include "platform/copy/CopyPath.h"

#include <atomic>
#include <initializer_list>

using namespace CopyErrors;

namespace {

// FindExInfoBasic and FIND_FIRST_EX_LARGE_FETCH skip the short names and fetch more
// entries per call; before Windows 7 they are refused with ERROR_INVALID_PARAMETER, and
// from the first refusal on, the standard form is used.
std::atomic<bool> g_bBasicFindRefused{false};

HANDLE FindFirst(LPCSTR pszPattern, WIN32_FIND_DATAA* pfd)
{
    if (!g_bBasicFindRefused.load(std::memory_order_relaxed))
    {
        HANDLE hFind = ::FindFirstFileExA(pszPattern, FindExInfoBasic, pfd, FindExSearchNameMatch,
                                          nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (hFind != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_INVALID_PARAMETER)
            return hFind;
        g_bBasicFindRefused.store(true, std::memory_order_relaxed);
    }
    return ::FindFirstFileExA(pszPattern, FindExInfoStandard, pfd, FindExSearchNameMatch, nullptr, 0);
}


}  // namespace

DWORD CFileTreeCopier::Check()
{
    for (Job& job : m_jobs)
    {
        for (CString* pPath : { &job.strSource, &job.strDest })
        {
            if (!CCopyPath::IsFullPath(*pPath))
                return Fail(ERROR_BAD_PATHNAME, "\"%s\" is not a full path.", *pPath);
            CString strCanonical;
            DWORD dwError = CCopyPath::Canonicalize(*pPath, strCanonical);
            if (dwError != 0)
                return Fail(dwError, "Cannot use the path \"%s\".", *pPath);
            *pPath = strCanonical;
        }
    }
    for (const Job& job : m_jobs)
    {
        if (::GetFileAttributesA(job.strSource) == INVALID_FILE_ATTRIBUTES)
            return Fail(LastError(ERROR_FILE_NOT_FOUND), "Cannot find the source \"%s\".", job.strSource);
    }
    for (const Job& job : m_jobs)
    {
        if (CCopyPath::IsSameOrInside(job.strDest, job.strSource))
            return Fail(ERROR_BAD_PATHNAME,
                        "Cannot copy \"%s\" to \"%s\": the destination is the source itself or lies inside it.",
                        job.strSource, job.strDest);
    }
    return 0;
}


DWORD CFileTreeCopier::Scan()
{
    for (int nJob = 0; nJob < m_jobs.GetSize(); ++nJob)
    {
        const Job& job = m_jobs[nJob];
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExA(job.strSource, GetFileExInfoStandard, &data))
            return Fail(LastError(ERROR_FILE_NOT_FOUND), "Cannot find the source \"%s\".", job.strSource);
        WIN32_FIND_DATAA fd = {};
        fd.dwFileAttributes = data.dwFileAttributes;
        fd.ftCreationTime = data.ftCreationTime;
        fd.ftLastAccessTime = data.ftLastAccessTime;
        fd.ftLastWriteTime = data.ftLastWriteTime;
        fd.nFileSizeHigh = data.nFileSizeHigh;
        fd.nFileSizeLow = data.nFileSizeLow;
        DWORD dwError = AddItem(nJob, -1, CString(), fd);
        if (dwError == 0 && IsFolder(data.dwFileAttributes))
            dwError = ScanFolder(nJob, m_items.GetSize() - 1);
        if (dwError != 0)
            return dwError;
    }
    // The slowest source drive sets the number of readers.
    m_nThreads = kCopyThreads;
    for (const Job& job : m_jobs)
    {
        unsigned nThreads = CopyThreadsFor(::GetDriveTypeA(CCopyPath::RootOf(job.strSource)));
        m_nThreads = nThreads < m_nThreads ? nThreads : m_nThreads;
    }
    return 0;
}

DWORD CFileTreeCopier::ScanFolder(int nJob, int nFolder)
{
    if (IsCancelRequested())
        return ERROR_CANCELLED;
    const CString strRel = m_items[nFolder].strRel;
    const CString& strRoot = m_jobs[nJob].strSource;
    CString strFolder = strRel.IsEmpty() ? strRoot : CCopyPath::Join(strRoot, strRel);
    CString strPattern = CCopyPath::Join(strFolder, "*");
    if (!CCopyPath::Fits(strPattern))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot read the folder \"%s\".", strFolder);

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirst(strPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
    {
        DWORD dwError = LastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_NO_MORE_FILES)
            return 0;   // an empty drive root has not even "." and ".."
        return Fail(dwError, "Cannot read the folder \"%s\".", strFolder);
    }
    CSimpleArray<int> subFolders;
    DWORD dwError = 0;
    do
    {
        if (CCopyPath::IsDotEntry(fd.cFileName))
            continue;
        CString strChild = strRel.IsEmpty() ? CString(fd.cFileName) : strRel + "\\" + fd.cFileName;
        dwError = AddItem(nJob, nFolder, strChild, fd);
        if (dwError != 0)
            break;
        if (IsFolder(fd.dwFileAttributes))
            subFolders.Add(m_items.GetSize() - 1);
    } while (::FindNextFileA(hFind, &fd));
    if (dwError == 0 && ::GetLastError() != ERROR_NO_MORE_FILES)
        dwError = Fail(LastError(), "Cannot read the folder \"%s\".", strFolder);
    ::FindClose(hFind);

    for (int i = 0; dwError == 0 && i < subFolders.GetSize(); ++i)
        dwError = ScanFolder(nJob, subFolders[i]);
    return dwError;
}

DWORD CFileTreeCopier::AddItem(int nJob, int nParent, const CString& strRel, const WIN32_FIND_DATAA& fd)
{
    Item item;
    item.strRel = strRel;
    item.ullSize = IsFolder(fd.dwFileAttributes)
        ? 0 : (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    item.ftCreation = fd.ftCreationTime;
    item.ftLastAccess = fd.ftLastAccessTime;
    item.ftLastWrite = fd.ftLastWriteTime;
    item.dwAttributes = fd.dwFileAttributes;
    item.nJob = nJob;
    item.nParent = nParent;
    item.bDestExists = false;
    item.dwDestAttributes = 0;

    CString strSource = SourceOf(item);
    CString strDest = DestOf(item);
    if (!CCopyPath::Fits(strSource))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot copy \"%s\".", strSource);
    if (!CCopyPath::Fits(strDest))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot copy \"%s\" to \"%s\".", strSource, strDest);
    // Every folder to be made, the one that holds a file given as a source included.
    CString strFolder = IsFolder(item.dwAttributes) ? strDest
        : strRel.IsEmpty() ? CCopyPath::ParentOf(strDest) : CString();
    if (!CCopyPath::FitsFolder(strFolder))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot create the folder \"%s\": its path is too long.", strFolder);
    int nSlack = IsFolder(item.dwAttributes) ? MAX_PATH - 13 - strDest.GetLength() : MAX_PATH - 1 - strDest.GetLength();
    Job& job = m_jobs[nJob];
    job.nSlack = nSlack < job.nSlack ? nSlack : job.nSlack;

    AddTotalBytes(item.ullSize);
    m_items.Add(item);
    SetItemsFound(static_cast<unsigned>(m_items.GetSize()));
    return 0;
}
