// Drives the shell's browse dialog of this process from a second thread while the test's
// own thread is blocked in CFolderBrowser::Browse. Every wait is a poll with a deadline;
// when anything goes wrong the driver cancels the dialog, so a failing test never leaves
// it open.
#pragma once

#include "RecordingFolderBrowser.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// Controls of the browse dialog.
enum : int
{
    IDC_BROWSE_TREE = 0x3741,
    IDC_BROWSE_TITLE = 0x3742,
    IDC_BROWSE_FOLDER_NAME = 0x3745,
};

class CBrowseDialogDriver
{
public:
    // The script runs on the driver's thread once the dialog is up and the chooser has
    // been initialised; it returns false (with a reason in the driver's errors) to give up.
    using Script = std::function<bool(CBrowseDialogDriver& driver)>;

    CBrowseDialogDriver(const CRecordingFolderBrowser& browser, Script script);
    ~CBrowseDialogDriver();
    CBrowseDialogDriver(const CBrowseDialogDriver&) = delete;
    CBrowseDialogDriver& operator=(const CBrowseDialogDriver&) = delete;

    // Called when Browse has returned: waits for the driver's thread to end.
    void Finish();

    // What was seen of the dialog; read after Finish.
    HWND Dialog() const { return m_hDialog; }
    HWND Owner() const { return m_hOwner; }
    const std::string& TitleText() const { return m_strTitle; }
    const std::string& Errors() const { return m_strErrors; }

    // Steps for scripts.
    bool SelectPath(const std::string& strPath);
    bool SelectItem(LPCITEMIDLIST pidl, const std::string& strExpectedSelection);
    bool Click(int nButtonID);
    bool PostCommand(int nID);
    void Fail(const std::string& strReason);

private:
    void Run(Script script);
    HWND FindDialog() const;
    bool WaitFor(const std::function<bool()>& condition, DWORD dwTimeoutMs);
    bool SendToDialog(UINT message, WPARAM wParam, LPARAM lParam);
    bool WaitForSelection(const std::string& strPath, const std::function<bool()>& select);

    const CRecordingFolderBrowser& m_browser;
    std::atomic<bool> m_bBrowseReturned{ false };
    HWND m_hDialog = nullptr;
    HWND m_hOwner = nullptr;
    std::string m_strTitle;
    std::string m_strErrors;
    std::thread m_thread;
};
