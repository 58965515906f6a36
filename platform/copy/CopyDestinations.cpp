// The copy's look at its destinations, before anything is made: what a killed copy left
// there goes first (CCopyLeftovers), then what stands where each item goes (a link or
// junction, or a file where a folder goes or the other way round, stops the copy; an
// existing folder is held to the end of the copy; an existing file is to be replaced),
// then each destination volume's free space against what the copy needs (CCopySpace).
// Found out here, not halfway through the copy.
#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyErrors.h"
#include "platform/copy/CopyLeftovers.h"
#include "platform/copy/CopyPath.h"
#include "platform/copy/CopySpace.h"
#include "platform/copy/HeldFolder.h"

using namespace CopyErrors;

namespace {

const ULONGLONG kMegabyte = 1024ULL * 1024;

}  // namespace

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
            CCopyLeftovers::RemoveFrom(strParent);
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
