// The launcher's switches, for deployment tools that install the database on many PCs
// without a person at each: what a command line asks for, or why it is not valid.
// Switches are case-insensitive, start with '/' or '-', and take a value after '='
// (in quotes when it holds spaces; quotes are dropped wherever they stand, and a quote left
// open makes the line invalid).
#pragma once

#include "dbinstall/ExitCode.h"
#include "platform/String.h"

// "installed", "cancelled", ... for the log's last line; "removed" for 0 after bRemoval.
LPCSTR ExitCodeMeaning(int nExitCode, bool bRemoval = false);

class CCommandLine
{
public:
    enum Mode
    {
        modeInteractive,   // today's launcher: questions, folder chooser, boxes
        modeSilent,        // the progress window only
        modeVerySilent,    // no window at all
    };

    // What follows the program's name in a command line, without the blanks before it. A
    // quoted name ends at its closing quote, so a switch glued to it is still a switch.
    static LPCSTR SkipProgramName(LPCSTR pszCommandLine);

    // Reads the arguments; false (with the reason in GetError) when the line is not valid.
    // An invalid line that names /SILENT or /VERYSILENT anywhere, even inside a quote left
    // open, is taken as that silent mode, so that no box waits for nobody; /? and /HELP
    // make a silent line invalid (the help goes to the log). A full /DIR is made canonical
    // (GetFullPathNameA: absolute, no "." or "..", no trailing dots or spaces), without a
    // trailing backslash unless it is a drive root.
    bool Parse(LPCSTR pszArguments);

    Mode GetMode() const { return m_mode; }
    bool IsSilent() const { return m_mode != modeInteractive; }
    const CString& GetDir() const { return m_strDir; }          // "" when not given
    bool WantsLog() const { return m_bLog || IsSilent(); }
    const CString& GetLogFile() const { return m_strLogFile; }  // "": a new file in %TEMP%
    bool CanCancel() const { return !m_bNoCancel; }
    bool ForAllUsers() const { return m_bAllUsers; }
    bool WantsHelp() const { return m_bHelp; }
    // /UNINSTALL: remove the installation in GetDir() instead of installing.
    bool IsUninstall() const { return m_bUninstall; }
    // The removal's own copy of the launcher, started by the uninstaller with what it needs
    // of it (/UNINSTALLCOPY=, never typed by anyone): "" in the uninstaller itself.
    const CString& GetUninstallerLink() const { return m_strUninstallerLink; }
    const CString& GetError() const { return m_strError; }
    // The switches accepted that change nothing here (" /SP- /NORESTART"), for the log.
    const CString& GetIgnored() const { return m_strIgnored; }

    // The text of the help box: the switches and the exit codes.
    static LPCSTR HelpText();

private:
    bool Take(const CString& strToken);
    bool Refuse(LPCSTR pszFormat, const CString& strWhat);
    bool TakeDir(const CString& strValue);
    static Mode SilentModeNamedIn(LPCSTR pszArguments);

    Mode m_mode = modeInteractive;
    CString m_strDir;
    bool m_bDirGiven = false;
    bool m_bLog = false;
    CString m_strLogFile;
    bool m_bNoCancel = false;
    bool m_bAllUsers = false;
    bool m_bHelp = false;
    bool m_bUninstall = false;
    CString m_strUninstallerLink;
    CString m_strError;
    CString m_strIgnored;
};
