// The file that a copied file is written to before it takes its own name: a temporary file
// in the destination's folder, named "~vm" with four hexadecimal digits and ".tmp"
// ("~vm00A3.tmp"; eleven characters, so it fits wherever an 8.3 name does). Only when the
// file is whole does it move to its own name, replacing what stood there in one step, so a
// file under its own name is always complete: after an error, a cancel or a kill, the
// earlier file or none. A kill can leave the temporary file itself; the next copy into the
// folder removes it (RemoveLeftovers).
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

class CCopyTempFile
{
public:
    CCopyTempFile() = default;
    ~CCopyTempFile() { Discard(); }
    CCopyTempFile(const CCopyTempFile&) = delete;
    CCopyTempFile& operator=(const CCopyTempFile&) = delete;

    // Opens a new temporary file for writing beside strDest; 0 or the system's error.
    DWORD Create(const CString& strDest);
    HANDLE GetHandle() const { return m_hFile; }

    // Gives the written file the times and attributes of its source and moves it to
    // strDest, replacing a file there (a read-only, hidden or system one too). 0 or the
    // system's error; either way the temporary file is gone or still to be discarded.
    DWORD Commit(const CString& strDest, const FILETIME ftTimes[3], DWORD dwAttributes);

    // Closes and deletes the temporary file, if there is one.
    void Discard();

    // Whether a file name is one that Create gives.
    static bool IsTempName(LPCSTR pszName);

    // Deletes the temporary files that an earlier copy left in the folder.
    static void RemoveLeftovers(const CString& strFolder);

private:
    DWORD CommitByHandle(const CString& strDest, const FILETIME ftTimes[3], DWORD dwAttributes);
    DWORD CommitByName(const CString& strDest, const FILETIME ftTimes[3], DWORD dwAttributes);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;
};
