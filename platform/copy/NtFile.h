// The few calls of ntdll that the held-folder work needs and the Win32 functions do not
// offer: opening a name relative to an open folder, listing a folder through its handle
// with names in UTF-16 as they are, and marking an open file for deletion. Present since
// Windows NT 4; looked up at run time. Errors come back as Win32 errors.
#pragma once

#include "platform/Afx.h"

class CNtFile
{
public:
    // Options of OpenRelative.
    enum
    {
        optFolder = 0x1,       // FILE_DIRECTORY_FILE
        optNotFolder = 0x40,   // FILE_NON_DIRECTORY_FILE
    };

    // Opens pszName (a name, or "" for the folder itself) relative to hFolder, for
    // synchronous use, never following a link or junction at the name (where the system
    // can: Wine follows a Unix symbolic link all the same). INVALID_HANDLE_VALUE and
    // the error in dwError when it fails.
    static HANDLE OpenRelative(HANDLE hFolder, LPCWSTR pszName, ACCESS_MASK access, ULONG nShare, ULONG nOptions,
                               DWORD& dwError);

    // One entry of a listing.
    struct Entry
    {
        ULONG NextEntryOffset;
        ULONG FileIndex;
        LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize;
        ULONG FileAttributes;
        ULONG FileNameLength;   // in bytes; the name is not terminated
        WCHAR FileName[1];
    };

    // Fills pBuffer with the next entries of the folder's listing (from its start with
    // bRestart), only those matching pszMask when given on the first call of a handle,
    // only one with bSingle. 0, ERROR_NO_MORE_FILES at the end, or the error.
    static DWORD QueryDirectory(HANDLE hFolder, void* pBuffer, ULONG cbBuffer, LPCWSTR pszMask, bool bSingle,
                                bool bRestart);

    // Marks the open file or folder (opened with DELETE access) for deletion when its last
    // handle closes; with bIgnoreReadOnly a read-only file too, where the system can
    // (Windows 10 1809 and later). 0 or the error: ERROR_ACCESS_DENIED for a read-only
    // file, ERROR_DIR_NOT_EMPTY for a folder that holds something.
    static DWORD SetDeleteDisposition(HANDLE h, bool bIgnoreReadOnly);

    // Sets the attributes of the open file (FILE_WRITE_ATTRIBUTES), leaving its times.
    static DWORD SetAttributes(HANDLE h, DWORD dwAttributes);
};
