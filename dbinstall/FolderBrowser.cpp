#include "dbinstall/FolderBrowser.h"

namespace
{

// The new-style browse dialog needs a single-threaded apartment on the calling thread.
// A thread that already has one keeps it; a multi-threaded one is left as it is.
class CBrowseApartment
{
public:
    CBrowseApartment() : m_bBalance(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~CBrowseApartment()
    {
        if (m_bBalance)
            ::OleUninitialize();
    }
    CBrowseApartment(const CBrowseApartment&) = delete;
    CBrowseApartment& operator=(const CBrowseApartment&) = delete;

private:
    const bool m_bBalance;
};

} // namespace

BEGIN_MESSAGE_MAP(CFolderBrowser, CWnd)
END_MESSAGE_MAP()

CFolderBrowser::CFolderBrowser(CWnd* pParentWnd, UINT nFlags)
    : m_bi(), m_pParentWnd(pParentWnd)
{
    m_bi.ulFlags = nFlags;
}

BOOL CFolderBrowser::Browse(LPCSTR lpszTitle, LPCSTR lpszInitialFolder, LPCITEMIDLIST pidlRoot)
{
    if (lpszInitialFolder != nullptr)
        m_strInitialFolder = lpszInitialFolder;

    m_bi.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    m_bi.pidlRoot = pidlRoot;
    m_bi.pszDisplayName = nullptr;
    m_bi.lpszTitle = lpszTitle;
    m_bi.ulFlags |= BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    m_bi.lpfn = BrowseCallbackProc;
    m_bi.lParam = reinterpret_cast<LPARAM>(this);
    m_bi.iImage = 0;

    LPITEMIDLIST pidl;
    {
        CBrowseApartment apartment;
        pidl = ::SHBrowseForFolderA(&m_bi);
    }

    // The browse window is gone; an attachment that outlived it (the window was never
    // destroyed through its own procedure) must not keep the next Browse from attaching.
    if (m_hWnd != nullptr && UnsubclassWindow() == nullptr)
        m_hWnd = nullptr;

    if (pidl == nullptr)
        return FALSE;

    // OK on an item outside the file system (the shell hands back the Desktop when
    // nothing was selected) has no path: that is no answer, not an empty destination.
    char szPath[MAX_PATH] = "";
    BOOL bHasPath = ::SHGetPathFromIDListA(pidl, szPath);
    ::CoTaskMemFree(pidl);
    if (!bHasPath || szPath[0] == '\0')
        return FALSE;

    m_strFolderPath = szPath;
    return TRUE;
}

void CFolderBrowser::EnableOK(BOOL bEnable)
{
    SendMessage(BFFM_ENABLEOK, 0, static_cast<LPARAM>(bEnable));
}

void CFolderBrowser::SetSelection(LPCITEMIDLIST pidl)
{
    if (pidl != nullptr)
        SendMessage(BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(pidl));
}

void CFolderBrowser::SetSelection(LPCSTR lpszPath)
{
    if (lpszPath != nullptr)
        SendMessage(BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(lpszPath));
}

void CFolderBrowser::SetStatusText(LPCSTR lpszText)
{
    SendMessage(BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(lpszText != nullptr ? lpszText : ""));
}

BOOL CFolderBrowser::OnInitialized()
{
    if (!m_strInitialFolder.IsEmpty())
        SetSelection(static_cast<LPCSTR>(m_strInitialFolder));
    return TRUE;
}

void CFolderBrowser::OnOK()
{
}

void CFolderBrowser::OnCancel()
{
}

void CFolderBrowser::OnSelChanged(LPCITEMIDLIST)
{
}

BOOL CFolderBrowser::OnValidateFailed(LPCSTR)
{
    return TRUE;
}

BOOL CFolderBrowser::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Before the browse dialog's own handling of its buttons.
    if (wParam == IDOK)
        OnOK();
    else if (wParam == IDCANCEL)
        OnCancel();
    return CWnd::OnCommand(wParam, lParam);
}

CString CFolderBrowser::GetFolderPath() const
{
    return m_strFolderPath;
}

int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData)
{
    CFolderBrowser* pBrowser = reinterpret_cast<CFolderBrowser*>(lpData);
    if (pBrowser == nullptr)
        return 0;

    switch (uMsg)
    {
    case BFFM_INITIALIZED:
        pBrowser->SubclassWindow(hWnd);
        pBrowser->OnInitialized();
        return 0;
    case BFFM_SELCHANGED:
        pBrowser->OnSelChanged(reinterpret_cast<LPCITEMIDLIST>(lParam));
        return 0;
    case BFFM_VALIDATEFAILEDA:
        return pBrowser->OnValidateFailed(reinterpret_cast<LPCSTR>(lParam)) ? 1 : 0;
    default:
        return 0;
    }
}
