// The database screen's command: copies the terrain and land-use database into a folder
// that the user chooses and records that folder for the product.
#include "launcher/LauncherDlg.h"

#include "app/LauncherApp.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/FolderBrowser.h"
#include "platform/copy/CopyWithProgress.h"

void CLauncherDlg::OnInstallDatabase()
{
    // Only a plain Yes goes on: Escape, a closed box or a box that failed to show must not
    // start a copy of hundreds of megabytes.
    CString strQuestion;
    strQuestion.Format("The installation requires available disk space of \"%s\".\nDoes it install?", "426MB");
    if (AfxMessageBox(strQuestion, MB_YESNO) != IDYES)
        return;

    CFolderBrowser browser(this, BIF_RETURNONLYFSDIRS);
    if (!browser.Browse("Please choose a folder.", "", nullptr))
        return;
    CString strDestinationRoot = MakeDestinationRoot(browser.GetFolderPath());

    if (AfxMessageBox("The installation is started. Is it all right?", MB_YESNO) != IDYES)
        return;

    CString strFrom = BuildCopyList(GetLauncherDir());
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

    if (fileOp.fAnyOperationsAborted)
        AfxMessageBox("Installation was interrupted by the user.", MB_OK);
    else if (nResult != 0)
        AfxMessageBox("Installation went wrong.", MB_OK);
    else if (RegisterDatabasePath(strDestinationRoot))
        AfxMessageBox("Installation completed.", MB_ICONINFORMATION);
    else
        AfxMessageBox("Installation completed, but the database path could not be registered.",
                      MB_OK | MB_ICONEXCLAMATION);

    GetDlgItem(IDC_INSTALL_DATABASE)->EnableWindow(TRUE);
    GetDlgItem(IDC_EXIT)->EnableWindow(TRUE);
}
