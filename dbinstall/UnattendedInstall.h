// The database installation of a run without a person at the PC (/SILENT, /VERYSILENT):
// what the Yes, Yes and folder choice of the database screen would do, with no question
// and no box, every step written to the log, and an exit code for the deployment tool.
#pragma once

#include "dbinstall/ExitCode.h"
#include "platform/LogFile.h"
#include "platform/copy/RunWithProgress.h"

// Logs the bytes of the media's data folders and the free space of the destination's volume.
void LogSpace(const CString& strLauncherDir, const CString& strRoot, CLogFile& log);

// Writes "reriPath" for the running account and, with bAllUsers, the Active Setup
// component that writes it for every user at their next logon; logs each write. True when
// everything was written.
bool RegisterDestination(const CString& strRoot, bool bAllUsers, CLogFile& log);

// Installs from the media in strLauncherDir into strDir (/DIR), showing the progress as
// window says; returns the exit code (LauncherExitCode). An error that trying again may
// mend is tried again up to five more times, two seconds apart (CQuietRetries), before the
// run fails with it. bAllUsers (/ALLUSERS): registered for every user too, as it is when
// the run is LocalSystem's.
int InstallDatabaseUnattended(const CString& strDir, bool bAllUsers, RunWindow window, const CString& strLauncherDir,
                              CLogFile& log);
