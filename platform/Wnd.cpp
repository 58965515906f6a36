#include "Wnd.h"

#include "Menu.h"

// The object of a window is found through a window property: every window carries its
// own, and no table of all windows is needed.
static const char s_szObjectProp[] = "VORMEL.CWnd";

CWnd::~CWnd()
{
    if (m_pfnSuper != nullptr && m_hWnd != nullptr)
        UnsubclassWindow();
    else if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        Detach();
    for (CWnd* pChild : m_children)
        delete pChild;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd != nullptr ? static_cast<CWnd*>(::GetPropA(hWnd, s_szObjectProp)) : nullptr;
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (hWndNew == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWndNew) != nullptr)
        return FALSE;
    if (!::SetPropA(hWndNew, s_szObjectProp, this))
        return FALSE;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr)
        ::RemovePropA(hWnd, s_szObjectProp);
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::GetDlgItem(int nID)
{
    HWND hChild = ::GetDlgItem(m_hWnd, nID);
    if (hChild == nullptr)
        return nullptr;
    for (CWnd* pChild : m_children)
    {
        if (pChild->m_hWnd == hChild)
            return pChild;
    }
    CWnd* pChild = m_children.Add(new CWnd);
    pChild->m_hWnd = hChild;
    return pChild;
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString)
{
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendDlgItemMessageA(m_hWnd, nID, message, wParam, lParam);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

void CWnd::SetWindowText(LPCSTR lpszString)
{
    ::SetWindowTextA(m_hWnd, lpszString);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

CMenu CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu(::GetSystemMenu(m_hWnd, bRevert));
}

void CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    ::SendMessageA(m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
}

void CWnd::CenterWindow()
{
    RECT rcArea;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner != nullptr && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
        ::GetWindowRect(hOwner, &rcArea);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);

    RECT rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);
    int cx = rcWindow.right - rcWindow.left;
    int cy = rcWindow.bottom - rcWindow.top;
    int x = rcArea.left + (rcArea.right - rcArea.left - cx) / 2;
    int y = rcArea.top + (rcArea.bottom - rcArea.top - cy) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT CWnd::GetDpi() const
{
    // GetDpiForWindow came with Windows 10 1607; before it, and on Windows XP, one DPI
    // holds for the whole screen.
    typedef UINT(WINAPI * PFN_GETDPIFORWINDOW)(HWND);
    auto pfnGetDpiForWindow = reinterpret_cast<PFN_GETDPIFORWINDOW>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    UINT nDpi = pfnGetDpiForWindow != nullptr ? pfnGetDpiForWindow(m_hWnd) : 0;
    if (nDpi == 0)
    {
        HDC hDC = ::GetDC(m_hWnd);
        nDpi = static_cast<UINT>(::GetDeviceCaps(hDC, LOGPIXELSY));
        ::ReleaseDC(m_hWnd, hDC);
    }
    return nDpi != 0 ? nDpi : 96;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr || m_pfnSuper == nullptr)
        return nullptr;
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    if (message == WM_NCDESTROY)
    {
        // The window goes away: hand it back to its own procedure and forget it.
        WNDPROC pfnSuper = pWnd->m_pfnSuper;
        pWnd->UnsubclassWindow();
        LRESULT lResult = ::CallWindowProcA(pfnSuper, hWnd, message, wParam, lParam);
        pWnd->PostNcDestroy();
        return lResult;
    }

    CurrentMessage saved = pWnd->m_currentMsg;
    pWnd->m_currentMsg = { message, wParam, lParam };
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    pWnd->m_currentMsg = saved;
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message, 0, 0);
    if (pEntry == nullptr)
        return FALSE;
    *pResult = pEntry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}
