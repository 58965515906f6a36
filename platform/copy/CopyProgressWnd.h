// The progress window of the copying engine (CopyWithProgress): a top-level window
// without owner, so that every other window of the program stays usable, with the copy's
// title as caption, a line saying what happens, the name of the file being copied, a
// progress bar over the total bytes and a Cancel button (IDCANCEL). It reads the copier's
// progress on a timer of its own, so that it moves on under any message loop of its thread
// (a message box or About box opened meanwhile included). Cancel, Escape and the close box
// ask the copier to stop; the window stays until it is destroyed.
#pragma once

#include "platform/String.h"

#include "platform/Afx.h"


class CFileTreeCopier;

class CCopyProgressWnd
{
public:
    explicit CCopyProgressWnd(CFileTreeCopier& copier);
    ~CCopyProgressWnd();
    CCopyProgressWnd(const CCopyProgressWnd&) = delete;
    CCopyProgressWnd& operator=(const CCopyProgressWnd&) = delete;

    // Creates and shows the window; FALSE when it cannot be made.
    BOOL Create(LPCSTR pszTitle);
    void Destroy();
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Shows the copier's state now (the timer does so every few hundredths of a second).
    void Refresh();

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void OnCancel();
    void SetText(HWND hCtrl, const CString& strText, CString& strShown);

    CFileTreeCopier& m_copier;
    HWND m_hWnd = nullptr;
    HWND m_hAction = nullptr;     // what happens: preparing, copying, cancelling
    HWND m_hName = nullptr;       // the file being copied
    HWND m_hProgress = nullptr;
    HWND m_hCancel = nullptr;
    HFONT m_hFont = nullptr;
    int m_nDpi = 96;
    int m_nShownPos = -1;
    CString m_strShownAction;
    CString m_strShownName;
};
