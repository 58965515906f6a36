// The file work of the copying engine (CopyWithProgress): checks a list of copy jobs,
// scans their trees and copies them, on whatever thread calls Run, while another thread
// reads the progress and may ask it to stop. Each job copies one source (a file, or a
// folder with everything beneath it, empty folders included) to one destination path:
// an existing destination folder is merged into, existing files are replaced (read-only
// ones too), missing folders are made, and the times and attributes of files and the
// attributes of folders are kept.
//
// An existing file is replaced only once its successor is whole: the new content goes to
// a temporary file beside it ("~vm" and a number), which then takes the old file's place
// in one step. A cancel or an error leaves the old file as it was; new files are written
// in place, and a partly written new file is deleted.
//
// The folders are made first, in order; then the files are copied by a few threads at
// once (Run's own and up to kCopyThreads - 1 more, all ended before Run returns): each
// new file costs several round trips to the system (under Wine, to its server), and
// threads that wait for them in turn keep the disk and the processors busy meanwhile.
// From a CD, DVD or removable drive, one thread reads the files in order: parallel
// readers would make the drive seek back and forth.
#pragma once

#include "platform/Afx.h"
#include "platform/SimpleArray.h"
#include "platform/String.h"

#include <atomic>

class CFileTreeCopier
{
public:
    struct Job
    {
        CString strSource;
        CString strDest;
    };

    enum Phase
    {
        phaseChecking,   // checking the sources and destinations
        phaseScanning,   // listing the trees and summing their bytes
        phaseCopying,    // copying (GetTotalBytes and GetCurrentName are valid)
        phaseDone,       // Run has returned
    };

    // Threads that copy files at once from a fixed or network drive, Run's own included.
    static constexpr unsigned kCopyThreads = 4;

    // Threads that copy files at once from a drive of the given GetDriveTypeA type.
    static unsigned CopyThreadsFor(UINT nDriveType);

    // The calls that ask a volume's free space and read a source file; tests replace them
    // to play a small disk or a short read.
    typedef BOOL(WINAPI* PFN_GETDISKFREESPACEEX)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    typedef BOOL(WINAPI* PFN_READFILE)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static PFN_GETDISKFREESPACEEX s_pfnGetDiskFreeSpaceEx;
    static PFN_READFILE s_pfnReadFile;

    CFileTreeCopier();
    ~CFileTreeCopier();
    CFileTreeCopier(const CFileTreeCopier&) = delete;
    CFileTreeCopier& operator=(const CFileTreeCopier&) = delete;

    // Before Run: one more source to copy to its destination path.
    void AddJob(const CString& strSource, const CString& strDest);

    // Does the whole work once. Nothing is made unless every source exists, is given as a
    // full path, and no destination is its own source or lies inside it, unless every
    // file path of the trees fits in MAX_PATH and every folder path in MAX_PATH - 12, and
    // unless each destination volume has the free space that the copy needs (the files
    // rounded up to whole clusters, less the files they replace). Stops at the first
    // error or at a cancel request (checked before every file and every chunk): complete
    // files stay, replaced files not yet complete keep their old content, partly written
    // new files are deleted. Returns 0, ERROR_CANCELLED (1223) or the first error; after
    // an error GetErrorDescription says what failed.
    //   Errors of the checks: the error of GetFileAttributesA for a missing source (2 or
    //   3); ERROR_BAD_PATHNAME (161) for a path that is not a full path or a destination
    //   that is its own source or lies inside it; ERROR_FILENAME_EXCED_RANGE (206) for a
    //   path too long; ERROR_DISK_FULL (112) for too little free space. Then the system's
    //   error of the failed call.
    DWORD Run();

    // Any thread: asks Run to stop at the next file or chunk.
    void RequestCancel() { m_bCancel.store(true, std::memory_order_relaxed); }
    bool IsCancelRequested() const { return m_bCancel.load(std::memory_order_relaxed); }

    // Any thread, while Run works.
    Phase GetPhase() const { return m_phase.load(std::memory_order_acquire); }
    unsigned GetItemsFound() const { return m_nItemsFound.load(std::memory_order_relaxed); }
    ULONGLONG GetTotalBytes() const { return m_ullTotalBytes; }          // from phaseCopying
    ULONGLONG GetBytesDone() const { return m_ullBytesDone.load(std::memory_order_relaxed); }
    // The name of the file or folder last begun, as the copied folder's name followed by
    // the path beneath it ("landuse\sub\file.dat"); "" outside phaseCopying.
    CString GetCurrentName() const;

    // After Run: a sentence naming what failed and the paths involved (no system text).
    const CString& GetErrorDescription() const { return m_strError; }

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
    };

    DWORD Check();
    DWORD Scan();
    DWORD ScanFolder(int nJob, int nFolder);
    DWORD AddItem(int nJob, int nParent, const CString& strRel, const WIN32_FIND_DATAA& fd);
    // A destination volume: its root, the first destination on it, and what the copy
    // needs there.
    struct Volume
    {
        CString strRoot;
        CString strProbe;
        ULONGLONG ullCluster;
        LONGLONG llNeed;
    };
    DWORD CheckFreeSpace();
    static ULONGLONG ClusterSize(const CString& strRoot);
    DWORD CheckFreeSpaceOn(const Volume& volume);
    DWORD Copy();
    DWORD MakeFolders();
    DWORD CopyFiles();
    void CopyFilesOnThisThread();
    static unsigned __stdcall CopyThreadMain(void* pThis);
    DWORD CopyOneFile(const Item& item, BYTE* pBuffer);
    HANDLE CreateTempFile(const CString& strDest, CString& strTemp);
    DWORD CopyContent(const Item& item, HANDLE hSource, HANDLE hDest, BYTE* pBuffer, bool& bStopped);
    static DWORD ReplaceWith(const CString& strTemp, const CString& strDest);
    DWORD SetFolderAttributes();
    static DWORD MakeFolder(const CString& strDest);
    // Records the first error, with a sentence built from pszFormat and the paths, and
    // stops the copy threads; returns dwError.
    DWORD Fail(DWORD dwError, const char* pszFormat, const CString& strPath1,
               const CString& strPath2 = CString());
    bool HasFailed() const { return m_bFailed.load(std::memory_order_relaxed); }

    CString SourceOf(const Item& item) const;
    CString DestOf(const Item& item) const;

    CSimpleArray<Job> m_jobs;
    CSimpleArray<Item> m_items;
    CSimpleArray<int> m_files;                   // indexes of the file items, in order
    std::atomic<int> m_nNextFile{0};             // the next of m_files to take
    std::atomic<int> m_nFilesDone{0};
    std::atomic<unsigned> m_nNextTemp{0};        // numbers the temporary files
    unsigned m_nThreads = kCopyThreads;

    CRITICAL_SECTION m_errorLock;
    DWORD m_dwError = 0;                         // the first error; under m_errorLock
    CString m_strError;                      // under m_errorLock until Run returns
    std::atomic<bool> m_bFailed{false};

    std::atomic<bool> m_bCancel{false};
    std::atomic<Phase> m_phase{phaseChecking};
    std::atomic<unsigned> m_nItemsFound{0};
    std::atomic<ULONGLONG> m_ullBytesDone{0};
    std::atomic<int> m_nCurrentItem{-1};
    ULONGLONG m_ullTotalBytes = 0;   // written before phaseCopying is published
};
