// A chooser that records what the browse dialog tells it, for a test thread that drives
// the dialog while the chooser's own thread sits in the dialog's modal loop.
#pragma once

#include "dbinstall/FolderBrowser.h"

#include <mutex>
#include <string>
#include <vector>

// The file-system path of an item, or "<none>" when it has none.
std::string PathOfItem(LPCITEMIDLIST pidl);
// The calling thread's own COM apartment: "STA", "MTA" or "none".
std::string CurrentApartment();

class CRecordingFolderBrowser : public CFolderBrowser
{
public:
    CRecordingFolderBrowser(CWnd* pParentWnd, UINT nFlags) : CFolderBrowser(pParentWnd, nFlags) {}

    using CFolderBrowser::SetSelection;
    void SetSelection(LPCSTR lpszPath) override;

    const BROWSEINFOA& BrowseInfo() const { return m_bi; }
    CString InitialFolder() const { return m_strInitialFolder; }
    HWND AttachedWindow() const { return m_hWnd; }

    // Everything below may be read from any thread.
    std::vector<std::string> Events() const;
    // "init" seen and the preselection done: the dialog may be driven.
    bool IsReady() const;
    // Path of the last BFFM_SELCHANGED item.
    std::string LastSelection() const;
    // The thread's COM apartment at BFFM_INITIALIZED: "STA", "MTA" or "none".
    std::string ApartmentAtInit() const;
    // Forgets the events of an earlier Browse.
    void ClearEvents();

protected:
    BOOL OnInitialized() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSelChanged(LPCITEMIDLIST pidl) override;

private:
    void Record(const std::string& strEvent);
    std::string WindowState() const;

    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::string m_strLastSelection;
    bool m_bReady = false;
    std::string m_strApartmentAtInit;
};
