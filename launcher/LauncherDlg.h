// The launcher window: a background picture, the install button of the screen that the
// install list selects, and Exit.
#pragma once

#include "platform/Dialog.h"
#include "platform/String.h"
#include "res/resource.h"

// Asks the shell to open pszFile; TRUE when it was started.
BOOL LaunchProgram(HWND hOwner, LPCSTR pszFile, LPCSTR pszParameters);

class CLauncherDlg : public CDialog
{
public:
    explicit CLauncherDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_LAUNCHER };

protected:
    int m_nInstallMode = 0;           // 1: database screen; anything else: program screen
    CString m_strProductInstaller;    // full path of the product installer, or empty
    HICON m_hIcon;

    BOOL ReadInstallList();

    BOOL OnInitDialog() override;
    // Escape and Enter must not close the launcher: only Exit and the close command do.
    void OnOK() override {}
    void OnCancel() override {}

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnClose();
    void OnInstallProduct();
    void OnInstallDatabase();
    void OnExit();

    DECLARE_MESSAGE_MAP()
};
