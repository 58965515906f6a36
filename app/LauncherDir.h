#pragma once

#include "platform/String.h"

// The folder of the running executable, ending in a backslash: the module path with the
// length of "<exe name>.exe" cut off its end. Only the length counts, so SETUP.EXE and
// Setup.exe cut alike. A module path in a long-path form ("\\?\C:\...",
// "\\?\UNC\server\share\...") or as Wine gives it for a share ("UNC\server\share\...")
// comes out in the usual form ("C:\...", "\\server\share\..."). Any other device form
// ("\\?\Volume{GUID}\...", "\\?\GLOBALROOT\Device\CdRom0\...", "\\.\...") is kept
// whole: cut short it would be a relative path, found in whatever the current folder is.
CString LauncherDirFromModulePath(LPCSTR pszModulePath, LPCSTR pszExeName);
