// The file work of the copying engine (CopyWithProgress): checks a list of copy jobs,
// scans their trees and copies them, on whatever thread calls Run, while another thread
// reads the progress and may ask it to stop. Each job copies one source (a file, or a
// folder with everything beneath it, empty folders included) to one destination path:
// an existing destination folder is merged into, existing files are replaced (read-only
// ones too), missing folders are made, and the times and attributes of files and the
// attributes of folders are kept.
//
// A file appears under its own name only when it is whole: it is written to a temporary
// file in its folder (CCopyTempFile), which then takes its place in one step. A new tree
// (a destination folder that does not exist yet) is written whole in a temporary folder
// beside it instead (CCopyTempFolder), which takes the tree's name when the copy ends: one
// move for the tree rather than one for each file. When the destination folder appeared
// meanwhile (a second copy into the same folder placed it first), the tree is merged into
// it file by file. A cancel, an error or a kill leaves every file under its own name as it
// was or complete; what a kill leaves of the temporary files and folders, the next copy
// into the same folders removes before it measures the free space, leaving alone what a
// copy that still runs holds.
//
// An error that trying again may mend (a read, a write, a full disk, a file in use, a
// folder that cannot be made, too little free space) goes to OnRecoverableError, which may
// have the step tried again: the file from its start, the free space measured afresh. The
// other copy threads wait at their next chunk meanwhile; those that met a fault of their
// own before the answer take the answer as theirs (one question for one fault). A move,
// replace or delete that another program's hold refuses is first tried again by itself for
// a few seconds.
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

class CCopyTempFolder;
class CHeldFolder;

class CFileTreeCopier
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

    // The calls that ask a volume's free space, read a source file and write a copy; tests
    // replace them to play a small disk, a failing disc or a disk that fills.
    typedef BOOL(WINAPI* PFN_GETDISKFREESPACEEX)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    typedef BOOL(WINAPI* PFN_READFILE)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    typedef BOOL(WINAPI* PFN_WRITEFILE)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static PFN_GETDISKFREESPACEEX s_pfnGetDiskFreeSpaceEx;
    static PFN_READFILE s_pfnReadFile;
    static PFN_WRITEFILE s_pfnWriteFile;

    // What to do after an error that trying again may mend.
    enum Recovery
    {
        recoverFail,     // stop, with the error
        recoverRetry,    // try the step again
        recoverCancel,   // stop as a cancel does
    };

    CFileTreeCopier();
    virtual ~CFileTreeCopier();
    CFileTreeCopier(const CFileTreeCopier&) = delete;
    CFileTreeCopier& operator=(const CFileTreeCopier&) = delete;

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
    // an error GetErrorDescription says what failed.
    //   Errors that are not offered for a retry: the error of GetFileAttributesA for a
    //   missing source (2 or 3); ERROR_BAD_PATHNAME (161) for a path that is not a full
    //   path or a destination that is its own source or lies inside it;
    //   ERROR_FILENAME_EXCED_RANGE (206) for a path too long; a source folder that cannot
    //   be listed. Offered: ERROR_ALREADY_EXISTS (183) for a file where a folder goes or
    //   the other way round; ERROR_DISK_FULL (112) for too little free space; then the
    //   system's error of the failed call.
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

    // Milliseconds spent waiting for OnRecoverableError, the present wait included: the
    // copy's pace leaves them out.
    DWORD GetPausedMillis() const;

    // After Run: a sentence naming what failed and the paths involved (no system text).
    const CString& GetErrorDescription() const { return m_strError; }

protected:
    // Called on a copy thread, one call at a time, while the other copy threads wait at
    // their next chunk: strText names the file or folder and says what happened in plain
    // words, dwError is the system's error. Not called again for the faults that other
    // threads met before the answer. This class answers recoverFail.
    virtual Recovery OnRecoverableError(const CString& strText, DWORD dwError);

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

    // What a destination holds where an item goes, for the checks before the copy.
    struct DestState
    {
        bool bExists;
        bool bFolder;
        ULONGLONG ullSize;
    };

    DWORD Check();
    DWORD Scan();
    DWORD ScanFolder(int nJob, int nFolder);
    DWORD AddItem(int nJob, int nParent, const CString& strRel, const WIN32_FIND_DATAA& fd);
    DWORD CheckDestinations();
    DWORD InspectDestinations(CString& strText);
    static ULONGLONG ClusterSize(const CString& strRoot);
    DWORD Copy();
    bool StartNewTree(Job& job);
    DWORD PlaceNewTrees(bool bCompleted);
    DWORD MergeNewTree(int nJob);
    CString HeldFileText(int nJob) const;
    void RemoveLeftoversBeside();
    DWORD MakeFolders();
    DWORD CopyFiles();
    void CopyFilesOnThisThread();
    static unsigned __stdcall CopyThreadMain(void* pThis);
    DWORD CopyOneFile(const Item& item, BYTE* pBuffer);
    DWORD CopyFileOnce(const Item& item, BYTE* pBuffer, ULONGLONG& ullCounted, CString& strText);
    DWORD CopyContent(const Item& item, HANDLE hSource, HANDLE hDest, BYTE* pBuffer,
                      ULONGLONG& ullCounted, bool& bStopped, bool& bReadFailed);
    DWORD SetFolderAttributes();
    static DWORD MakeFolder(const CString& strDest, bool bLinkAllowed);
    void StartStaging(Job& job);
    void ReleaseHeldFolders();
    // Records the first error, with a sentence built from pszFormat and the paths, and
    // stops the copy threads; returns dwError.
    DWORD Fail(DWORD dwError, const char* pszFormat, const CString& strPath1,
               const CString& strPath2 = CString());
    // After an error that trying again may mend: 0 to try again, ERROR_CANCELLED to stop,
    // or the error, recorded as Fail does. nAnswered: GetAnswers() when the failed step
    // began; a question answered since then answers this error too.
    DWORD Recover(DWORD dwError, const CString& strText, unsigned nAnswered);
    unsigned GetAnswers() const { return m_nAnswers.load(); }
    void WaitWhilePaused();
    bool HasFailed() const { return m_bFailed.load(std::memory_order_relaxed); }

    CString SourceOf(const Item& item) const;
    CString DestOf(const Item& item) const;
    CString WriteOf(const Item& item) const;   // where the item is written now

    CSimpleArray<Job> m_jobs;
    CSimpleArray<Item> m_items;
    CSimpleArray<int> m_files;                   // indexes of the file items, in order
    CSimpleArray<CHeldFolder*> m_heldFolders;    // the existing destination folders, held from their check on
    std::atomic<int> m_nNextFile{0};             // the next of m_files to take
    std::atomic<int> m_nFilesDone{0};
    unsigned m_nThreads = kCopyThreads;

    CRITICAL_SECTION m_askLock;                  // one OnRecoverableError at a time
    HANDLE m_hGoing = nullptr;                   // set while no question is open
    std::atomic<unsigned> m_nAnswers{0};         // questions answered
    Recovery m_lastAnswer = recoverFail;         // under m_askLock
    std::atomic<DWORD> m_dwPauseStart{0};        // tick count (| 1) of the open question; 0 when none
    std::atomic<DWORD> m_dwPausedMs{0};          // of the questions answered

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
