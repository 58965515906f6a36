#include "BrowseDialogDriver.h"

namespace
{

const DWORD kDialogTimeoutMs = 30000;
const DWORD kSelectionTimeoutMs = 15000;
const DWORD kSelectRetryMs = 3000;
const DWORD kCloseTimeoutMs = 15000;
const DWORD kPollMs = 20;

std::string WindowText(HWND hWnd)
{
    char szText[512] = "";
    DWORD_PTR nResult = 0;
    if (hWnd == nullptr
        || !::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText),
                                  SMTO_ABORTIFHUNG, 5000, &nResult))
        return "";
    return szText;
}

struct DialogSearch
{
    DWORD dwProcessId;
    HWND hFound;
};

BOOL CALLBACK FindBrowseDialog(HWND hWnd, LPARAM lParam)
{
    DialogSearch* pSearch = reinterpret_cast<DialogSearch*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    char szClass[32] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (dwProcessId == pSearch->dwProcessId && lstrcmpA(szClass, "#32770") == 0 && ::IsWindowVisible(hWnd)
        && ::GetDlgItem(hWnd, IDC_BROWSE_TREE) != nullptr)
    {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

CBrowseDialogDriver::CBrowseDialogDriver(const CRecordingFolderBrowser& browser, Script script)
    : m_browser(browser), m_thread(&CBrowseDialogDriver::Run, this, std::move(script))
{
}

CBrowseDialogDriver::~CBrowseDialogDriver()
{
    Finish();
}

void CBrowseDialogDriver::Finish()
{
    m_bBrowseReturned = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CBrowseDialogDriver::Run(Script script)
{
    if (!WaitFor([this] { return (m_hDialog = FindDialog()) != nullptr && m_browser.IsReady(); },
                 kDialogTimeoutMs))
    {
        Fail(m_bBrowseReturned ? "Browse returned before its dialog was driven"
                               : "the browse dialog did not come up");
        if (m_hDialog == nullptr)
            return;
    }
    else
    {
        m_hOwner = ::GetWindow(m_hDialog, GW_OWNER);
        m_strTitle = WindowText(::GetDlgItem(m_hDialog, IDC_BROWSE_TITLE));
        if (!script(*this))
            Fail("the script gave up");
    }

    if (!m_strErrors.empty())
        PostCommand(IDCANCEL);
    if (!WaitFor([this] { return !::IsWindow(m_hDialog); }, kCloseTimeoutMs))
    {
        Fail("the browse dialog stayed open");
        PostCommand(IDCANCEL);
    }
}

HWND CBrowseDialogDriver::FindDialog() const
{
    DialogSearch search = { ::GetCurrentProcessId(), nullptr };
    ::EnumWindows(FindBrowseDialog, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

// FALSE at the deadline, and as soon as Browse has returned while the condition is
// still unmet: nothing will change then.
bool CBrowseDialogDriver::WaitFor(const std::function<bool()>& condition, DWORD dwTimeoutMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (m_bBrowseReturned || ::GetTickCount() - dwStart >= dwTimeoutMs)
            return condition();
        ::Sleep(kPollMs);
    }
}

bool CBrowseDialogDriver::SendToDialog(UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR nResult = 0;
    return ::SendMessageTimeoutA(m_hDialog, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &nResult) != 0;
}

// The shell sometimes drops a selection request: ask again until it shows, up to the deadline.
bool CBrowseDialogDriver::WaitForSelection(const std::string& strPath, const std::function<bool()>& select)
{
    const DWORD dwStart = ::GetTickCount();
    while (::GetTickCount() - dwStart < kSelectionTimeoutMs && !m_bBrowseReturned)
    {
        if (!select())
        {
            Fail("the selection request was not delivered");
            return false;
        }
        if (WaitFor([&] { return m_browser.LastSelection() == strPath; }, kSelectRetryMs))
            return true;
    }
    Fail("the dialog did not select " + strPath + " (last selection: " + m_browser.LastSelection() + ")");
    return false;
}

bool CBrowseDialogDriver::SelectPath(const std::string& strPath)
{
    return WaitForSelection(strPath, [&] {
        return SendToDialog(BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(strPath.c_str()));
    });
}

bool CBrowseDialogDriver::SelectItem(LPCITEMIDLIST pidl, const std::string& strExpectedSelection)
{
    return WaitForSelection(strExpectedSelection, [&] {
        return SendToDialog(BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(pidl));
    });
}

bool CBrowseDialogDriver::Click(int nButtonID)
{
    HWND hButton = ::GetDlgItem(m_hDialog, nButtonID);
    if (hButton == nullptr || !::PostMessageA(hButton, BM_CLICK, 0, 0))
    {
        Fail("could not click button " + std::to_string(nButtonID));
        return false;
    }
    return true;
}

// The command a button's click sends, straight to the dialog: reaches it even while the
// button itself is disabled.
bool CBrowseDialogDriver::PostCommand(int nID)
{
    return ::PostMessageA(m_hDialog, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(m_hDialog, nID)))
        != 0;
}

void CBrowseDialogDriver::Fail(const std::string& strReason)
{
    if (!m_strErrors.empty())
        m_strErrors += "; ";
    m_strErrors += strReason;
}
