// The chooser's callback, message-sending operations and command notifications, against
// a plain window of the test's own that stands in for the browse window and records
// what it receives.
#include "dbinstall/FolderBrowser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// One log for the stand-in window and the chooser, in the order things happened.
std::vector<std::string> g_log;

LRESULT CALLBACK StandInProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_COMMAND:
        g_log.push_back("window WM_COMMAND " + std::to_string(wParam));
        return 0;
    case BFFM_ENABLEOK:
        g_log.push_back("window BFFM_ENABLEOK " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 0;
    case BFFM_SETSELECTIONA:
        g_log.push_back("window BFFM_SETSELECTIONA " + std::to_string(wParam) + " "
                        + (wParam ? std::string(reinterpret_cast<LPCSTR>(lParam)) : std::to_string(lParam)));
        return 0;
    case BFFM_SETSTATUSTEXTA:
        g_log.push_back("window BFFM_SETSTATUSTEXTA " + std::to_string(wParam) + " ["
                        + reinterpret_cast<LPCSTR>(lParam) + "]");
        return 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

class CStandInWindow
{
public:
    CStandInWindow()
    {
        static ATOM s_atom = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = StandInProc;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "VormelBrowseStandIn";
            return ::RegisterClassA(&wc);
        }();
        m_hWnd = ::CreateWindowExA(0, MAKEINTATOM(s_atom), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    }
    ~CStandInWindow()
    {
        if (::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
    }
    CStandInWindow(const CStandInWindow&) = delete;
    CStandInWindow& operator=(const CStandInWindow&) = delete;

    HWND m_hWnd;
};

// Logs every notification; OnValidateFailed answers as told or, with -1, as the base does.
class CProbeFolderBrowser : public CFolderBrowser
{
public:
    explicit CProbeFolderBrowser(UINT nFlags = BIF_RETURNONLYFSDIRS, CWnd* pParentWnd = nullptr)
        : CFolderBrowser(pParentWnd, nFlags)
    {
    }

    int m_nValidateAnswer = -1;

    void SetInitialFolder(LPCSTR psz) { m_strInitialFolder = psz; }
    HWND AttachedWindow() const { return m_hWnd; }
    const BROWSEINFOA& BrowseInfo() const { return m_bi; }
    CWnd* ParentWnd() const { return m_pParentWnd; }
    CString InitialFolder() const { return m_strInitialFolder; }

    void SendCommand(WPARAM wParam) { SendMessage(WM_COMMAND, wParam, 0); }

protected:
    BOOL OnInitialized() override
    {
        g_log.push_back("OnInitialized");
        return CFolderBrowser::OnInitialized();
    }
    void OnOK() override { g_log.push_back("OnOK"); }
    void OnCancel() override { g_log.push_back("OnCancel"); }
    void OnSelChanged(LPCITEMIDLIST pidl) override
    {
        g_log.push_back("OnSelChanged " + std::to_string(reinterpret_cast<LPARAM>(pidl)));
    }
    BOOL OnValidateFailed(LPCSTR lpszFolderName) override
    {
        g_log.push_back(std::string("OnValidateFailed ") + lpszFolderName);
        return m_nValidateAnswer < 0 ? CFolderBrowser::OnValidateFailed(lpszFolderName) : m_nValidateAnswer;
    }
};

class FolderBrowserCallbackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_log.clear();
        ASSERT_NE(nullptr, m_window.m_hWnd);
    }

    int Call(UINT message, LPARAM lParam, CFolderBrowser* pBrowser)
    {
        return BrowseCallbackProc(m_window.m_hWnd, message, lParam, reinterpret_cast<LPARAM>(pBrowser));
    }

    CStandInWindow m_window;
};

using Log = std::vector<std::string>;

TEST_F(FolderBrowserCallbackTest, MessagesReachTheirNotifications)
{
    static const char kName[] = "no such folder";
    struct Case
    {
        const char* pszName;
        UINT message;
        LPARAM lParam;
        int nValidateAnswer;
        int nExpectedResult;
        Log expectedLog;
    };
    const Case cases[] = {
        { "selection changed", BFFM_SELCHANGED, 0x1234, -1, 0, { "OnSelChanged 4660" } },
        { "validation failed, base keeps the dialog open", BFFM_VALIDATEFAILEDA,
          reinterpret_cast<LPARAM>(kName), -1, 1, { "OnValidateFailed no such folder" } },
        { "validation failed, derived lets it close", BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(kName), FALSE,
          0, { "OnValidateFailed no such folder" } },
        { "validation failed, derived keeps it open", BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(kName), TRUE, 1,
          { "OnValidateFailed no such folder" } },
        { "wide validation message is not ours", BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(L"x"), -1, 0, {} },
        { "other message", BFFM_IUNKNOWN, 0, -1, 0, {} },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        g_log.clear();
        CProbeFolderBrowser browser;
        browser.m_nValidateAnswer = c.nValidateAnswer;
        EXPECT_EQ(c.nExpectedResult, Call(c.message, c.lParam, &browser));
        EXPECT_EQ(c.expectedLog, g_log);
        EXPECT_EQ(nullptr, browser.AttachedWindow());
    }
}

TEST_F(FolderBrowserCallbackTest, InitializedAttachesThenPreselects)
{
    struct Case
    {
        const char* pszInitialFolder;
        Log expectedLog;
    };
    const Case cases[] = {
        { "", { "OnInitialized" } },
        { "C:\\data\\\x95\x5c", { "OnInitialized", "window BFFM_SETSELECTIONA 1 C:\\data\\\x95\x5c" } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszInitialFolder);
        g_log.clear();
        CStandInWindow window;
        CProbeFolderBrowser browser;
        browser.SetInitialFolder(c.pszInitialFolder);
        EXPECT_EQ(0, BrowseCallbackProc(window.m_hWnd, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(&browser)));
        EXPECT_EQ(window.m_hWnd, browser.AttachedWindow());
        EXPECT_EQ(c.expectedLog, g_log);
    }
}

TEST_F(FolderBrowserCallbackTest, OperationsSendTheirMessagesToTheAttachedWindow)
{
    CProbeFolderBrowser browser;
    ASSERT_EQ(0, Call(BFFM_INITIALIZED, 0, &browser));
    ASSERT_EQ(m_window.m_hWnd, browser.AttachedWindow());

    LPITEMIDLIST pidlDrives = nullptr;
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidlDrives));
    const std::string strDrives = std::to_string(reinterpret_cast<LPARAM>(pidlDrives));

    struct Case
    {
        const char* pszName;
        void (*pfnOperate)(CFolderBrowser& browser, LPCITEMIDLIST pidl);
        Log expectedLog;
    };
    const Case cases[] = {
        { "EnableOK(TRUE)", [](CFolderBrowser& b, LPCITEMIDLIST) { b.EnableOK(TRUE); },
          { "window BFFM_ENABLEOK 0 1" } },
        { "EnableOK(FALSE)", [](CFolderBrowser& b, LPCITEMIDLIST) { b.EnableOK(FALSE); },
          { "window BFFM_ENABLEOK 0 0" } },
        { "SetSelection(item)", [](CFolderBrowser& b, LPCITEMIDLIST pidl) { b.SetSelection(pidl); },
          { "window BFFM_SETSELECTIONA 0 " + strDrives } },
        { "SetSelection(no item)",
          [](CFolderBrowser& b, LPCITEMIDLIST) { b.SetSelection(static_cast<LPCITEMIDLIST>(nullptr)); }, {} },
        { "SetSelection(path)", [](CFolderBrowser& b, LPCITEMIDLIST) { b.SetSelection("D:\\data"); },
          { "window BFFM_SETSELECTIONA 1 D:\\data" } },
        { "SetSelection(no path)",
          [](CFolderBrowser& b, LPCITEMIDLIST) { b.SetSelection(static_cast<LPCSTR>(nullptr)); }, {} },
        { "SetStatusText(text)", [](CFolderBrowser& b, LPCITEMIDLIST) { b.SetStatusText("Checking D:\\"); },
          { "window BFFM_SETSTATUSTEXTA 0 [Checking D:\\]" } },
        { "SetStatusText(no text)", [](CFolderBrowser& b, LPCITEMIDLIST) { b.SetStatusText(nullptr); },
          { "window BFFM_SETSTATUSTEXTA 0 []" } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        g_log.clear();
        c.pfnOperate(browser, pidlDrives);
        EXPECT_EQ(c.expectedLog, g_log);
    }
    ::CoTaskMemFree(pidlDrives);
}

TEST_F(FolderBrowserCallbackTest, OKAndCancelAreNotifiedBeforeTheWindowHandlesThem)
{
    CProbeFolderBrowser browser;
    ASSERT_EQ(0, Call(BFFM_INITIALIZED, 0, &browser));

    struct Case
    {
        WPARAM wParam;
        Log expectedLog;
    };
    const Case cases[] = {
        { IDOK, { "OnOK", "window WM_COMMAND 1" } },
        { IDCANCEL, { "OnCancel", "window WM_COMMAND 2" } },
        // Only the whole first parameter counts: a notification code other than 0 is no click.
        { MAKEWPARAM(IDOK, BN_DOUBLECLICKED), { "window WM_COMMAND 327681" } },
        { MAKEWPARAM(IDCANCEL, EN_CHANGE), { "window WM_COMMAND 50331650" } },
        { 0x3746, { "window WM_COMMAND 14150" } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("wParam " + std::to_string(c.wParam));
        g_log.clear();
        browser.SendCommand(c.wParam);
        EXPECT_EQ(c.expectedLog, g_log);
    }
}

TEST_F(FolderBrowserCallbackTest, DestroyedWindowIsLetGoAndTheNextOneAttaches)
{
    CProbeFolderBrowser browser;
    {
        CStandInWindow first;
        ASSERT_EQ(0, BrowseCallbackProc(first.m_hWnd, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(&browser)));
        ASSERT_EQ(first.m_hWnd, browser.AttachedWindow());
    }
    EXPECT_EQ(nullptr, browser.AttachedWindow());

    ASSERT_EQ(0, Call(BFFM_INITIALIZED, 0, &browser));
    EXPECT_EQ(m_window.m_hWnd, browser.AttachedWindow());
    g_log.clear();
    ::SendMessageA(m_window.m_hWnd, WM_COMMAND, IDOK, 0);
    EXPECT_EQ((Log{ "OnOK", "window WM_COMMAND 1" }), g_log);
}

} // namespace
