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

// Attributes that stand in the way of replacing a file.
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

const ULONGLONG kMegabyte = 1024 * 1024;

}  // namespace

CFileTreeCopier::PFN_GETDISKFREESPACEEX CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
CFileTreeCopier::PFN_READFILE CFileTreeCopier::s_pfnReadFile = &::ReadFile;

unsigned CFileTreeCopier::CopyThreadsFor(UINT nDriveType)
{
    return nDriveType == DRIVE_CDROM || nDriveType == DRIVE_REMOVABLE ? 1 : kCopyThreads;
}

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
        dwResult = CheckFreeSpace();
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
        DWORD dwError = AddItem(nJob, -1, CString(), fd);
        if (dwError == 0 && IsFolder(data.dwFileAttributes))
            dwError = ScanFolder(nJob, m_items.GetSize() - 1);
        if (dwError != 0)
            return dwError;
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
        if (IsDotEntry(fd.cFileName))
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

    m_ullTotalBytes += item.ullSize;
    m_items.Add(item);
    m_nItemsFound.store(static_cast<unsigned>(m_items.GetSize()), std::memory_order_relaxed);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Free space: found out before anything is made, not halfway through the copy.

DWORD CFileTreeCopier::CheckFreeSpace()
{
    // Each destination volume once, with what the copy needs there: the files in whole
    // clusters, less the files they replace.
    CSimpleArray<Volume> volumes;
    CSimpleArray<int> jobVolumes;
    for (const Job& job : m_jobs)
    {
        CString strRoot = CCopyPath::RootOf(job.strDest);
        int nVolume = 0;
        while (nVolume < volumes.GetSize() && ::lstrcmpiA(volumes[nVolume].strRoot, strRoot) != 0)
            ++nVolume;
        if (nVolume == volumes.GetSize())
            volumes.Add(Volume{ strRoot, job.strDest, ClusterSize(strRoot), 0 });
        jobVolumes.Add(nVolume);
    }
    // A destination is looked for only in a folder that exists, so that a fresh
    // installation asks nothing per file.
    for (Item& item : m_items)
    {
        if (IsCancelRequested())
            return ERROR_CANCELLED;
        WIN32_FILE_ATTRIBUTE_DATA dest;
        item.bDestExists = (item.nParent < 0 || m_items[item.nParent].bDestExists)
            && ::GetFileAttributesExA(DestOf(item), GetFileExInfoStandard, &dest);
        if (IsFolder(item.dwAttributes))
            continue;
        Volume& volume = volumes[jobVolumes[item.nJob]];
        volume.llNeed += static_cast<LONGLONG>((item.ullSize + volume.ullCluster - 1) / volume.ullCluster * volume.ullCluster);
        if (item.bDestExists && !IsFolder(dest.dwFileAttributes))
            volume.llNeed -= static_cast<LONGLONG>((static_cast<ULONGLONG>(dest.nFileSizeHigh) << 32) | dest.nFileSizeLow);
    }
    for (const Volume& volume : volumes)
    {
        DWORD dwError = CheckFreeSpaceOn(volume);
        if (dwError != 0)
            return dwError;
    }
    return 0;
}

ULONGLONG CFileTreeCopier::ClusterSize(const CString& strRoot)
{
    DWORD dwSectorsPerCluster = 0, dwBytesPerSector = 0, dwFreeClusters = 0, dwClusters = 0;
    if (::GetDiskFreeSpaceA(strRoot, &dwSectorsPerCluster, &dwBytesPerSector, &dwFreeClusters, &dwClusters)
        && dwSectorsPerCluster != 0 && dwBytesPerSector != 0)
        return static_cast<ULONGLONG>(dwSectorsPerCluster) * dwBytesPerSector;
    return 1;
}

DWORD CFileTreeCopier::CheckFreeSpaceOn(const Volume& volume)
{
    if (volume.llNeed <= 0)
        return 0;
    // The volume's free space, asked of the nearest folder that exists (a folder may be
    // another volume mounted there).
    CString strProbe = volume.strProbe;
    while (!IsFolder(::GetFileAttributesA(strProbe)) && !CCopyPath::ParentOf(strProbe).IsEmpty())
        strProbe = CCopyPath::ParentOf(strProbe);
    ULARGE_INTEGER freeToCaller, total, freeTotal;
    if (!s_pfnGetDiskFreeSpaceEx(strProbe, &freeToCaller, &total, &freeTotal))
        return 0;   // not known: the copy itself will tell
    if (freeToCaller.QuadPart >= static_cast<ULONGLONG>(volume.llNeed))
        return 0;

    CString strDrive = volume.strRoot.Left(volume.strRoot.GetLength() - 1);
    CString strText;
    strText.Format("There is not enough free space on drive %s. The copy needs %lu MB; %lu MB are free.",
                   static_cast<LPCSTR>(strDrive),
                   static_cast<unsigned long>((static_cast<ULONGLONG>(volume.llNeed) + kMegabyte - 1) / kMegabyte),
                   static_cast<unsigned long>(freeToCaller.QuadPart / kMegabyte));
    return Fail(ERROR_DISK_FULL, "%s", strText);
}

// ---------------------------------------------------------------------------------------
// Copy: the folders first, in order (a folder before what it holds), then the files by a
// few threads at once, then the attributes of the folders.

DWORD CFileTreeCopier::Copy()
{
    // The slowest source drive sets the number of readers.
    m_nThreads = kCopyThreads;
    for (const Job& job : m_jobs)
    {
        unsigned nThreads = CopyThreadsFor(::GetDriveTypeA(CCopyPath::RootOf(job.strSource)));
        m_nThreads = nThreads < m_nThreads ? nThreads : m_nThreads;
    }
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
    DWORD nWanted = static_cast<DWORD>(m_files.GetSize()) < m_nThreads ? static_cast<DWORD>(m_files.GetSize()) : m_nThreads;
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

    // A new file is written in place; an existing one is replaced through a temporary
    // file, so that it stays whole until its successor is.
    CString strTemp;
    HANDLE hDest = ::CreateFileA(strDest, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hDest == INVALID_HANDLE_VALUE
        && (::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS))
        hDest = CreateTempFile(strDest, strTemp);
    if (hDest == INVALID_HANDLE_VALUE)
    {
        DWORD dwError = LastError();
        ::CloseHandle(hSource);
        return Fail(dwError, kFormat, strSource, strDest);
    }

    bool bStopped = false;
    DWORD dwError = CopyContent(item, hSource, hDest, pBuffer, bStopped);
    ::CloseHandle(hSource);
    if (!::CloseHandle(hDest) && dwError == 0 && !bStopped)
        dwError = LastError();
    if (dwError == 0 && !bStopped && !strTemp.IsEmpty())
        dwError = ReplaceWith(strTemp, strDest);

    if (dwError == 0 && !bStopped)
    {
        // A new file, the temporary one too, has the archive attribute: only other
        // attributes need a call.
        DWORD dwAttributes = item.dwAttributes & kCopiedAttributes;
        if (dwAttributes != FILE_ATTRIBUTE_ARCHIVE
            && !::SetFileAttributesA(strDest, dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL))
            return Fail(LastError(), "Cannot set the attributes of \"%s\".", strDest);
        return 0;
    }

    // The partly written file goes: a new file, or the temporary one beside the old file,
    // which stays as it was.
    ::DeleteFileA(strTemp.IsEmpty() ? strDest : strTemp);
    if (bStopped)
        return ERROR_CANCELLED;
    return Fail(dwError, kFormat, strSource, strDest);
}

HANDLE CFileTreeCopier::CreateTempFile(const CString& strDest, CString& strTemp)
{
    // A short name, so that it fits wherever the folder does.
    const CString strFolder = CCopyPath::ParentOf(strDest);
    DWORD dwError = ERROR_FILE_EXISTS;
    for (int nAttempt = 0; nAttempt < 100 && dwError == ERROR_FILE_EXISTS; ++nAttempt)
    {
        CString strName;
        strName.Format("~vm%X", m_nNextTemp.fetch_add(1, std::memory_order_relaxed));
        strTemp = CCopyPath::Join(strFolder, strName);
        HANDLE hTemp = ::CreateFileA(strTemp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (hTemp != INVALID_HANDLE_VALUE)
            return hTemp;
        dwError = LastError();
        if (dwError == ERROR_ALREADY_EXISTS)
            dwError = ERROR_FILE_EXISTS;
    }
    strTemp.Empty();
    ::SetLastError(dwError);
    return INVALID_HANDLE_VALUE;
}

DWORD CFileTreeCopier::ReplaceWith(const CString& strTemp, const CString& strDest)
{
    if (::MoveFileExA(strTemp, strDest, MOVEFILE_REPLACE_EXISTING))
        return 0;
    DWORD dwError = LastError();
    // A read-only, hidden or system file is replaced all the same; if even that fails,
    // it keeps its attributes.
    DWORD dwOld = ::GetFileAttributesA(strDest);
    if (dwError != ERROR_ACCESS_DENIED || dwOld == INVALID_FILE_ATTRIBUTES || IsFolder(dwOld)
        || (dwOld & kBlockingAttributes) == 0 || !::SetFileAttributesA(strDest, FILE_ATTRIBUTE_NORMAL))
        return dwError;
    if (::MoveFileExA(strTemp, strDest, MOVEFILE_REPLACE_EXISTING))
        return 0;
    dwError = LastError();
    ::SetFileAttributesA(strDest, dwOld);
    return dwError;
}

DWORD CFileTreeCopier::CopyContent(const Item& item, HANDLE hSource, HANDLE hDest, BYTE* pBuffer,
                                   bool& bStopped)
{
    // A file of more than one chunk gets its size at once: the file system can place it
    // in one piece.
    bool bSized = false;
    if (item.ullSize > kChunk)
    {
        LARGE_INTEGER size, zero;
        size.QuadPart = static_cast<LONGLONG>(item.ullSize);
        zero.QuadPart = 0;
        if (!::SetFilePointerEx(hDest, size, nullptr, FILE_BEGIN) || !::SetEndOfFile(hDest)
            || !::SetFilePointerEx(hDest, zero, nullptr, FILE_BEGIN))
            return LastError();
        bSized = true;
    }

    ULONGLONG ullCopied = 0;
    for (;;)
    {
        DWORD dwRead = 0;
        if (!s_pfnReadFile(hSource, pBuffer, kChunk, &dwRead, nullptr))
            return LastError(ERROR_READ_FAULT);
        // Only a read of nothing is the end: a network share or a scratched disc may give
        // less than asked in the middle of a file.
        if (dwRead == 0)
            break;
        DWORD dwWritten = 0;
        if (!::WriteFile(hDest, pBuffer, dwRead, &dwWritten, nullptr))
            return LastError(ERROR_WRITE_FAULT);
        if (dwWritten != dwRead)
            return ERROR_DISK_FULL;
        ullCopied += dwRead;
        m_ullBytesDone.fetch_add(dwRead, std::memory_order_relaxed);
        // A cancel, or an error of another thread, stops at the next chunk.
        if (IsCancelRequested() || HasFailed())
        {
            bStopped = true;
            return 0;
        }
    }
    // The file may have changed since the scan: its copy ends where it ended.
    if (bSized && ullCopied != item.ullSize && !::SetEndOfFile(hDest))
        return LastError();
    // Times are kept where the file system allows; a refusal does not spoil the copy.
    ::SetFileTime(hDest, &item.ftCreation, &item.ftLastAccess, &item.ftLastWrite);
    return 0;
}
