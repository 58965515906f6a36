#include "dbinstall/InstallDatabase.h"

#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/FolderBrowser.h"
#include "dbinstall/InstallRecorder.h"
#include "dbinstall/UnattendedInstall.h"
#include "dbinstall/UninstallRegistration.h"
#include "platform/SystemError.h"
#include "platform/copy/CopyWithProgress.h"

void CDatabaseLauncherDlg::OnInstallDatabase()
{
    // Only a plain Yes goes on: Escape, a closed box or a box that failed to show must not
    // start a copy of hundreds of megabytes.
    CString strQuestion;
    strQuestion.Format("The installation requires available disk space of \"%s\".\nDoes it install?", "426MB");
    if (AfxMessageBox(strQuestion, MB_YESNO) != IDYES)
        return;

    // With /LOG the steps go to the log; /DIR preselects the folder, /ALLUSERS registers it
    // for every user too.
    CLogFile& log = *m_settings.pLog;
    CFolderBrowser browser(this, BIF_RETURNONLYFSDIRS);
    if (!browser.Browse("Please choose a folder.", m_settings.strPresetDir, nullptr))
        return;
    CString strDestinationRoot = MakeDestinationRoot(browser.GetFolderPath());
    log.Write("Destination: " + strDestinationRoot);
    LogSpace(m_settings.strLauncherDir, strDestinationRoot, log);

    if (AfxMessageBox("The installation is started. Is it all right?", MB_YESNO) != IDYES)
        return;

    CInstallRecorder recorder;
    recorder.Prepare(m_settings.strLauncherDir, strDestinationRoot, LogEdition(m_settings.strLauncherDir, log), log);
    CString strFrom = BuildCopyList(m_settings.strLauncherDir);
    CString strTo = BuildCopyList(strDestinationRoot);

    GetDlgItem(IDC_INSTALL_DATABASE)->EnableWindow(FALSE);
    GetDlgItem(IDC_EXIT)->EnableWindow(FALSE);

    SHFILEOPSTRUCTA fileOp;
    ::ZeroMemory(&fileOp, sizeof(fileOp));
    fileOp.hwnd = nullptr;
    fileOp.wFunc = FO_COPY;
    fileOp.pFrom = strFrom;
    fileOp.pTo = strTo;
    fileOp.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    fileOp.fAnyOperationsAborted = TRUE;
    fileOp.hNameMappings = nullptr;
    fileOp.lpszProgressTitle = "Copying...";
    int nResult = CopyWithProgress(&fileOp);

    // As LocalSystem, whose HKCU is nobody's, the folder is registered for every user, as in
    // a silent run.
    const bool bAllUsers = m_settings.bAllUsers || IsLocalSystem();
    LPCSTR pszOutcome = "Installation completed, but the database path could not be registered.";
    UINT nType = MB_OK | MB_ICONEXCLAMATION;
    if (fileOp.fAnyOperationsAborted)
    {
        pszOutcome = "Installation was interrupted by the user.";
        nType = MB_OK;
    }
    else if (nResult != 0 || recorder.Commit(log) != ERROR_SUCCESS)
    {
        pszOutcome = "Installation went wrong.";
        nType = MB_OK;
        if (nResult != 0)
        {
            CString strLine;
            strLine.Format("The copy failed with error %d: %s", nResult,
                           static_cast<LPCSTR>(SystemErrorMessage(static_cast<DWORD>(nResult))));
            log.Write(strLine);
        }
    }
    // The entry last, once everything else is in place.
    else if (RegisterDestination(strDestinationRoot, bAllUsers, log)
             && RegisterUninstall(m_settings.strLauncherDir, strDestinationRoot, bAllUsers, recorder.GetRecord(), log))
    {
        pszOutcome = "Installation completed.";
        nType = MB_ICONINFORMATION;
    }
    log.Write(pszOutcome);
    AfxMessageBox(pszOutcome, nType);

    GetDlgItem(IDC_INSTALL_DATABASE)->EnableWindow(TRUE);
    GetDlgItem(IDC_EXIT)->EnableWindow(TRUE);
}
