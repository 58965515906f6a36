// The removal of an installation as a file run (CFileRun): the files its record names, on
// the run's worker threads, each deleted through the destination root held open and the
// folders on the way opened by their true names (CHeldFolder), never through a link; then
// each recorded folder left empty, deepest first. A file that another program holds is
// asked about as in the copy (Retry or Cancel with a person at the PC; the quiet retries
// without one), and when the answer gives up on it, it stays and the others still go.
#pragma once

#include "dbinstall/InstallRecord.h"
#include "platform/copy/FileRun.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/RunProgressDlg.h"

extern const RunTexts g_removalTexts;

class CRemovalRun : public CFileRun
{
public:
    explicit CRemovalRun(const CInstallRecord& record) : m_record(record) {}

    // Holds the root for the whole run. 0 or the system's error.
    DWORD Open(const CString& strRoot) { m_strRoot = strRoot; return m_root.Open(strRoot, true); }
    void Close() { m_root.Close(); }

    DWORD Run() override;

    // After the run: the files that were removed (or already gone), those that stayed, and
    // of these the ones that stayed held by another program to the end.
    int GetFilesRemoved() const { return m_nFilesRemoved; }
    int GetFilesStayed() const { return m_nFiles - m_nFilesRemoved; }
    int GetFilesHeld() const { return m_nHeld.load(); }
    int GetFoldersRemoved() const { return m_nFoldersRemoved; }
    // What of ours stands after the run: the files that stayed and the recorded folders
    // that are still there (which hold those files, or files that are not ours).
    const CInstallRecord& GetStayed() const { return m_stayed; }

protected:
    Recovery OnRecoverableError(const CString& strText, DWORD dwError) override;
    CString NameOfItem(int nItem) const override;
    DWORD DoWorkItem(int nIndex, void* pState) override;

private:
    const CInstallRecord& m_record;
    CString m_strRoot;
    CHeldFolder m_root;
    CSimpleArray<int> m_files;     // the record's items that are files
    CSimpleArray<char> m_removed;  // per file: written only by the worker that took it
    int m_nFiles = 0;
    int m_nFilesRemoved = 0;
    int m_nFoldersRemoved = 0;
    std::atomic<int> m_nHeld{0};
    CInstallRecord m_stayed;
};
