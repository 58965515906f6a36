// The uninstaller: a copy of the running launcher that Programs and Features starts with
// the removal switch, so that the database can be removed when the media is long gone.
#pragma once

#include "platform/String.h"

// The folder of the uninstaller, ending in a backslash: the destination root for an
// installation by and for one user; for every user, "BRANTIK\VORMEL database" under the
// system's Program Files folder, which only administrators can change: a machine-wide
// entry's command is run elevated, and a user who could replace a file in a root that
// users may write would have it run their program. "" when Program Files is not known.
CString UninstallerFolder(const CString& strRoot, bool bAllUsers);

// Copies the running launcher (strLauncherExe) to strFolder + UNINSTALLER_NAME, whole or
// not at all: written under a temporary name of its own making in the folder, which is
// held meanwhile, then renamed over an uninstaller there (never written through a name a
// user could have planted, nor through a link). For every user the folders are made first,
// with the access list of the folders the launcher makes. 0 or the system's error.
DWORD PlaceUninstaller(const CString& strLauncherExe, const CString& strFolder, bool bAllUsers);
