#include "platform/copy/FileTreeCopier.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyTempFolder.h"

CFileTreeCopier::PFN_GETDISKFREESPACEEX CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
CFileTreeCopier::PFN_READFILE CFileTreeCopier::s_pfnReadFile = &::ReadFile;
CFileTreeCopier::PFN_WRITEFILE CFileTreeCopier::s_pfnWriteFile = &::WriteFile;

unsigned CFileTreeCopier::CopyThreadsFor(UINT nDriveType)
{
    return nDriveType == DRIVE_CDROM || nDriveType == DRIVE_REMOVABLE ? 1 : kCopyThreads;
}

CFileTreeCopier::~CFileTreeCopier()
{
    for (Job& job : m_jobs)
    {
        delete job.pWriteFolder;
        delete job.pStageFolder;
    }
    ReleaseHeldFolders();
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
    SetPhase(phaseDone);
    return dwResult;
}

CString CFileTreeCopier::NameOfItem(int nItem) const
{
    if (nItem >= m_items.GetSize())
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
