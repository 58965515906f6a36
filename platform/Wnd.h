// A window, seen through its handle. The object does not own the window: it is attached
// while the window lives (a dialog from WM_INITDIALOG, a subclassed window from
// SubclassWindow, both until WM_NCDESTROY) and forgets the handle afterwards. Attached
// objects are found from their handle through one window property, whatever the kind
// of window.
#pragma once

#include "CmdTarget.h"
#include "SimpleArray.h"

class CMenu;

class CWnd : public CCmdTarget
{
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    // The object attached to a window, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Ties this object to a window, so that FromHandlePermanent finds it; FALSE when either
    // is tied already. Detach unties them and returns the handle.
    BOOL Attach(HWND hWndNew);
    HWND Detach();

    // A non-owning view of a control, kept by this window until it is destroyed.
    CWnd* GetDlgItem(int nID);
    void SetDlgItemText(int nID, LPCSTR lpszString);
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    BOOL DestroyWindow();
    void SetWindowText(LPCSTR lpszString);
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    CMenu GetSystemMenu(BOOL bRevert) const;
    void SetIcon(HICON hIcon, BOOL bBigIcon);
    // Centres the window over its owner, or over the work area when it has no visible owner.
    void CenterWindow();
    // The window's dots per inch (96 at 100 %): its monitor's where Windows tells, else the
    // screen's.
    UINT GetDpi() const;

    // Attaches an existing window created by somebody else, so that its messages and
    // commands reach this object first.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

protected:
    // The default processing of the message being handled right now.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Routes one message through the message map; FALSE when nothing handled it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy() {}

    struct CurrentMessage
    {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_currentMsg = {};

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    CSimpleArray<CWnd*> m_children;
};
