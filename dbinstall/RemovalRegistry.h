// What a removal takes out of the registry, and only where it names the removed root: the
// Programs and Features entry, the running user's "reriPath", and for an installation for
// every user, the Active Setup component turned to delete each user's value at their next
// logon. Another installation's entry or value stays as it is.
#pragma once

#include "platform/LogFile.h"

// Deletes the entry (UNINSTALL_ENTRY_KEY: HKLM's 64-bit view with bAllUsers, else HKCU)
// when its InstallLocation names strRoot; logs what it did. False when it names this root
// and could not be deleted; true otherwise, with bOtherEntry set when an entry of another
// folder stays.
bool RemoveUninstallEntry(const CString& strRoot, bool bAllUsers, bool& bOtherEntry, CLogFile& log);

// Deletes the running user's "reriPath" when it names strRoot; logs what it did. False when
// it names this root and could not be deleted.
bool RemoveDatabasePath(const CString& strRoot, CLogFile& log);

// Registers the Active Setup component again, with a raised Version, to delete each user's
// "reriPath" that names strRoot at their next logon; logs it. False when it failed.
bool RegisterPathRemovalForAllUsers(const CString& strRoot, CLogFile& log);
