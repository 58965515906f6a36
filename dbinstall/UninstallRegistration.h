// The last step of a successful installation: the uninstaller put in its place, then the
// database's entry in Programs and Features (UninstallEntry.h) written, which deployment
// tools' detection rules take as the one mark that the database is installed.
#pragma once

#include "dbinstall/InstallRecord.h"
#include "platform/LogFile.h"

// The command that removes the installation in strRoot (ending in a backslash): the
// uninstaller in quotes, the removal switch, /DIR with the root in quotes and without its
// trailing backslash (a drive's root keeps it: "D:\"), and /ALLUSERS for every user.
CString UninstallCommand(const CString& strUninstaller, const CString& strRoot, bool bAllUsers);

// The folder that the entry names (its InstallLocation; "" when it has none), under
// HKEY_CURRENT_USER or with bAllUsers HKEY_LOCAL_MACHINE's 64-bit view. 0, or the error of
// opening the entry (ERROR_FILE_NOT_FOUND: there is none).
LONG ReadUninstallLocation(bool bAllUsers, CString& strLocation);

// Places the uninstaller and writes the entry for the installation in strRoot that the
// record describes: under HKEY_CURRENT_USER, or with bAllUsers under HKEY_LOCAL_MACHINE
// in the 64-bit view. An entry that named another folder now names this one; the earlier
// installation there is left as it is, and the log says how to remove it. Logs each step;
// true when both were done.
bool RegisterUninstall(const CString& strLauncherDir, const CString& strRoot, bool bAllUsers,
                       const CInstallRecord& record, CLogFile& log);
