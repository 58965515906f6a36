// The launcher window: a background picture, the install button of the screen that the
// install list selects, and Exit. Its client area is the picture at the window's display
// scale, and the buttons sit where the template puts them with the dialog base units the
// picture was drawn for, whatever the dialog font.
#pragma once

#include "launcher/LauncherPicture.h"
#include "platform/Dialog.h"
#include "platform/LogFile.h"
#include "platform/SimpleArray.h"
#include "platform/String.h"
#include "res/resource.h"

// Asks the shell to open pszFile; TRUE when it was started.
BOOL LaunchProgram(HWND hOwner, LPCSTR pszFile, LPCSTR pszParameters);

// What the start-up hands the launcher window: the media's folder, and for the database
// command the switches that preset it and the log that /LOG opened.
struct LauncherSettings
{
    CString strLauncherDir;   // the folder of the running executable, ending in a backslash
    CString strPresetDir;     // /DIR: where the folder chooser starts; "" when not given
    bool bAllUsers;           // /ALLUSERS: the database is registered for every user too
    CLogFile* pLog;           // not open without /LOG: writing to it does nothing
};

class CLauncherDlg : public CDialog
{
public:
    explicit CLauncherDlg(const LauncherSettings& settings, CWnd* pParent = nullptr);

    enum { IDD = IDD_LAUNCHER };

protected:
    LauncherSettings m_settings;
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
    // The database screen's button: the database command's own (CDatabaseLauncherDlg in
    // dbinstall/), so that this room calls nothing of that one.
    virtual void OnInstallDatabase() = 0;
    void OnExit();
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDpiScaledSize(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
