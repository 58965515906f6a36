// The folder chooser: asks the user, modally, for a file-system folder through the
// shell's browse dialog and hands back its full path. While the browse dialog is open
// the object is attached to it, so that derived classes can preselect a folder, show
// status text or veto the OK button from the notification operations.
#pragma once

#include "platform/String.h"
#include "platform/Wnd.h"

int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

class CFolderBrowser : public CWnd
{
public:
    CFolderBrowser(CWnd* pParentWnd, UINT nFlags);

    // TRUE with the chosen folder's path in GetFolderPath(); FALSE when the user
    // cancelled or chose something that is not a file-system folder. lpszInitialFolder
    // null keeps the earlier preselection, an empty text clears it.
    virtual BOOL Browse(LPCSTR lpszTitle, LPCSTR lpszInitialFolder, LPCITEMIDLIST pidlRoot);

    // Only while the browse dialog is open.
    virtual void EnableOK(BOOL bEnable);
    virtual void SetSelection(LPCITEMIDLIST pidl);
    virtual void SetSelection(LPCSTR lpszPath);
    virtual void SetStatusText(LPCSTR lpszText);

protected:
    virtual BOOL OnInitialized();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnSelChanged(LPCITEMIDLIST pidl);
    // TRUE keeps the browse dialog open.
    virtual BOOL OnValidateFailed(LPCSTR lpszFolderName);

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

public:
    CString GetFolderPath() const;

protected:
    BROWSEINFOA m_bi;
    CWnd* m_pParentWnd;
    CString m_strFolderPath;
    CString m_strInitialFolder;

    friend int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

    DECLARE_MESSAGE_MAP()
};
