// The file work of the copying engine (CopyWithProgress): checks a list of copy jobs,
// scans their trees and copies them, on whatever thread calls Run, while another thread
// reads the progress and may ask it to stop. Each job copies one source (a file, or a
// folder with everything beneath it, empty folders included) to one destination path:
// an existing destination folder is merged into, existing files are replaced (read-only
// ones too), missing folders are made, and the times and attributes of files and the
// attributes of folders are kept.
//
// A file appears under its own name only when it is whole: it is written to a temporary
// file (CCopyTempFile) in a marked temporary folder beside the destinations, which then
// takes its place in one step. A new tree (a destination folder that does not exist yet) is
// written whole in a temporary folder beside it instead (CCopyTempFolder), which takes the
// tree's name when the copy ends: one move for the tree rather than one for each file. When the destination folder appeared
// meanwhile (a second copy into the same folder placed it first), the tree is merged into
// it file by file. A cancel, an error or a kill leaves every file under its own name as it
// was or complete; what a kill leaves of the temporary files and folders, the next copy
// into the same folders removes before it measures the free space (CCopyLeftovers),
// leaving alone what a copy that still runs holds. Nothing is written through a link or
// junction at a destination: one is refused before anything is written, and the folders
// that exist already are held until the copy ends.
//
// The run itself is CFileRun's: the threads, the progress counters, Cancel, and the one
// question per fault. An error that trying again may mend (a read, a write, a full disk, a
// file in use, a folder that cannot be made, too little free space) goes to
// OnRecoverableError, which may have the step tried again: the file from its start, the
// free space measured afresh. A move, replace or delete that another program's hold
// refuses is first tried again by itself for a few seconds (WaitOutHolds).
//
// The folders are made first, in order; then the files are copied by a few threads at
// once (Run's own and up to kCopyThreads - 1 more). From a CD, DVD or removable drive,
// one thread reads the files in order: parallel readers would make the drive seek back
// and forth.
//
// Which file holds which phase of Run:
//   FileTreeCopier.cpp    the order of the phases, the jobs and items, their paths
//   CopyScan.cpp          the checks before anything is written, the scan of the trees
//   CopyDestinations.cpp  what stands at the destinations, the leftover clean-up, the free space
//   CopyFiles.cpp         making the folders, copying the files, the folders' attributes
//   CopyNewTrees.cpp      new trees: their temporary folders, the move, the merge
//   CopyErrors.cpp        the sentences that say what failed
#pragma once

#include "platform/Afx.h"
#include "platform/SimpleArray.h"
#include "platform/String.h"
#include "platform/copy/FileRun.h"

class CCopyTempFolder;
class CHeldFolder;

class CFileTreeCopier : public CFileRun
{
public:
    struct Job
    {
        CString strSource;
        CString strDest;
        CString strWrite;   // where the tree is written: strDest, or a new tree's temporary folder
        int nSlack;         // characters that every path of the tree can grow by and still fit
        CCopyTempFolder* pWriteFolder;   // a new tree's temporary folder, held while written
        CCopyTempFolder* pStageFolder;   // where the files that replace existing ones are written
        LONG nSpoiled;      // a half file in the temporary folder could not be removed
    };

    // Threads that copy files at once from a fixed or network drive, Run's own included.
    static constexpr unsigned kCopyThreads = kMaxThreads;

    // Threads that copy files at once from a drive of the given GetDriveTypeA type.
    static unsigned CopyThreadsFor(UINT nDriveType);

    // The calls that ask a volume's free space, read a source file and write a copy; tests
    // replace them to play a small disk, a failing disc or a disk that fills.
    typedef BOOL(WINAPI* PFN_GETDISKFREESPACEEX)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    typedef BOOL(WINAPI* PFN_READFILE)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    typedef BOOL(WINAPI* PFN_WRITEFILE)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static PFN_GETDISKFREESPACEEX s_pfnGetDiskFreeSpaceEx;
    static PFN_READFILE s_pfnReadFile;
    static PFN_WRITEFILE s_pfnWriteFile;

    CFileTreeCopier() = default;
    ~CFileTreeCopier() override;

    // Before Run: one more source to copy to its destination path.
    void AddCopyJob(const CString& strSource, const CString& strDest);

    // Does the whole work once. Nothing is made unless every source exists, is given as a
    // full path, and no destination is its own source or lies inside it, unless every
    // file path of the trees fits in MAX_PATH and every folder path in MAX_PATH - 12,
    // unless no file stands where a folder goes or the other way round, and unless each
    // destination volume has the free space that the copy needs (CCopySpace). Stops at a
    // cancel request (checked before every file and every chunk) or at an error that is
    // not tried again: complete files stay, replaced files keep their old content, and no
    // temporary file is left. Returns 0, ERROR_CANCELLED (1223) or the first error; after
    // an error GetErrorDescription says what failed. The progress: phasePreparing while
    // checking and scanning, phaseWorking while copying; the current name is the copied
    // folder's name followed by the path beneath it ("landuse\sub\file.dat").
    //   Errors that are not offered for a retry: the error of GetFileAttributesA for a
    //   missing source (2 or 3); ERROR_BAD_PATHNAME (161) for a path that is not a full
    //   path or a destination that is its own source or lies inside it;
    //   ERROR_FILENAME_EXCED_RANGE (206) for a path too long; a source folder that cannot
    //   be listed. Offered: ERROR_ALREADY_EXISTS (183) for a file where a folder goes or
    //   the other way round; ERROR_DISK_FULL (112) for too little free space; then the
    //   system's error of the failed call.
    DWORD Run() override;

protected:
    CString NameOfItem(int nItem) const override;
    DWORD DoWorkItem(int nIndex, void* pState) override;
    DWORD BeginWorker(void*& pState) override;
    void EndWorker(void* pState) override;

private:
    struct Item
    {
        CString strRel;          // path beneath the job's source; "" for the source itself
        ULONGLONG ullSize;
        FILETIME ftCreation;
        FILETIME ftLastAccess;
        FILETIME ftLastWrite;
        DWORD dwAttributes;
        int nJob;
        int nParent;             // the item of the folder that holds it; -1 for a root
        bool bDestExists;        // found at the destination before the copy
        DWORD dwDestAttributes;  // of what was found there
    };

    // CopyScan.cpp
    DWORD Check();
    DWORD Scan();
    DWORD ScanFolder(int nJob, int nFolder);
    DWORD AddItem(int nJob, int nParent, const CString& strRel, const WIN32_FIND_DATAA& fd);
    // CopyDestinations.cpp
    DWORD CheckDestinations();
    void RemoveLeftoversBeside();
    DWORD InspectDestinations(CString& strText);
    static ULONGLONG ClusterSize(const CString& strRoot);
    void ReleaseHeldFolders();
    // CopyFiles.cpp
    DWORD Copy();
    DWORD MakeFolders();
    static DWORD MakeFolder(const CString& strDest, bool bLinkAllowed);
    DWORD CopyOneFile(const Item& item, BYTE* pBuffer);
    DWORD CopyFileOnce(const Item& item, BYTE* pBuffer, ULONGLONG& ullCounted, CString& strText);
    DWORD CopyContent(const Item& item, HANDLE hSource, HANDLE hDest, BYTE* pBuffer,
                      ULONGLONG& ullCounted, bool& bStopped, bool& bReadFailed);
    DWORD SetFolderAttributes();
    // CopyNewTrees.cpp
    bool StartNewTree(Job& job);
    void StartStaging(Job& job);
    DWORD PlaceNewTrees(bool bCompleted);
    DWORD MergeNewTree(int nJob);
    CString HeldFileText(int nJob) const;

    CString SourceOf(const Item& item) const;
    CString DestOf(const Item& item) const;
    CString WriteOf(const Item& item) const;   // where the item is written now

    CSimpleArray<Job> m_jobs;
    CSimpleArray<Item> m_items;
    CSimpleArray<int> m_files;                   // indexes of the file items, in order
    CSimpleArray<CHeldFolder*> m_heldFolders;    // the existing destination folders, held from their check on
    unsigned m_nThreads = kCopyThreads;
};
