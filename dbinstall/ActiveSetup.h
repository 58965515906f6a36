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
// HKCU: the system's reg.exe by its full path (stored as REG_EXPAND_SZ, so no reg.exe in a
// user's folder or path runs instead), whose argument rules take a backslash before a
// closing quote as an escaped quote, so every trailing backslash of the root is doubled.
CString ActiveSetupStubPath(const CString& strRoot);

// The command that deletes the user's own "reriPath" where it names strRoot and leaves one
// that names another folder: reg.exe cannot compare, so cmd.exe reads the value through
// reg.exe and compares it. Both by the full path of this system's folder (the text is
// kept as REG_SZ: cmd.exe would read a %name% of its own in the expanded form).
CString ActiveSetupRemovalStubPath(const CString& strRoot);

// The Version that follows pszOld ("a,b,c,d"; "" when there is none): the larger of the
// clock's "yyMM,ddHH,mmss,0" (UTC) and pszOld with its last part one higher. It grows
// across removals (which delete the key) and a clock set back alike.
CString NextActiveSetupVersion(LPCSTR pszOld, const SYSTEMTIME& stUtc);

// Whether the component can be written, asked before anything is copied: 0, or the
// registry's error (usually 5: not run as an administrator or as LocalSystem).
LONG CheckActiveSetupWritable();

// Writes the component (name, IsInstalled 1, the Version that follows the one there, the
// StubPath for strRoot). 0, or the registry's error.
LONG RegisterActiveSetup(const CString& strRoot, CString& strVersion);
// The same with a StubPath of the caller's, of the given type (REG_SZ or REG_EXPAND_SZ).
LONG RegisterActiveSetupStub(const CString& strStub, DWORD dwStubType, CString& strVersion);
