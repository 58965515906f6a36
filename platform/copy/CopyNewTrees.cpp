// A new tree (a destination folder that did not exist before the copy) is written whole in
// a temporary folder beside its place (CCopyTempFolder) and takes its name in one move
// when the copy ends; when a folder of that name appeared meanwhile (a second copy placed
// it first), the tree is merged into it file by file instead. The files that replace an
// earlier installation's are written in such a folder too (StartStaging).
#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyErrors.h"
#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"
#include "platform/copy/HeldFolder.h"

using namespace CopyErrors;

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
            DWORD dwError = WaitOutHolds([&] {
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
            DWORD dwError = bFolder ? MakeFolder(DestOf(item), false) : WaitOutHolds([&] {
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

