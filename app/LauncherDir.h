#pragma once

#include "platform/String.h"

// The folder of the running executable, ending in a backslash: the module path with the
// length of "<exe name>.exe" cut off its end. Only the length counts, so SETUP.EXE and
// Setup.exe cut alike.
CString LauncherDirFromModulePath(LPCSTR pszModulePath, LPCSTR pszExeName);
