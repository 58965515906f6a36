// The copy itself: the folders first, in order (a folder before what it holds), then the
// files by a few worker threads at once (CFileRun::RunWorkItems), each written whole under
// a temporary name (CCopyTempFile) and put in its place in one step, then the new trees
// placed (CopyNewTrees.cpp), then the attributes of the folders, last, when nothing more is
// written into them.
#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyErrors.h"
#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/OwnFolders.h"

using namespace CopyErrors;

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

DWORD CFileTreeCopier::Copy()
{
    SetPhase(phaseWorking);
    for (Job& job : m_jobs)
        job.strWrite = job.strDest;
    DWORD dwResult = MakeFolders();
    if (dwResult == 0)
        dwResult = RunWorkItems(m_files.GetSize(), m_nThreads);
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
            SetCurrentItem(nItem);
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

DWORD CFileTreeCopier::BeginWorker(void*& pState)
{
    pState = ::VirtualAlloc(nullptr, kChunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (pState != nullptr)
        return 0;
    DWORD dwError = LastError(ERROR_NOT_ENOUGH_MEMORY);
    // Another thread may do without: only when none can is it an error.
    if (GetItemsTaken() == 0 && GetItemsCompleted() == 0 && !m_files.IsEmpty())
    {
        const Item& item = m_items[m_files[0]];
        Fail(dwError, "Cannot copy \"%s\" to \"%s\".", SourceOf(item), DestOf(item));
    }
    return dwError;
}

void CFileTreeCopier::EndWorker(void* pState)
{
    if (pState != nullptr)
        ::VirtualFree(pState, 0, MEM_RELEASE);
}

DWORD CFileTreeCopier::DoWorkItem(int nIndex, void* pState)
{
    int nItem = m_files[nIndex];
    SetCurrentItem(nItem);
    return CopyOneFile(m_items[nItem], static_cast<BYTE*>(pState));
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
        TakeBackBytesDone(ullCounted);
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
    dwError = WaitOutHolds([&] { return temp.Commit(times, item.dwAttributes & kCopiedAttributes); });
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
        AddBytesDone(dwRead);
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
