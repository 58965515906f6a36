#include "launcher/LauncherDlg.h"

#include "launcher/LauncherAboutDlg.h"
#include "platform/Menu.h"
#include "platform/PaintDC.h"

#include <io.h>

BEGIN_MESSAGE_MAP(CLauncherDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_CLOSE()
    ON_BN_CLICKED(IDC_INSTALL_PRODUCT, OnInstallProduct)
    ON_BN_CLICKED(IDC_INSTALL_DATABASE, OnInstallDatabase)
    ON_BN_CLICKED(IDC_EXIT, OnExit)
END_MESSAGE_MAP()

BOOL LaunchProgram(HWND hOwner, LPCSTR pszFile, LPCSTR pszParameters)
{
    HINSTANCE hResult = ::ShellExecuteA(hOwner, "open", pszFile, pszParameters, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(hResult) > 32;
}

CLauncherDlg::CLauncherDlg(CWnd* pParent)
    : CDialog(IDD_LAUNCHER, pParent)
{
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_LAUNCHER));
}

BOOL CLauncherDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu sysMenu = GetSystemMenu(FALSE);
    if (sysMenu.GetSafeHmenu() != nullptr)
    {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_LAUNCHER_ABOUT_MENU);
        if (!strAboutMenu.IsEmpty())
        {
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, ID_SYSCMD_ABOUT, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    ReadInstallList();

    if (m_nInstallMode == 1)
    {
        GetDlgItem(IDC_INSTALL_PRODUCT)->ShowWindow(SW_HIDE);
    }
    else
    {
        GetDlgItem(IDC_INSTALL_DATABASE)->ShowWindow(SW_HIDE);
        if (m_strProductInstaller.IsEmpty() || _access(m_strProductInstaller, 0) != 0)
            GetDlgItem(IDC_INSTALL_PRODUCT)->EnableWindow(FALSE);
    }

    return TRUE;
}

void CLauncherDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == ID_SYSCMD_ABOUT)
    {
        CLauncherAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return;
    }
    Default();
}

void CLauncherDlg::OnPaint()
{
    if (!IsIconic())
    {
        Default();
        return;
    }

    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CLauncherDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CLauncherDlg::OnClose()
{
    CDialog::OnCancel();
}

void CLauncherDlg::OnExit()
{
    CDialog::OnCancel();
}

void CLauncherDlg::OnInstallProduct()
{
    if (!LaunchProgram(nullptr, m_strProductInstaller, nullptr))
        AfxMessageBox("The installation failed.", MB_OK);
}
