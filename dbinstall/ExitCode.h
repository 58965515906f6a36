// The exit codes of a launcher run with switches, as deployment tools read them: the
// database command sets them, the start-up returns them.
#pragma once

// The process's exit codes, as deployment tools read them.
enum LauncherExitCode
{
    exitInstalled = 0,
    exitFileInUse = 32,   // a file stayed in use after the retries: try again later
    exitDiskFull = 112,
    exitCancelled = 1602,
    exitFailed = 1603,
    exitNotInstalled = 1605,   // a removal where nothing of ours is installed
    exitMediaUnreadable = 1612,
    exitAlreadyRunning = 1618,
    exitLogUnwritable = 1622,
    exitBadCommandLine = 1639,
};
