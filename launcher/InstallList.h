// The install list "InstallList.txt" beside the launcher: line 1 the install mode,
// line 2 free, line 3 the product installer's path relative to the launcher folder.
#pragma once

#include "platform/String.h"

#define INSTALL_LIST_NAME "InstallList.txt"

// Reads the list at pszPath. Values whose line is missing keep what the caller put in.
// FALSE when the file could not be opened; nothing is read then.
BOOL ReadInstallListFile(LPCSTR pszPath, const CString& strLauncherDir, int& nInstallMode,
                         CString& strProductInstaller);
