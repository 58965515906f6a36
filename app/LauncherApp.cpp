#include "app/LauncherApp.h"

#include "app/LauncherDir.h"
#include "launcher/LauncherDlg.h"

BEGIN_MESSAGE_MAP(CLauncherApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLauncherApp theApp;

BOOL CLauncherApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    char szModulePath[MAX_PATH] = "";
    ::GetModuleFileNameA(m_hInstance, szModulePath, MAX_PATH);
    m_strLauncherDir = LauncherDirFromModulePath(szModulePath, m_pszExeName);

    CLauncherDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The program ends when the launcher closes; there is no application message loop.
    return FALSE;
}
