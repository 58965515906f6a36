// The removal of an installation of the database, by a person from Programs and Features
// (one question naming the folder, the progress window, one result box) or by a
// deployment tool (no question, no box, every step in the log): exactly what its install
// record names, then the record, then the registry's marks of it (RemovalRegistry.h).
// Files that stay (held by another program, or left by a cancel) are named by the record
// written again, and the entry stays, so that a later removal finishes the job.
#pragma once

#include "dbinstall/ExitCode.h"
#include "platform/LogFile.h"
#include "platform/copy/RunWithProgress.h"

struct RemovalRequest
{
    CString strRoot;     // the destination root, ending in a backslash
    bool bAllUsers;      // installed for every user (/ALLUSERS, or a LocalSystem run)
    bool bAsk;           // a person at the PC: the question, Retry/Cancel, the result box
    RunWindow window;    // without a person: the progress window, or none
};

struct RemovalResult
{
    bool bAllGone = false;    // the entry of this installation is gone and no other stays:
                              // its uninstaller may go too
    bool bRootMade = false;   // the installation made the root (it goes when it is empty)
};

// Removes the installation in the request's root; returns the exit code (LauncherExitCode:
// 0 removed, 1602 cancelled or not wanted, 32 held files stayed, 1603 failed, 1605 nothing
// of ours is there). The root itself goes when the installation made it and it is empty.
int RemoveDatabase(const RemovalRequest& request, CLogFile& log, RemovalResult& result);
