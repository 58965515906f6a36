// The application object of the setup launcher.
#pragma once

#include "app/CommandLine.h"
#include "app/TempUninstaller.h"
#include "dbinstall/DatabaseRemoval.h"
#include "launcher/LauncherDlg.h"
#include "platform/LogFile.h"
#include "platform/WinApp.h"

class CLauncherApp : public CWinApp
{
public:
    CLauncherApp() = default;

    // The folder of the running executable, ending in a backslash. Set once by
    // InitInstance; everybody else only reads it.
    CString m_strLauncherDir;

    // The switches of the command line, and the log that /LOG or a silent run asks for
    // (not open otherwise: writing to it does nothing).
    CCommandLine m_commandLine;
    CLogFile m_log;

    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }

    DECLARE_MESSAGE_MAP()

private:
    // What the launcher window needs of the start-up.
    LauncherSettings Settings();
    // A start with arguments; returns the exit code.
    int RunWithSwitches(LPCSTR pszArguments);
    int RunLogged(bool bValid);
    // /UNINSTALL: the removal of the installation in /DIR; returns the exit code.
    int RunRemoval();
    // The named log, or a new one in %TEMP% when strFile is "".
    bool OpenLog(const CString& strFile);
    void WriteExitCode(int nExitCode);
    void WriteLogHeader();

    int m_nExitCode = 0;
    CUninstallerLink m_uninstaller;   // in the removal's copy: the uninstaller that started it
    RemovalResult m_removal;
};
