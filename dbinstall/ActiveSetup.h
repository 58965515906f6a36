// Registration of the database folder for every user of the PC, through Windows' Active
// Setup: a component under HKLM whose StubPath Windows runs once in each user's session at
// their next logon (again whenever its Version rises), writing the product's "reriPath"
// into that user's own HKCU. Needed when a deployment tool installs as LocalSystem, whose
// HKCU is nobody's.
#pragma once

#include "platform/String.h"

// The component's key, in the 64-bit registry view on 64-bit Windows (Windows reads only
// that view's components).
#define ACTIVE_SETUP_KEY "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{30FDFA2E-158D-49BC-8CBB-9AF2674E7704}"

// Whether the process runs as the LocalSystem account (S-1-5-18).
bool IsLocalSystem();

// The command that writes strRoot (ending in a backslash) as "reriPath" into the user's own
// HKCU: reg.exe, whose argument rules take a backslash before a closing quote as an escaped
// quote, so the root's last backslash is doubled.
CString ActiveSetupStubPath(const CString& strRoot);

// Writes the component (name, IsInstalled 1, a Version one above the one there, the
// StubPath for strRoot). 0, or the registry's error (usually 5: not run as an administrator).
LONG RegisterActiveSetup(const CString& strRoot, CString& strVersion);
