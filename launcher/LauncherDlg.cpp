#include "launcher/LauncherDlg.h"

#include "launcher/LauncherAboutDlg.h"
#include "platform/Menu.h"
#include "platform/PaintDC.h"

#include <io.h>

// Windows 8.1 and later: the window moved to a screen of another scale, or the scale changed.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
// Windows 10 1703 and later, before WM_DPICHANGED: the size the window wants at the new scale.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace {

// The dialog base units the template's places were drawn with: those of the Japanese
// system's dialog font at 96 DPI, for which the picture was made.
const int kDesignBaseX = 7;
const int kDesignBaseY = 12;

// Windows 10 1607 and later: the frame's size at any scale, not only the system's.
typedef BOOL(WINAPI* PFN_ADJUSTWINDOWRECTEXFORDPI)(LPRECT, DWORD, BOOL, DWORD, UINT);
const PFN_ADJUSTWINDOWRECTEXFORDPI g_pfnAdjustWindowRectExForDpi = reinterpret_cast<PFN_ADJUSTWINDOWRECTEXFORDPI>(
    reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "AdjustWindowRectExForDpi")));

}  // namespace

BEGIN_MESSAGE_MAP(CLauncherDlg, CDialog)
    ON_MESSAGE(WM_DPICHANGED, OnDpiChanged)
    ON_MESSAGE(WM_GETDPISCALEDSIZE, OnGetDpiScaledSize)
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

CLauncherDlg::CLauncherDlg(const LauncherSettings& settings, CWnd* pParent)
    : CDialog(IDD_LAUNCHER, pParent), m_settings(settings)
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

    ReadTemplatePlaces();
    UINT nDpi = GetDpi();
    // At 100 % the picture is the template's own: no other artwork is loaded.
    if (nDpi != 96)
        m_picture.Show(GetDlgItem(IDC_LAUNCHER_PICTURE), nDpi);
    LayOut(nDpi);
    CenterWindow();

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

void CLauncherDlg::ReadTemplatePlaces()
{
    // The dialog manager placed each control at its template place times the base units
    // of the font it found (MulDiv of each number, as MapDialogRect does); with base units
    // of at least 4 x 8 the division gives the template's numbers back exactly.
    RECT rcBase = { 0, 0, 4, 8 };
    ::MapDialogRect(m_hWnd, &rcBase);
    for (HWND hItem = ::GetWindow(m_hWnd, GW_CHILD); hItem != nullptr; hItem = ::GetWindow(hItem, GW_HWNDNEXT))
    {
        if (::GetDlgCtrlID(hItem) == IDC_LAUNCHER_PICTURE)
            continue;
        RECT rc;
        ::GetWindowRect(hItem, &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        m_places.Add({ hItem, ::MulDiv(rc.left, 4, rcBase.right), ::MulDiv(rc.top, 8, rcBase.bottom),
                       ::MulDiv(rc.right - rc.left, 4, rcBase.right), ::MulDiv(rc.bottom - rc.top, 8, rcBase.bottom) });
    }
}

SIZE CLauncherDlg::GetWindowSizeFor(UINT nDpi) const
{
    SIZE size = CLauncherPicture::GetSize(nDpi);
    RECT rc = { 0, 0, size.cx, size.cy };
    DWORD dwStyle = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    DWORD dwExStyle = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
    if (g_pfnAdjustWindowRectExForDpi == nullptr || !g_pfnAdjustWindowRectExForDpi(&rc, dwStyle, FALSE, dwExStyle, nDpi))
        ::AdjustWindowRectEx(&rc, dwStyle, FALSE, dwExStyle);
    SIZE window = { rc.right - rc.left, rc.bottom - rc.top };
    return window;
}

void CLauncherDlg::LayOut(UINT nDpi)
{
    // The picture control has taken its picture's size by itself (SS_BITMAP); the client area
    // becomes the same. A minimised window measures as its icon: its restored place is
    // what takes the size, kept where it is.
    SIZE size;
    if (IsIconic())
    {
        size = GetWindowSizeFor(nDpi);
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        ::GetWindowPlacement(m_hWnd, &placement);
        placement.rcNormalPosition.right = placement.rcNormalPosition.left + size.cx;
        placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + size.cy;
        placement.showCmd = SW_SHOWMINNOACTIVE;
        ::SetWindowPlacement(m_hWnd, &placement);
    }
    else
    {
        size = CLauncherPicture::GetSize(nDpi);
        RECT rcWindow, rcClient;
        ::GetWindowRect(m_hWnd, &rcWindow);
        GetClientRect(&rcClient);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx + (rcWindow.right - rcWindow.left) - rcClient.right,
                       size.cy + (rcWindow.bottom - rcWindow.top) - rcClient.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    int nUnitsX = kDesignBaseX * static_cast<int>(nDpi);
    int nUnitsY = kDesignBaseY * static_cast<int>(nDpi);
    for (const CItemPlace& place : m_places)
    {
        ::SetWindowPos(place.hWnd, nullptr, ::MulDiv(place.x, nUnitsX, 4 * 96), ::MulDiv(place.y, nUnitsY, 8 * 96),
                       ::MulDiv(place.cx, nUnitsX, 4 * 96), ::MulDiv(place.cy, nUnitsY, 8 * 96),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT CLauncherDlg::OnGetDpiScaledSize(WPARAM wParam, LPARAM lParam)
{
    // The dialog manager would size by the font; the window is its picture and its frame.
    *reinterpret_cast<SIZE*>(lParam) = GetWindowSizeFor(static_cast<UINT>(wParam));
    return TRUE;
}

LRESULT CLauncherDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    // Windows' own handling first: from Windows 10 1703 it gives the dialog's font the
    // new scale and moves the controls by their dialog units, which the layout then sets
    // right. The window goes where Windows suggests and takes the picture's size there;
    // a minimised one keeps its restored place (LayOut).
    Default();
    const RECT* prcSuggested = reinterpret_cast<const RECT*>(lParam);
    if (!IsIconic())
        ::SetWindowPos(m_hWnd, nullptr, prcSuggested->left, prcSuggested->top, prcSuggested->right - prcSuggested->left,
                       prcSuggested->bottom - prcSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    UINT nDpi = HIWORD(wParam);
    m_picture.Show(GetDlgItem(IDC_LAUNCHER_PICTURE), nDpi);
    LayOut(nDpi);
    return 0;
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
