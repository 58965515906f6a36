#include "platform/copy/CopyProgressWnd.h"

#include "platform/copy/FileTreeCopier.h"

#include <commctrl.h>

#include <initializer_list>


namespace {

const char kClassName[] = "VORMELCopyProgress";
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMillis = 50;
const int kBarRange = 10000;

// Control layout in pixels at 96 dots per inch.
const int kClientWidth = 420;
const int kClientHeight = 124;
const int kMargin = 12;

}  // namespace

CCopyProgressWnd::CCopyProgressWnd(CFileTreeCopier& copier)
    : m_copier(copier)
{
}

CCopyProgressWnd::~CCopyProgressWnd()
{
    Destroy();
    if (m_hFont != nullptr)
        ::DeleteObject(m_hFont);
}

BOOL CCopyProgressWnd::Create(LPCSTR pszTitle)
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CCopyProgressWnd::WindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return FALSE;

    HDC hdc = ::GetDC(nullptr);
    int nDpi = hdc != nullptr ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc != nullptr)
        ::ReleaseDC(nullptr, hdc);
    if (nDpi <= 0)
        nDpi = 96;
    m_nDpi = nDpi;

    const DWORD dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD dwExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT rc = { 0, 0, MulDiv(kClientWidth, nDpi, 96), MulDiv(kClientHeight, nDpi, 96) };
    ::AdjustWindowRectEx(&rc, dwStyle, FALSE, dwExStyle);
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    RECT work;
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        ::SetRect(&work, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    int x = work.left + ((work.right - work.left) - cx) / 2;
    int y = work.top + ((work.bottom - work.top) - cy) / 2;

    // No parent and no owner: the launcher stays live beside this window.
    m_hWnd = ::CreateWindowExA(dwExStyle, kClassName, pszTitle, dwStyle, x, y, cx, cy,
                               nullptr, nullptr, hInstance, this);
    if (m_hWnd == nullptr)
        return FALSE;
    Refresh();
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::UpdateWindow(m_hWnd);
    ::SetFocus(m_hCancel);
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMillis, nullptr);
    return TRUE;
}

void CCopyProgressWnd::Destroy()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);   // WM_NCDESTROY clears m_hWnd
    m_hWnd = nullptr;
}

void CCopyProgressWnd::CreateControls()
{
    NONCLIENTMETRICSA ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        m_hFont = ::CreateFontIndirectA(&ncm.lfMessageFont);
    HFONT hFont = m_hFont != nullptr ? m_hFont : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int nDpi = m_nDpi;
    auto px = [nDpi](int n) { return MulDiv(n, nDpi, 96); };
    int cx = rc.right - 2 * px(kMargin);
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);

    m_hAction = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                  px(kMargin), px(12), cx, px(16), m_hWnd, nullptr, hInstance, nullptr);
    m_hName = ::CreateWindowExA(0, "STATIC", "",
                                WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
                                px(kMargin), px(32), cx, px(16), m_hWnd, nullptr, hInstance, nullptr);
    m_hProgress = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE,
                                    px(kMargin), px(56), cx, px(18), m_hWnd, nullptr, hInstance, nullptr);
    m_hCancel = ::CreateWindowExA(0, "BUTTON", "Cancel",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                  rc.right - px(kMargin) - px(88), px(86), px(88), px(26), m_hWnd,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDCANCEL)), hInstance, nullptr);
    for (HWND hCtrl : { m_hAction, m_hName, m_hCancel })
    {
        if (hCtrl != nullptr)
            ::SendMessageA(hCtrl, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
    }
    if (m_hProgress != nullptr)
        ::SendMessageA(m_hProgress, PBM_SETRANGE32, 0, kBarRange);
}

void CCopyProgressWnd::SetText(HWND hCtrl, const CString& strText, CString& strShown)
{
    if (hCtrl == nullptr || strText == strShown)
        return;
    strShown = strText;
    ::SetWindowTextA(hCtrl, strText);
}

void CCopyProgressWnd::Refresh()
{
    if (m_hWnd == nullptr)
        return;
    CFileTreeCopier::Phase phase = m_copier.GetPhase();
    CString strAction;
    CString strName;
    int nPos = 0;
    if (m_copier.IsCancelRequested() && phase != CFileTreeCopier::phaseDone)
    {
        strAction = "Cancelling...";
        strName = m_strShownName;
        nPos = m_nShownPos < 0 ? 0 : m_nShownPos;
    }
    else if (phase == CFileTreeCopier::phaseChecking || phase == CFileTreeCopier::phaseScanning)
    {
        strAction = "Preparing to copy...";
        strName.Format("%u files and folders found", m_copier.GetItemsFound());
    }
    else if (phase == CFileTreeCopier::phaseCopying)
    {
        ULONGLONG ullTotal = m_copier.GetTotalBytes();
        ULONGLONG ullDone = m_copier.GetBytesDone();
        if (ullTotal > 0)
            nPos = static_cast<int>((ullDone >= ullTotal ? ullTotal : ullDone) * kBarRange / ullTotal);
        strAction = "Copying:";
        strName = m_copier.GetCurrentName();
    }
    else
    {
        strAction = m_strShownAction;
        strName = m_strShownName;
        nPos = m_copier.GetBytesDone() >= m_copier.GetTotalBytes() ? kBarRange
                                                                   : (m_nShownPos < 0 ? 0 : m_nShownPos);
    }
    SetText(m_hAction, strAction, m_strShownAction);
    SetText(m_hName, strName, m_strShownName);
    if (m_hProgress != nullptr && nPos != m_nShownPos)
    {
        m_nShownPos = nPos;
        ::SendMessageA(m_hProgress, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
    }
}

void CCopyProgressWnd::OnCancel()
{
    if (m_copier.GetPhase() == CFileTreeCopier::phaseDone)
        return;
    m_copier.RequestCancel();
    if (m_hCancel != nullptr)
        ::EnableWindow(m_hCancel, FALSE);
    Refresh();
}

LRESULT CALLBACK CCopyProgressWnd::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CCopyProgressWnd* pThis;
    if (message == WM_NCCREATE)
    {
        pThis = static_cast<CCopyProgressWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    }
    else
    {
        pThis = reinterpret_cast<CCopyProgressWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    }
    if (pThis == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return pThis->HandleMessage(message, wParam, lParam);
}

LRESULT CCopyProgressWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_TIMER:
        if (wParam == kRefreshTimer)
        {
            Refresh();
            return 0;
        }
        break;
    case WM_COMMAND:
        // The Cancel button, and Escape through the dialog manager.
        if (LOWORD(wParam) == IDCANCEL)
            OnCancel();
        return 0;
    case WM_CLOSE:
        // The close box cancels the copy; the window itself stays until the copy has ended.
        OnCancel();
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDCANCEL, DC_HASDEFID);
    case WM_DESTROY:
        ::KillTimer(m_hWnd, kRefreshTimer);
        return 0;
    case WM_NCDESTROY:
    {
        HWND hWnd = m_hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        m_hAction = m_hName = m_hProgress = m_hCancel = nullptr;
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}
