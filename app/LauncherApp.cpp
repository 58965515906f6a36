#include "app/LauncherApp.h"

#include "app/LauncherDir.h"
#include "app/LauncherInstance.h"
#include "app/TempUninstaller.h"
#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/DatabaseRemoval.h"
#include "dbinstall/InstallDatabase.h"
#include "dbinstall/UnattendedInstall.h"
#include "launcher/LauncherDlg.h"
#include "platform/ModuleVersion.h"
#include "platform/SessionEndGuard.h"
#include "platform/copy/CopyPath.h"

BEGIN_MESSAGE_MAP(CLauncherApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLauncherApp theApp;

namespace {

const char* const kModes[] = { "interactive", "silent (/SILENT)", "very silent (/VERYSILENT)" };

LPCSTR DriveTypeName(UINT nType)
{
    switch (nType)
    {
    case DRIVE_REMOVABLE: return "removable";
    case DRIVE_FIXED: return "fixed";
    case DRIVE_REMOTE: return "network";
    case DRIVE_CDROM: return "CD/DVD";
    case DRIVE_RAMDISK: return "RAM disk";
    default: return "unknown";
    }
}

}  // namespace

BOOL CLauncherApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CSessionEndGuard::SetReason("Copying the VORMEL database");
    CString strModulePath = AfxGetModuleFileName(m_hInstance);
    m_strLauncherDir = LauncherDirFromModulePath(strModulePath, m_pszExeName);

    LPCSTR pszArguments = CCommandLine::SkipProgramName(::GetCommandLineA());
    if (*pszArguments != '\0')
    {
        m_nExitCode = RunWithSwitches(pszArguments);
        return FALSE;
    }

    CLauncherInstance instance;
    if (!instance.Claim(m_strLauncherDir, true))
        return FALSE;

    CDatabaseLauncherDlg dlg(Settings());
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The program ends when the launcher closes; there is no application message loop.
    return FALSE;
}

int CLauncherApp::RunWithSwitches(LPCSTR pszArguments)
{
    bool bValid = m_commandLine.Parse(pszArguments);
    bool bSilent = m_commandLine.IsSilent();
    if (m_commandLine.WantsHelp() && !bSilent)
    {
        AfxMessageBox(CCommandLine::HelpText(), MB_OK | MB_ICONINFORMATION);
        return exitInstalled;
    }
    // The uninstaller removes through a copy of itself, which logs; where no copy can be
    // started it removes by itself and stays.
    int nCopyExit = 0;
    if (bValid && m_commandLine.IsUninstall() && m_commandLine.GetUninstallerLink().IsEmpty()
        && RunRemovalFromCopy(pszArguments, nCopyExit))
        return nCopyExit;
    if (m_commandLine.WantsLog() && !OpenLog(m_commandLine.GetLogFile()))
    {
        CString strWhy = "Cannot write the log file \"" + m_commandLine.GetLogFile() + "\"";
        if (!m_log.GetRefusal().IsEmpty())
            strWhy += ": " + m_log.GetRefusal();
        strWhy += ".";
        // Said in a log of its own making, where the run's own cannot be written.
        if (!m_commandLine.GetLogFile().IsEmpty() && OpenLog(CString()))
        {
            WriteLogHeader();
            m_log.Write(strWhy);
            WriteExitCode(exitLogUnwritable);
        }
        if (!bSilent)
            AfxMessageBox(strWhy, MB_OK | MB_ICONERROR);
        return exitLogUnwritable;
    }
    WriteLogHeader();
    int nExitCode = RunLogged(bValid);
    WriteExitCode(nExitCode);
    m_uninstaller.ReportExitCode(nExitCode);
    if (m_removal.bAllGone)
        m_uninstaller.DeleteUninstaller(MakeDestinationRoot(m_commandLine.GetDir()), m_removal.bRootMade);
    return nExitCode;
}

void CLauncherApp::WriteExitCode(int nExitCode)
{
    CString strLine;
    strLine.Format("Exit code %d (%s)", nExitCode, ExitCodeMeaning(nExitCode, m_commandLine.IsUninstall()));
    m_log.Write(strLine);
}

int CLauncherApp::RunLogged(bool bValid)
{
    bool bSilent = m_commandLine.IsSilent();
    if (!bValid)
    {
        m_log.Write("The command line is not valid: " + m_commandLine.GetError());
        CString strHelp = CCommandLine::HelpText();
        for (int nStart = 0; bSilent && m_commandLine.WantsHelp() && nStart < strHelp.GetLength();)
        {
            int nEnd = nStart;
            while (nEnd < strHelp.GetLength() && strHelp.GetAt(nEnd) != '\n')
                ++nEnd;
            m_log.Write(strHelp.Mid(nStart, nEnd - nStart));
            nStart = nEnd + 1;
        }
        if (!bSilent)
            AfxMessageBox(m_commandLine.GetError() + "\n\n" + CCommandLine::HelpText(), MB_OK | MB_ICONERROR);
        return exitBadCommandLine;
    }
    if (m_commandLine.IsUninstall())
        return RunRemoval();
    // A silent run leaves a running launcher of the media as it is: it may be mid-copy.
    CLauncherInstance instance;
    if (!instance.Claim(m_strLauncherDir, !bSilent))
    {
        m_log.Write("A launcher of this media is already running.");
        return bSilent ? exitAlreadyRunning : exitInstalled;
    }
    if (bSilent)
    {
        RunWindow window = m_commandLine.GetMode() == CCommandLine::modeVerySilent ? runWindowNone
            : m_commandLine.CanCancel()                                              ? runWindowWithCancel
                                                                                     : runWindowNoCancel;
        return InstallDatabaseUnattended(m_commandLine.GetDir(), m_commandLine.ForAllUsers(), window, m_strLauncherDir,
                                         m_log);
    }

    CDatabaseLauncherDlg dlg(Settings());
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return exitInstalled;
}

int CLauncherApp::RunRemoval()
{
    if (!m_commandLine.GetUninstallerLink().IsEmpty() && !m_uninstaller.Take(m_commandLine.GetUninstallerLink()))
    {
        m_log.Write("The removal's copy was started with a value it cannot read: " + m_commandLine.GetUninstallerLink());
        return exitBadCommandLine;
    }
    CString strRoot = MakeDestinationRoot(m_commandLine.GetDir());
    // One removal of an installation at a time: the second would find files half gone.
    CLauncherInstance instance;
    if (!instance.Claim(strRoot, false))
    {
        m_log.Write("A removal of this installation is already running.");
        return exitAlreadyRunning;
    }
    RunWindow window = m_commandLine.GetMode() == CCommandLine::modeVerySilent ? runWindowNone
        : m_commandLine.CanCancel()                                              ? runWindowWithCancel
                                                                                 : runWindowNoCancel;
    RemovalRequest request = { strRoot, m_commandLine.ForAllUsers() || IsLocalSystem(), !m_commandLine.IsSilent(),
                               window };
    int nExitCode = RemoveDatabase(request, m_log, m_removal);
    if (m_removal.bAllGone && m_uninstaller.IsUninstaller())
        m_log.Write("The uninstaller \"" + m_uninstaller.GetUninstallerPath() + "\" is deleted when it has ended.");
    return nExitCode;
}

LauncherSettings CLauncherApp::Settings()
{
    return LauncherSettings{ m_strLauncherDir, m_commandLine.GetDir(), m_commandLine.ForAllUsers(), &m_log };
}

bool CLauncherApp::OpenLog(const CString& strFile)
{
    // A folder (ending in a backslash) gets a new file of each run, so that a retry of a
    // deployment tool does not replace the log of the run that failed.
    if (!strFile.IsEmpty() && !CCopyPath::EndsWithSeparator(strFile))
        return m_log.Create(strFile, false) != FALSE;
    char szTemp[MAX_PATH] = "";
    DWORD n = strFile.IsEmpty() ? ::GetTempPathA(sizeof(szTemp), szTemp) : 0;
    if (strFile.IsEmpty() && (n == 0 || n >= sizeof(szTemp)))
        return false;
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    CString strPath;
    strPath.Format("%sVORMELSetup-%04u%02u%02u-%02u%02u%02u-%lu.log",
                   strFile.IsEmpty() ? szTemp : static_cast<LPCSTR>(strFile), st.wYear, st.wMonth, st.wDay, st.wHour,
                   st.wMinute, st.wSecond, static_cast<unsigned long>(::GetCurrentProcessId()));
    return m_log.Create(strPath, true) != FALSE;
}

void CLauncherApp::WriteLogHeader()
{
    if (!m_log.IsOpen())
        return;
    m_log.Write("VORMEL Setup Launcher " + ModuleVersion(m_hInstance) + ", " + kModes[m_commandLine.GetMode()]);
    m_log.Write(CString("Command line: ") + ::GetCommandLineA());
    char szUser[256] = "";
    DWORD cch = sizeof(szUser);
    if (!::GetUserNameA(szUser, &cch))
        szUser[0] = '\0';
    m_log.Write(CString("User: ") + szUser + (IsLocalSystem() ? " (LocalSystem)" : " (not LocalSystem)"));
    m_log.Write("Launcher folder: " + m_strLauncherDir + " (drive type: "
                + DriveTypeName(::GetDriveTypeA(CCopyPath::RootOf(m_strLauncherDir))) + ")");
    m_log.Write("Log: " + m_log.GetPath());
    if (!m_commandLine.GetIgnored().IsEmpty())
        m_log.Write("Accepted and ignored (they change nothing here):" + m_commandLine.GetIgnored());
}
