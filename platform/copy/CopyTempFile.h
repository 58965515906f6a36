// The file that a copied file is written to before it takes its own name: a temporary file
// in a marked temporary folder beside the destinations (or in the destination's folder
// where no such folder fits), named "~vm" with four hexadecimal digits and ".tmp"
// ("~vm00A3.tmp"; eleven characters, so it fits wherever an 8.3 name does). Only when the
// file is whole does it move to its own name, replacing what stood there in one step, so a
// file under its own name is always complete: after an error, a cancel or a kill, the
// earlier file or none. A kill can leave the temporary file itself: it lies in a marked
// temporary folder (CCopyTempFolder), which the next copy removes (CCopyLeftovers). The
// file is held open without sharing while it is written.
// The four digits start at a different place in every run.
//
// A file of a new tree that is written in a temporary folder of that name (CFileTreeCopier)
// is written in place: its path is no file's own until the whole folder takes its name.
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

    // Opens a new file for writing: a temporary one in strTempFolder (a marked temporary
    // folder, CCopyTempFolder) or, without one, beside strDest; or strDest itself when
    // bInPlace. 0 or the system's error.
    DWORD Create(const CString& strDest, bool bInPlace, const CString& strTempFolder = CString());
    HANDLE GetHandle() const { return m_hFile; }

    // Gives the written file the times and attributes of its source and moves it to its
    // destination, replacing a file there (a read-only, hidden or system one too). 0 or the
    // system's error; either way the file is done with or still to be discarded.
    DWORD Commit(const FILETIME ftTimes[3], DWORD dwAttributes);

    // Closes and deletes the temporary file, if there is one. False when it stays (another
    // program holds it).
    bool Discard();

    // A new temporary name ("~vm00A3.tmp"), for a file or a folder, of kNameLength characters.
    static constexpr int kNameLength = 11;
    static CString NextName();

    // Whether a file or folder name is one that NextName gives.
    static bool IsTempName(LPCSTR pszName);
    static bool IsTempName(LPCWSTR pszName);

    // Moves a file onto strDest, replacing a file there (a read-only, hidden or system one
    // too). 0 or the system's error.
    static DWORD MoveReplacing(const CString& strFrom, const CString& strDest);

    // Renames the open file or folder to strDest (a full path) through its handle, which
    // needs DELETE access; ERROR_NOT_SUPPORTED where the system cannot (Windows XP).
    static DWORD RenameHandle(HANDLE hFile, const CString& strDest, bool bReplace);

private:
    static HANDLE OpenOwnFileAfresh(const CString& strPath);
    DWORD CommitByHandle(const FILETIME ftTimes[3], DWORD dwAttributes);
    DWORD CommitByName(const FILETIME ftTimes[3], DWORD dwAttributes);
    DWORD RenameByHandle();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;      // the file being written; empty once it is done with
    CString m_strDest;
};
