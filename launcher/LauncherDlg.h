// The launcher window: a background picture, the install button of the screen that the
// install list selects, and Exit. Its client area is the picture at the window's display
// scale, and the buttons sit where the template puts them with the dialog base units the
// picture was drawn for, whatever the dialog font.
#pragma once

#include "launcher/LauncherPicture.h"
#include "platform/Dialog.h"
#include "platform/SimpleArray.h"
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
    CLauncherPicture m_picture;

    // A control and its place in the template, in dialog units.
    struct CItemPlace
    {
        HWND hWnd;
        int x, y, cx, cy;
    };
    CSimpleArray<CItemPlace> m_places;   // the buttons

    BOOL ReadInstallList();
    void ReadTemplatePlaces();
    // Sizes the window to the picture at nDpi and puts the buttons on it.
    void LayOut(UINT nDpi);
    // The window's size for the picture at nDpi, frame included.
    SIZE GetWindowSizeFor(UINT nDpi) const;

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
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDpiScaledSize(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
