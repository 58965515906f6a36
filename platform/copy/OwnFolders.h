// The folders that the copy makes, and who may change them afterwards. When the launcher
// runs as LocalSystem or with an administrator's elevated token, a folder it makes gets an
// access list of its own that inherits nothing from its parent (kSddl): Administrators
// and SYSTEM full control, Users read and execute. A folder made beneath C:\ would else
// inherit "Authenticated Users: Modify" from the drive's root, and a user could plant a
// link or a file there for the next SYSTEM run to follow. What is copied into such a folder
// inherits the same list. In a user's own run a new folder inherits as any folder does:
// there is no one of fewer rights to keep out.
//
// CreateDirectory with the security descriptor is what makes this hold on Windows: the
// folder never exists with another list. Wine keeps no access lists on files at all.
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

class COwnFolders
{
public:
    // Makes the folder strPath, whose parent must exist, as CreateDirectoryA does. 0 or the
    // system's error (ERROR_ALREADY_EXISTS when the name is taken).
    static DWORD Make(const CString& strPath);

    // Whether this process runs as LocalSystem or as an administrator with full rights.
    static bool IsPrivilegedRun();

    // The access list of the folders made in such a run.
    static const char kSddl[];

    // The call that makes a folder; tests replace it to see what each folder is made with.
    typedef BOOL(WINAPI* PFN_CREATEDIRECTORY)(LPCSTR, LPSECURITY_ATTRIBUTES);
    static PFN_CREATEDIRECTORY s_pfnCreateDirectory;
};
