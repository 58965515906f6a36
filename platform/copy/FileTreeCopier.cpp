#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyPath.h"

#include <process.h>

#include <initializer_list>


namespace {

// Bytes moved by one ReadFile and one WriteFile: large enough that the cost of a call
// vanishes beside the cost of the bytes.
const DWORD kChunk = 1024 * 1024;

// Attributes that a copy carries over; the others (compression, encryption, sparse,
// reparse points, ...) belong to how a file system stores a file, not to its content.
const DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
    | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Attributes that stand in the way of replacing a file by CREATE_ALWAYS.
const DWORD kBlockingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
    | FILE_ATTRIBUTE_SYSTEM;

bool IsFolder(DWORD dwAttributes)
{
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotEntry(const char* pszName)
{
    return pszName[0] == '.' && (pszName[1] == '\0' || (pszName[1] == '.' && pszName[2] == '\0'));
}

// The error of the last failed call, never 0: a failure must never read as success.
DWORD LastError(DWORD dwFallback = ERROR_GEN_FAILURE)
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : dwFallback;
}

}  // namespace

CFileTreeCopier::CFileTreeCopier()
{
    ::InitializeCriticalSection(&m_errorLock);
}

CFileTreeCopier::~CFileTreeCopier()
{
    ::DeleteCriticalSection(&m_errorLock);
}

void CFileTreeCopier::AddJob(const CString& strSource, const CString& strDest)
{
    Job job;
    job.strSource = strSource;
    job.strDest = strDest;
    m_jobs.Add(job);
}

DWORD CFileTreeCopier::Run()
{
    DWORD dwResult = Check();
    if (dwResult == 0)
        dwResult = Scan();
    if (dwResult == 0)
        dwResult = Copy();
    m_nCurrentItem.store(-1, std::memory_order_relaxed);
    m_phase.store(phaseDone, std::memory_order_release);
    return dwResult;
}

CString CFileTreeCopier::GetCurrentName() const
{
    if (GetPhase() != phaseCopying)
        return CString();
    int nItem = m_nCurrentItem.load(std::memory_order_relaxed);
    if (nItem < 0 || nItem >= m_items.GetSize())
        return CString();
    const Item& item = m_items[nItem];
    CString strName = CCopyPath::LastComponent(m_jobs[item.nJob].strSource);
    if (item.strRel.IsEmpty())
        return strName;
    return strName.IsEmpty() ? item.strRel : strName + "\\" + item.strRel;
}

CString CFileTreeCopier::SourceOf(const Item& item) const
{
    const CString& strRoot = m_jobs[item.nJob].strSource;
    return item.strRel.IsEmpty() ? strRoot : CCopyPath::Join(strRoot, item.strRel);
}

CString CFileTreeCopier::DestOf(const Item& item) const
{
    const CString& strRoot = m_jobs[item.nJob].strDest;
    return item.strRel.IsEmpty() ? strRoot : CCopyPath::Join(strRoot, item.strRel);
}

DWORD CFileTreeCopier::Fail(DWORD dwError, const char* pszFormat, const CString& strPath1,
                            const CString& strPath2)
{
    CString strText;
    strText.Format(pszFormat, static_cast<LPCSTR>(strPath1), static_cast<LPCSTR>(strPath2));
    ::EnterCriticalSection(&m_errorLock);
    if (m_dwError == 0)
    {
        m_dwError = dwError;
        m_strError = strText;
    }
    ::LeaveCriticalSection(&m_errorLock);
    m_bFailed.store(true, std::memory_order_relaxed);
    return dwError;
}

// ---------------------------------------------------------------------------------------
// Checks: everything that can be known before the first byte is copied.

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

// ---------------------------------------------------------------------------------------
// Scan: every file and folder of the trees, in the order they are copied (a folder before
// what it holds), with the sizes summed for the progress bar.

DWORD CFileTreeCopier::Scan()
{
    m_phase.store(phaseScanning, std::memory_order_release);
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
        DWORD dwError = AddItem(nJob, CString(), fd);
        if (dwError == 0 && IsFolder(data.dwFileAttributes))
            dwError = ScanFolder(nJob, CString());
        if (dwError != 0)
            return dwError;
    }
    return 0;
}

DWORD CFileTreeCopier::ScanFolder(int nJob, const CString& strRel)
{
    if (IsCancelRequested())
        return ERROR_CANCELLED;
    const CString& strRoot = m_jobs[nJob].strSource;
    CString strFolder = strRel.IsEmpty() ? strRoot : CCopyPath::Join(strRoot, strRel);
    CString strPattern = CCopyPath::Join(strFolder, "*");
    if (!CCopyPath::Fits(strPattern))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot read the folder \"%s\".", strFolder);

    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileExA(strPattern, FindExInfoBasic, &fd,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (hFind == INVALID_HANDLE_VALUE)
    {
        DWORD dwError = LastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_NO_MORE_FILES)
            return 0;   // an empty drive root has not even "." and ".."
        return Fail(dwError, "Cannot read the folder \"%s\".", strFolder);
    }
    CSimpleArray<CString> subFolders;
    DWORD dwError = 0;
    do
    {
        if (IsDotEntry(fd.cFileName))
            continue;
        CString strChild = strRel.IsEmpty() ? CString(fd.cFileName) : strRel + "\\" + fd.cFileName;
        dwError = AddItem(nJob, strChild, fd);
        if (dwError != 0)
            break;
        if (IsFolder(fd.dwFileAttributes))
            subFolders.Add(strChild);
    } while (::FindNextFileA(hFind, &fd));
    if (dwError == 0 && ::GetLastError() != ERROR_NO_MORE_FILES)
        dwError = Fail(LastError(), "Cannot read the folder \"%s\".", strFolder);
    ::FindClose(hFind);

    for (int i = 0; dwError == 0 && i < subFolders.GetSize(); ++i)
        dwError = ScanFolder(nJob, subFolders[i]);
    return dwError;
}

DWORD CFileTreeCopier::AddItem(int nJob, const CString& strRel, const WIN32_FIND_DATAA& fd)
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

    CString strSource = SourceOf(item);
    CString strDest = DestOf(item);
    if (!CCopyPath::Fits(strSource))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot copy \"%s\".", strSource);
    if (!CCopyPath::Fits(strDest))
        return Fail(ERROR_FILENAME_EXCED_RANGE, "Cannot copy \"%s\" to \"%s\".", strSource, strDest);

    m_ullTotalBytes += item.ullSize;
    m_items.Add(item);
    m_nItemsFound.store(static_cast<unsigned>(m_items.GetSize()), std::memory_order_relaxed);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Copy: the folders first, in order (a folder before what it holds), then the files by a
// few threads at once, then the attributes of the folders.

DWORD CFileTreeCopier::Copy()
{
    m_phase.store(phaseCopying, std::memory_order_release);
    DWORD dwResult = MakeFolders();
    if (dwResult == 0)
        dwResult = CopyFiles();
    if (dwResult == 0)
        dwResult = SetFolderAttributes();
    return dwResult;
}

DWORD CFileTreeCopier::MakeFolders()
{
    for (int nItem = 0; nItem < m_items.GetSize(); ++nItem)
    {
        if (IsCancelRequested())
            return ERROR_CANCELLED;
        const Item& item = m_items[nItem];
        if (!IsFolder(item.dwAttributes))
        {
            m_files.Add(nItem);
            // A file given as a source: the folder that is to hold its copy.
            if (item.strRel.IsEmpty())
            {
                CString strParent = CCopyPath::ParentOf(DestOf(item));
                DWORD dwError = strParent.IsEmpty() ? 0 : MakeFolder(strParent);
                if (dwError != 0)
                    return Fail(dwError, "Cannot create the folder \"%s\".", strParent);
            }
            continue;
        }
        m_nCurrentItem.store(nItem, std::memory_order_relaxed);
        CString strDest = DestOf(item);
        // A folder beneath a job's root normally is new: one call. The root, and a folder
        // that exists already, take the longer way.
        if (item.strRel.IsEmpty() || !::CreateDirectoryA(strDest, nullptr))
        {
            DWORD dwError = MakeFolder(strDest);
            if (dwError != 0)
                return Fail(dwError, "Cannot create the folder \"%s\".", strDest);
        }
    }
    return 0;
}

DWORD CFileTreeCopier::MakeFolder(const CString& strDest)
{
    // The folder may exist already (then it is merged into), or its parents may be
    // missing (then they are made). ERROR_ALREADY_EXISTS: a file is in the way.
    DWORD dwError = 0;
    for (int nAttempt = 0; nAttempt < 2; ++nAttempt)
    {
        if (::CreateDirectoryA(strDest, nullptr))
            return 0;
        dwError = LastError();
        DWORD dwAttributes = ::GetFileAttributesA(strDest);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES)
            return IsFolder(dwAttributes) ? 0 : ERROR_ALREADY_EXISTS;
        if (nAttempt > 0 || (dwError != ERROR_PATH_NOT_FOUND && dwError != ERROR_FILE_NOT_FOUND))
            break;
        CString strParent = CCopyPath::ParentOf(strDest);
        if (strParent.IsEmpty())
            break;
        DWORD dwParentError = MakeFolder(strParent);
        if (dwParentError != 0)
        {
            // A file in the way of a parent: the path cannot be found, as CreateDirectoryA
            // itself would say.
            return dwParentError == ERROR_ALREADY_EXISTS ? ERROR_PATH_NOT_FOUND : dwParentError;
        }
    }
    return dwError;
}

DWORD CFileTreeCopier::CopyFiles()
{
    HANDLE hThreads[kCopyThreads - 1];
    DWORD nThreads = 0;
    DWORD nWanted = static_cast<DWORD>(m_files.GetSize()) < kCopyThreads ? static_cast<DWORD>(m_files.GetSize()) : kCopyThreads;
    while (nThreads + 1 < nWanted)
    {
        // Fewer threads when the system has none to spare: the copy only gets slower.
        uintptr_t h = ::_beginthreadex(nullptr, 0, &CFileTreeCopier::CopyThreadMain, this, 0, nullptr);
        if (h == 0)
            break;
        hThreads[nThreads++] = reinterpret_cast<HANDLE>(h);
    }
    CopyFilesOnThisThread();
    if (nThreads > 0)
        ::WaitForMultipleObjects(nThreads, hThreads, TRUE, INFINITE);
    for (DWORD i = 0; i < nThreads; ++i)
        ::CloseHandle(hThreads[i]);

    ::EnterCriticalSection(&m_errorLock);
    DWORD dwError = m_dwError;
    ::LeaveCriticalSection(&m_errorLock);
    if (dwError != 0)
        return dwError;
    if (m_nFilesDone.load() < m_files.GetSize())
        return ERROR_CANCELLED;
    return 0;
}

unsigned __stdcall CFileTreeCopier::CopyThreadMain(void* pThis)
{
    static_cast<CFileTreeCopier*>(pThis)->CopyFilesOnThisThread();
    return 0;
}

void CFileTreeCopier::CopyFilesOnThisThread()
{
    BYTE* pBuffer = static_cast<BYTE*>(::VirtualAlloc(nullptr, kChunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (pBuffer == nullptr)
    {
        // Another thread may do without: only when none can is it an error.
        if (m_nNextFile.load() == 0 && m_nFilesDone.load() == 0 && !m_files.IsEmpty())
        {
            const Item& item = m_items[m_files[0]];
            Fail(LastError(ERROR_NOT_ENOUGH_MEMORY), "Cannot copy \"%s\" to \"%s\".", SourceOf(item), DestOf(item));
        }
        return;
    }
    while (!IsCancelRequested() && !HasFailed())
    {
        int nFile = m_nNextFile.fetch_add(1);
        if (nFile >= m_files.GetSize())
            break;
        int nItem = m_files[nFile];
        m_nCurrentItem.store(nItem, std::memory_order_relaxed);
        if (CopyOneFile(m_items[nItem], pBuffer) != 0)
            break;
        m_nFilesDone.fetch_add(1);
    }
    ::VirtualFree(pBuffer, 0, MEM_RELEASE);
}

DWORD CFileTreeCopier::SetFolderAttributes()
{
    // Last, when nothing more is written into the folders.
    for (int nItem = m_items.GetSize(); nItem-- > 0; )
    {
        const Item& item = m_items[nItem];
        if (IsFolder(item.dwAttributes) && (item.dwAttributes & kBlockingAttributes) != 0)
        {
            CString strDest = DestOf(item);
            if (!::SetFileAttributesA(strDest, item.dwAttributes & kCopiedAttributes))
                return Fail(LastError(), "Cannot set the attributes of \"%s\".", strDest);
        }
    }
    return 0;
}

DWORD CFileTreeCopier::CopyOneFile(const Item& item, BYTE* pBuffer)
{
    static const char kFormat[] = "Cannot copy \"%s\" to \"%s\".";
    const CString strSource = SourceOf(item);
    const CString strDest = DestOf(item);

    HANDLE hSource = ::CreateFileA(strSource, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hSource == INVALID_HANDLE_VALUE)
        return Fail(LastError(), kFormat, strSource, strDest);

    const DWORD dwCreateFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
    HANDLE hDest = ::CreateFileA(strDest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 dwCreateFlags, nullptr);
    // A replaced file may keep attributes of its own (Wine keeps them all; Windows keeps
    // some): it always gets the source's. A new file needs that only for a few.
    bool bReplaced = hDest != INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (hDest == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
    {
        // A read-only, hidden or system file is replaced all the same.
        bReplaced = true;
        DWORD dwExisting = ::GetFileAttributesA(strDest);
        if (dwExisting != INVALID_FILE_ATTRIBUTES && !IsFolder(dwExisting)
            && (dwExisting & kBlockingAttributes) != 0
            && ::SetFileAttributesA(strDest, FILE_ATTRIBUTE_NORMAL))
        {
            hDest = ::CreateFileA(strDest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  dwCreateFlags, nullptr);
        }
        else
        {
            ::SetLastError(ERROR_ACCESS_DENIED);
        }
    }
    if (hDest == INVALID_HANDLE_VALUE)
    {
        DWORD dwError = LastError();
        ::CloseHandle(hSource);
        return Fail(dwError, kFormat, strSource, strDest);
    }

    DWORD dwError = 0;
    bool bStopped = false;
    // A file of more than one chunk gets its final size at once: a full disk shows before
    // the writing, and the file system can place the file in one piece.
    bool bSized = false;
    if (item.ullSize > kChunk)
    {
        LARGE_INTEGER size, zero;
        size.QuadPart = static_cast<LONGLONG>(item.ullSize);
        zero.QuadPart = 0;
        if (!::SetFilePointerEx(hDest, size, nullptr, FILE_BEGIN) || !::SetEndOfFile(hDest)
            || !::SetFilePointerEx(hDest, zero, nullptr, FILE_BEGIN))
            dwError = LastError();
        bSized = true;
    }

    ULONGLONG ullCopied = 0;
    while (dwError == 0)
    {
        DWORD dwRead = 0;
        if (!::ReadFile(hSource, pBuffer, kChunk, &dwRead, nullptr))
        {
            dwError = LastError(ERROR_READ_FAULT);
            break;
        }
        if (dwRead > 0)
        {
            DWORD dwWritten = 0;
            if (!::WriteFile(hDest, pBuffer, dwRead, &dwWritten, nullptr))
            {
                dwError = LastError(ERROR_WRITE_FAULT);
                break;
            }
            if (dwWritten != dwRead)
            {
                dwError = ERROR_DISK_FULL;
                break;
            }
            ullCopied += dwRead;
            m_ullBytesDone.fetch_add(dwRead, std::memory_order_relaxed);
        }
        // A short read of a disk file means its end: no call more to hear so.
        if (dwRead < kChunk)
            break;
        // A cancel, or an error of another thread, stops at the next chunk.
        if (IsCancelRequested() || HasFailed())
        {
            bStopped = true;
            break;
        }
    }
    ::CloseHandle(hSource);

    if (dwError == 0 && !bStopped)
    {
        // The file may have shrunk since the scan.
        if (bSized && ullCopied != item.ullSize && !::SetEndOfFile(hDest))
            dwError = LastError();
        // Times are kept where the file system allows; a refusal does not spoil the copy.
        ::SetFileTime(hDest, &item.ftCreation, &item.ftLastAccess, &item.ftLastWrite);
    }
    if (!::CloseHandle(hDest) && dwError == 0 && !bStopped)
        dwError = LastError();

    if (dwError == 0 && !bStopped)
    {
        // A new file has the archive attribute: only other attributes need a call.
        DWORD dwAttributes = item.dwAttributes & kCopiedAttributes;
        if ((bReplaced || dwAttributes != FILE_ATTRIBUTE_ARCHIVE)
            && !::SetFileAttributesA(strDest, dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL))
            return Fail(LastError(), "Cannot set the attributes of \"%s\".", strDest);
        return 0;
    }

    // A partly written file goes; what was complete stays.
    ::DeleteFileA(strDest);
    if (bStopped)
        return ERROR_CANCELLED;
    return Fail(dwError, kFormat, strSource, strDest);
}
