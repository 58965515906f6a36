#include "app/LauncherApp.h"

#include "app/LauncherDir.h"
#include "app/LauncherInstance.h"
#include "launcher/LauncherDlg.h"

BEGIN_MESSAGE_MAP(CLauncherApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLauncherApp theApp;

BOOL CLauncherApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CString strModulePath = AfxGetModuleFileName(m_hInstance);
    m_strLauncherDir = LauncherDirFromModulePath(strModulePath, m_pszExeName);

    CLauncherInstance instance;
    if (!instance.Claim(m_strLauncherDir))
        return FALSE;

    CLauncherDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The program ends when the launcher closes; there is no application message loop.
    return FALSE;
}
