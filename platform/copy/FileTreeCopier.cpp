#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/CopySpace.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/OwnFolders.h"

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

const ULONGLONG kMegabyte = 1024ULL * 1024;

// What happened, in plain words; the system's own text for the error follows them.
const char kInUse[] = "\"%s\" is in use by another program. Close that program, then try again.";
const char kCannotRead[] = "Cannot read \"%s\".";
const char kCannotReadDisc[] = "Cannot read \"%s\". If it is on a disc, clean the disc, put it in again and try again.";
const char kCannotWrite[] = "Cannot write \"%s\".";
const char kDiskFull[] = "Cannot write \"%s\": the disk is full. Make room on it, then try again.";
const char kCannotReplace[] = "Cannot replace \"%s\".";
const char kCannotMakeFolder[] = "Cannot create the folder \"%s\".";
const char kLinkInTheWay[] = "\"%s\" is a link or junction, which may lead outside the chosen folder: nothing is copied "
                             "through it. Remove it, then try again.";

CString Say(const char* pszFormat, const CString& strPath)
{
    CString strText;
    strText.Format(pszFormat, static_cast<LPCSTR>(strPath));
    return strText;
}

// A file held open by another program: a sharing violation, or, when its replacement is
// refused, access denied to a file that is not read-only (what Wine says of an open file).
bool IsInUse(DWORD dwError, const CString& strPath, bool bAccessDeniedCounts)
{
    if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION)
        return true;
    if (!bAccessDeniedCounts || dwError != ERROR_ACCESS_DENIED)
        return false;
    DWORD dwAttributes = ::GetFileAttributesA(strPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

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

// Whether an existing destination can be replaced now: another program that holds it open
// is found before a byte of its replacement is written. A read-only file refuses the open
// for deleting by itself: its attribute is set aside for the look, as for the replace.
DWORD CheckReplaceable(const CString& strDest, DWORD dwAttributes)
{
    bool bReadOnly = (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0
        && ::SetFileAttributesA(strDest, dwAttributes & ~FILE_ATTRIBUTE_READONLY);
    HANDLE h = ::CreateFileA(strDest, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwError = h != INVALID_HANDLE_VALUE ? 0 : LastError();
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    if (bReadOnly)
        ::SetFileAttributesA(strDest, dwAttributes);
    if (dwError == 0)
        return 0;
    if (bReadOnly && dwError == ERROR_ACCESS_DENIED)
        return ERROR_SHARING_VIOLATION;   // what the file's holder refused
    // Gone meanwhile, or read-only (its attribute is cleared for the move): no obstacle.
    if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND
        || (dwError == ERROR_ACCESS_DENIED && !IsInUse(dwError, strDest, true)))
        return 0;
    return dwError;
}

}  // namespace

CFileTreeCopier::PFN_GETDISKFREESPACEEX CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
CFileTreeCopier::PFN_READFILE CFileTreeCopier::s_pfnReadFile = &::ReadFile;
CFileTreeCopier::PFN_WRITEFILE CFileTreeCopier::s_pfnWriteFile = &::WriteFile;

unsigned CFileTreeCopier::CopyThreadsFor(UINT nDriveType)
{
    return nDriveType == DRIVE_CDROM || nDriveType == DRIVE_REMOVABLE ? 1 : kCopyThreads;
}

CFileTreeCopier::CFileTreeCopier()
{
    ::InitializeCriticalSection(&m_errorLock);
    ::InitializeCriticalSection(&m_askLock);
    m_hGoing = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

CFileTreeCopier::~CFileTreeCopier()
{
    for (Job& job : m_jobs)
    {
        delete job.pWriteFolder;
        delete job.pStageFolder;
    }
    ReleaseHeldFolders();
    if (m_hGoing != nullptr)
        ::CloseHandle(m_hGoing);
    ::DeleteCriticalSection(&m_askLock);
    ::DeleteCriticalSection(&m_errorLock);
}

CFileTreeCopier::Recovery CFileTreeCopier::OnRecoverableError(const CString&, DWORD)
{
    return recoverFail;
}

DWORD CFileTreeCopier::Recover(DWORD dwError, const CString& strText, unsigned nAnswered)
{
    Recovery recovery = recoverCancel;
    ::EnterCriticalSection(&m_askLock);
    // After a cancel, or another thread's error, there is nothing left to ask; after a
    // Retry since the step began, the step is tried again unasked.
    if (!IsCancelRequested() && !HasFailed() && m_nAnswers.load() != nAnswered)
    {
        recovery = m_lastAnswer;
    }
    else if (!IsCancelRequested() && !HasFailed())
    {
        ::ResetEvent(m_hGoing);
        DWORD dwStart = ::GetTickCount();
        m_dwPauseStart.store(dwStart | 1);
        recovery = OnRecoverableError(strText, dwError);
        m_lastAnswer = recovery;
        m_nAnswers.fetch_add(1);
        m_dwPausedMs.fetch_add(::GetTickCount() - dwStart);
        m_dwPauseStart.store(0);
        ::SetEvent(m_hGoing);
    }
    ::LeaveCriticalSection(&m_askLock);
    if (recovery == recoverRetry)
        return 0;
    if (recovery == recoverFail)
        return Fail(dwError, "%s", strText);
    if (!HasFailed())
        RequestCancel();
    return ERROR_CANCELLED;
}

void CFileTreeCopier::WaitWhilePaused()
{
    if (m_dwPauseStart.load() != 0)
        ::WaitForSingleObject(m_hGoing, INFINITE);
}

DWORD CFileTreeCopier::GetPausedMillis() const
{
    DWORD dwStart = m_dwPauseStart.load();
    return m_dwPausedMs.load() + (dwStart != 0 ? ::GetTickCount() - dwStart : 0);
}

void CFileTreeCopier::AddCopyJob(const CString& strSource, const CString& strDest)
{
    Job job;
    job.strSource = strSource;
    job.strDest = strDest;
    job.nSlack = MAX_PATH;
    job.pWriteFolder = nullptr;
    job.pStageFolder = nullptr;
    job.nSpoiled = 0;
    m_jobs.Add(job);
}

DWORD CFileTreeCopier::Run()
{
    DWORD dwResult = Check();
    if (dwResult == 0)
        dwResult = Scan();
    if (dwResult == 0)
        dwResult = CheckDestinations();
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

CString CFileTreeCopier::WriteOf(const Item& item) const
{
    const CString& strRoot = m_jobs[item.nJob].strWrite;
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

    m_ullTotalBytes += item.ullSize;
    m_items.Add(item);
    m_nItemsFound.store(static_cast<unsigned>(m_items.GetSize()), std::memory_order_relaxed);
    return 0;
}


// ---------------------------------------------------------------------------------------
// The destinations: what stands where the copy goes, and the free space it needs there,
// found out before anything is made, not halfway through the copy.

DWORD CFileTreeCopier::CheckDestinations()
{
    for (;;)
    {
        // What a killed copy left is no room taken for good: it goes before the free space is
        // measured.
        unsigned nAnswered = GetAnswers();
        RemoveLeftoversBeside();
        CString strText;
        DWORD dwError = InspectDestinations(strText);
        if (dwError == 0 || dwError == ERROR_CANCELLED || HasFailed())
            return dwError;
        dwError = Recover(dwError, strText, nAnswered);
        if (dwError != 0)
            return dwError;
    }
}

void CFileTreeCopier::ReleaseHeldFolders()
{
    for (CHeldFolder* pFolder : m_heldFolders)
        delete pFolder;
    m_heldFolders.RemoveAll();
}

DWORD CFileTreeCopier::InspectDestinations(CString& strText)
{
    ReleaseHeldFolders();
    // Each destination volume once: a volume mounted in a folder is a volume of its own,
    // asked of through the nearest folder of the destination that exists.
    struct Volume
    {
        CString strRoot;
        CString strProbe;
        CCopySpace space;
    };
    CSimpleArray<Volume> volumes;
    CSimpleArray<int> jobVolumes;
    for (const Job& job : m_jobs)
    {
        CString strProbe = job.strDest;
        while (!IsFolder(::GetFileAttributesA(strProbe)) && !CCopyPath::ParentOf(strProbe).IsEmpty())
            strProbe = CCopyPath::ParentOf(strProbe);
        if (!CCopyPath::EndsWithSeparator(strProbe))
            strProbe += '\\';   // a share's root is asked of as \\server\share\ only
        char szRoot[MAX_PATH];
        CString strRoot = ::GetVolumePathNameA(strProbe, szRoot, MAX_PATH) ? CString(szRoot) : CCopyPath::RootOf(job.strDest);
        int nVolume = 0;
        while (nVolume < volumes.GetSize() && ::lstrcmpiA(volumes[nVolume].strRoot, strRoot) != 0)
            ++nVolume;
        if (nVolume == volumes.GetSize())
            volumes.Add(Volume{ strRoot, strProbe, CCopySpace(ClusterSize(strRoot)) });
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
        bool bFolder = IsFolder(item.dwAttributes);
        item.dwDestAttributes = item.bDestExists ? dest.dwFileAttributes : 0;
        // Nothing is written through a link or junction where a folder or file goes. An
        // existing folder is held from here to the end of the copy: no one can swap it for
        // one meanwhile.
        if (item.bDestExists && (dest.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return Fail(CHeldFolder::kErrorLink, kLinkInTheWay, DestOf(item));
        if (item.bDestExists && bFolder && IsFolder(dest.dwFileAttributes))
        {
            CHeldFolder* pHeld = new CHeldFolder;
            m_heldFolders.Add(pHeld);
            DWORD dwHeld = pHeld->Open(DestOf(item), false);
            if (dwHeld == CHeldFolder::kErrorLink)
                return Fail(dwHeld, kLinkInTheWay, DestOf(item));
        }
        if (item.bDestExists && bFolder != IsFolder(dest.dwFileAttributes))
        {
            strText = Say(bFolder ? "Cannot create the folder \"%s\": a file of that name is in the way."
                                  : "Cannot copy to \"%s\": a folder of that name is in the way.", DestOf(item));
            return ERROR_ALREADY_EXISTS;
        }
        if (bFolder)
            continue;
        CCopySpace& space = volumes[jobVolumes[item.nJob]].space;
        if (item.bDestExists)
            space.AddReplacedFile(item.ullSize, (static_cast<ULONGLONG>(dest.nFileSizeHigh) << 32) | dest.nFileSizeLow);
        else
            space.AddNewFile(item.ullSize);
    }
    for (const Volume& volume : volumes)
    {
        ULONGLONG ullNeed = volume.space.GetNeed(m_nThreads);
        ULARGE_INTEGER freeToCaller, total, freeTotal;
        // When the free space is not known, the copy itself will tell.
        if (ullNeed == 0 || !s_pfnGetDiskFreeSpaceEx(volume.strProbe, &freeToCaller, &total, &freeTotal)
            || freeToCaller.QuadPart >= ullNeed)
            continue;
        CString strDrive = volume.strRoot.Left(volume.strRoot.GetLength() - 1);
        strText.Format("There is not enough free space on drive %s. The copy needs %lu MB; %lu MB are free. "
                       "Make room on it, then try again.",
                       static_cast<LPCSTR>(strDrive), static_cast<unsigned long>((ullNeed + kMegabyte - 1) / kMegabyte),
                       static_cast<unsigned long>(freeToCaller.QuadPart / kMegabyte));
        return ERROR_DISK_FULL;
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

// ---------------------------------------------------------------------------------------
// Copy: the folders first, in order (a folder before what it holds), then the files by a
// few threads at once, then the attributes of the folders.

DWORD CFileTreeCopier::Copy()
{
    m_phase.store(phaseCopying, std::memory_order_release);
    for (Job& job : m_jobs)
        job.strWrite = job.strDest;
    DWORD dwResult = MakeFolders();
    if (dwResult == 0)
        dwResult = CopyFiles();
    DWORD dwPlaced = PlaceNewTrees(dwResult == 0);
    if (dwResult == 0)
        dwResult = dwPlaced;
    for (Job& job : m_jobs)
    {
        if (job.pStageFolder != nullptr)
            job.pStageFolder->Remove();
    }
    if (dwResult == 0)
        dwResult = SetFolderAttributes();
    ReleaseHeldFolders();
    return dwResult;
}

// What a killed copy left beside the destinations; each folder once (the jobs mostly share one).
void CFileTreeCopier::RemoveLeftoversBeside()
{
    for (int nJob = 0; nJob < m_jobs.GetSize(); ++nJob)
    {
        CString strParent = CCopyPath::ParentOf(m_jobs[nJob].strDest);
        bool bSeen = false;
        for (int nEarlier = 0; nEarlier < nJob && !bSeen; ++nEarlier)
            bSeen = ::lstrcmpiA(CCopyPath::ParentOf(m_jobs[nEarlier].strDest), strParent) == 0;
        if (!bSeen && IsFolder(::GetFileAttributesA(strParent)))
            CCopyTempFile::RemoveLeftovers(strParent);
    }
}

bool CFileTreeCopier::StartNewTree(Job& job)
{
    // The temporary name may be longer than the tree's own: only where every path still fits.
    CString strParent = CCopyPath::ParentOf(job.strDest);
    int nGrowth = CCopyTempFile::kNameLength - CCopyPath::LastComponent(job.strDest).GetLength();
    if (nGrowth > job.nSlack || strParent.IsEmpty() || MakeFolder(strParent, true) != 0)
        return false;
    CCopyTempFolder* pFolder = new CCopyTempFolder;
    if (pFolder->Create(strParent) != 0)
    {
        delete pFolder;
        return false;
    }
    job.pWriteFolder = pFolder;
    job.strWrite = pFolder->GetPath();
    return true;
}

// The files that replace an earlier installation's are written in a marked temporary folder
// beside the destinations, so that what a kill leaves of them is known for the engine's
// own; where its paths would not fit, they are written beside their destinations.
void CFileTreeCopier::StartStaging(Job& job)
{
    CString strParent = CCopyPath::ParentOf(job.strDest);
    if (strParent.IsEmpty() || !CCopyPath::Fits(CCopyPath::Join(strParent, "~vm0000.tmp\\~vm0000.tmp")))
        return;
    CCopyTempFolder* pFolder = new CCopyTempFolder;
    if (pFolder->Create(strParent) == 0)
        job.pStageFolder = pFolder;
    else
        delete pFolder;
}

// A new tree takes its own name when the copy has ended, or is merged into the folder of
// that name that appeared meanwhile. When the copy stopped, a tree takes its name with the
// files that were whole, unless a half file in it could not be removed; else its temporary
// folder is left, marked, to the next copy.
DWORD CFileTreeCopier::PlaceNewTrees(bool bCompleted)
{
    DWORD dwResult = 0;
    for (int nJob = 0; nJob < m_jobs.GetSize(); ++nJob)
    {
        Job& job = m_jobs[nJob];
        CCopyTempFolder* pFolder = job.pWriteFolder;
        if (pFolder == nullptr || !pFolder->IsHeld())
            continue;
        bool bPlaceable = bCompleted || job.nSpoiled == 0;
        while (bPlaceable && dwResult == 0)
        {
            unsigned nAnswered = GetAnswers();
            // A folder of that name that appeared meanwhile is no hold to wait out.
            DWORD dwError = CCopyTempFile::WaitOutHolds([&] {
                DWORD dwPlaced = pFolder->Place(job.strDest);
                return dwPlaced != 0 && IsFolder(::GetFileAttributesA(job.strDest)) ? DWORD(ERROR_ALREADY_EXISTS) : dwPlaced;
            });
            if (dwError == 0)
            {
                job.strWrite = job.strDest;
                break;
            }
            if (bCompleted && dwError == ERROR_ALREADY_EXISTS)
            {
                dwResult = MergeNewTree(nJob);
                break;
            }
            if (!bCompleted)
                break;
            CString strText = HeldFileText(nJob);
            if (strText.IsEmpty())
                strText = Say("Cannot give the copied folder its name \"%s\".", job.strDest);
            dwResult = Recover(dwError, strText, nAnswered);
        }
        pFolder->Release();
    }
    return dwResult;
}

// The in-use question for a file of a new tree that another program holds, or "".
CString CFileTreeCopier::HeldFileText(int nJob) const
{
    for (const Item& item : m_items)
    {
        if (item.nJob != nJob || IsFolder(item.dwAttributes))
            continue;
        HANDLE h = ::CreateFileA(WriteOf(item), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        else if (::GetLastError() == ERROR_SHARING_VIOLATION)
            return Say(kInUse, DestOf(item));
    }
    return CString();
}

// The tree's files go one by one into the destination folder that another copy placed
// first, replacing what is there; then its temporary folder goes.
DWORD CFileTreeCopier::MergeNewTree(int nJob)
{
    Job& job = m_jobs[nJob];
    for (const Item& item : m_items)
    {
        if (item.nJob != nJob || item.strRel.IsEmpty())
            continue;
        for (;;)
        {
            unsigned nAnswered = GetAnswers();
            bool bFolder = IsFolder(item.dwAttributes);
            DWORD dwError = bFolder ? MakeFolder(DestOf(item), false) : CCopyTempFile::WaitOutHolds([&] {
                return CCopyTempFile::MoveReplacing(WriteOf(item), DestOf(item));
            });
            if (dwError == 0)
                break;
            if (dwError == CHeldFolder::kErrorLink)
                return Fail(dwError, kLinkInTheWay, DestOf(item));
            CString strText = bFolder ? Say(kCannotMakeFolder, DestOf(item)) : ReplaceErrorText(dwError, DestOf(item));
            dwError = Recover(dwError, strText, nAnswered);
            if (dwError != 0)
                return dwError;
        }
    }
    job.pWriteFolder->Remove();
    job.strWrite = job.strDest;
    return 0;
}

DWORD CFileTreeCopier::MakeFolders()
{
    for (int nItem = 0; nItem < m_items.GetSize(); ++nItem)
    {
        if (IsCancelRequested())
            return ERROR_CANCELLED;
        const Item& item = m_items[nItem];
        bool bFolder = IsFolder(item.dwAttributes);
        if (!bFolder)
            m_files.Add(nItem);
        // The folder to make: the item, or the one that holds a file given as a source.
        CString strDest = bFolder ? WriteOf(item) : item.strRel.IsEmpty() ? CCopyPath::ParentOf(WriteOf(item)) : CString();
        if (strDest.IsEmpty())
            continue;
        if (bFolder)
            m_nCurrentItem.store(nItem, std::memory_order_relaxed);
        if (bFolder && item.strRel.IsEmpty() && !item.bDestExists && StartNewTree(m_jobs[item.nJob]))
            continue;
        if (item.strRel.IsEmpty() && item.bDestExists)
            StartStaging(m_jobs[item.nJob]);
        // A folder beneath a job's root normally is new: one call. The root, and a folder
        // that exists already, take the longer way.
        for (;;)
        {
            bool bMade = bFolder && !item.strRel.IsEmpty() && COwnFolders::Make(strDest) == 0;
            DWORD dwError = bMade ? 0 : MakeFolder(strDest, !bFolder);
            if (dwError == 0)
                break;
            if (dwError == CHeldFolder::kErrorLink)
                return Fail(dwError, kLinkInTheWay, DestOf(item));
            dwError = Recover(dwError, Say(kCannotMakeFolder, bFolder ? DestOf(item) : CCopyPath::ParentOf(DestOf(item))),
                              GetAnswers());
            if (dwError != 0)
                return dwError;
        }
    }
    return 0;
}

DWORD CFileTreeCopier::MakeFolder(const CString& strDest, bool bLinkAllowed)
{
    // The folder may exist already (then it is merged into), or its parents may be
    // missing (then they are made). ERROR_ALREADY_EXISTS: a file is in the way;
    // CHeldFolder::kErrorLink: a link or junction, where only the chosen folder and what
    // lies above it may be one.
    DWORD dwError = 0;
    for (int nAttempt = 0; nAttempt < 2; ++nAttempt)
    {
        dwError = COwnFolders::Make(strDest);
        if (dwError == 0)
            return 0;
        DWORD dwAttributes = ::GetFileAttributesA(strDest);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && IsFolder(dwAttributes))
            return !bLinkAllowed && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? CHeldFolder::kErrorLink : 0;
        if (dwAttributes != INVALID_FILE_ATTRIBUTES)
            return ERROR_ALREADY_EXISTS;
        if (nAttempt > 0 || (dwError != ERROR_PATH_NOT_FOUND && dwError != ERROR_FILE_NOT_FOUND))
            break;
        CString strParent = CCopyPath::ParentOf(strDest);
        if (strParent.IsEmpty())
            break;
        DWORD dwParentError = MakeFolder(strParent, true);
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
    for (;;)
    {
        WaitWhilePaused();
        if (IsCancelRequested() || HasFailed())
            break;
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
        if (!IsFolder(item.dwAttributes) || (item.dwAttributes & kBlockingAttributes) == 0)
            continue;
        CString strDest = DestOf(item);
        while (!::SetFileAttributesA(strDest, item.dwAttributes & kCopiedAttributes))
        {
            DWORD dwError = Recover(LastError(), Say("Cannot set the attributes of \"%s\".", strDest), GetAnswers());
            if (dwError != 0)
                return dwError;
        }
    }
    return 0;
}

DWORD CFileTreeCopier::CopyOneFile(const Item& item, BYTE* pBuffer)
{
    for (;;)
    {
        ULONGLONG ullCounted = 0;
        CString strText;
        unsigned nAnswered = GetAnswers();
        DWORD dwError = CopyFileOnce(item, pBuffer, ullCounted, strText);
        if (dwError == 0 || dwError == ERROR_CANCELLED)
            return dwError;
        // Another try starts the file again: its bytes are counted once.
        m_ullBytesDone.fetch_sub(ullCounted, std::memory_order_relaxed);
        dwError = Recover(dwError, strText, nAnswered);
        if (dwError != 0)
            return dwError;
    }
}

DWORD CFileTreeCopier::CopyFileOnce(const Item& item, BYTE* pBuffer, ULONGLONG& ullCounted, CString& strText)
{
    const CString strSource = SourceOf(item);
    const CString strDest = DestOf(item);
    DWORD dwError = item.bDestExists ? CheckReplaceable(strDest, item.dwDestAttributes) : 0;
    if (dwError != 0)
    {
        strText = ReplaceErrorText(dwError, strDest);
        return dwError;
    }

    HANDLE hSource = ::CreateFileA(strSource, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hSource == INVALID_HANDLE_VALUE)
    {
        dwError = LastError();
        strText = ReadErrorText(dwError, strSource);
        return dwError;
    }
    // A file of a new tree is written in place in the tree's temporary folder.
    Job& job = m_jobs[item.nJob];
    CCopyTempFile temp;
    dwError = temp.Create(WriteOf(item), job.strWrite != job.strDest,
                          job.pStageFolder != nullptr ? job.pStageFolder->GetPath() : CString());
    bool bStopped = false, bReadFailed = false;
    if (dwError == 0)
        dwError = CopyContent(item, hSource, temp.GetHandle(), pBuffer, ullCounted, bStopped, bReadFailed);
    ::CloseHandle(hSource);
    // A half file that stays under its own name keeps its tree from being placed.
    if ((bStopped || dwError != 0) && !temp.Discard())
        ::InterlockedExchange(&job.nSpoiled, 1);
    if (bStopped)
        return ERROR_CANCELLED;
    if (dwError != 0)
    {
        strText = bReadFailed ? ReadErrorText(dwError, strSource) : WriteErrorText(dwError, strDest);
        return dwError;
    }
    const FILETIME times[3] = { item.ftCreation, item.ftLastAccess, item.ftLastWrite };
    dwError = CCopyTempFile::WaitOutHolds([&] { return temp.Commit(times, item.dwAttributes & kCopiedAttributes); });
    if (dwError != 0)
        strText = ReplaceErrorText(dwError, strDest);
    return dwError;
}

DWORD CFileTreeCopier::CopyContent(const Item& item, HANDLE hSource, HANDLE hDest, BYTE* pBuffer,
                                   ULONGLONG& ullCounted, bool& bStopped, bool& bReadFailed)
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

    for (;;)
    {
        DWORD dwRead = 0;
        if (!s_pfnReadFile(hSource, pBuffer, kChunk, &dwRead, nullptr))
        {
            bReadFailed = true;
            return LastError(ERROR_READ_FAULT);
        }
        // Only a read of nothing is the end: a network share or a scratched disc may give
        // less than asked in the middle of a file.
        if (dwRead == 0)
            break;
        DWORD dwWritten = 0;
        if (!s_pfnWriteFile(hDest, pBuffer, dwRead, &dwWritten, nullptr))
            return LastError(ERROR_WRITE_FAULT);
        if (dwWritten != dwRead)
            return ERROR_DISK_FULL;
        ullCounted += dwRead;
        m_ullBytesDone.fetch_add(dwRead, std::memory_order_relaxed);
        // A read short of a chunk that reaches the size the scan found is the end: the
        // read of nothing after it would only cost another call.
        bool bEnd = dwRead < kChunk && ullCounted == item.ullSize;
        // A question of another thread holds this one here; a cancel, or an error that
        // was not tried again, stops it.
        WaitWhilePaused();
        if (IsCancelRequested() || HasFailed())
        {
            bStopped = true;
            return 0;
        }
        if (bEnd)
            break;
    }
    // The file may have changed since the scan: its copy ends where it ended.
    if (bSized && ullCounted != item.ullSize && !::SetEndOfFile(hDest))
        return LastError();
    return 0;
}
