// A dialog built from a dialog template in the executable's resources: modal (DoModal)
// or modeless (Create).
#pragma once

#include "Wnd.h"

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog until EndDialog; returns the value given to EndDialog, or -1 when
    // the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Creates the dialog from the template nIDTemplate without waiting for it; the owner
    // is pParentWnd and nothing else, so without one the dialog has no owner. It lives
    // until DestroyWindow. FALSE when it could not be created.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    BOOL OnCmdMsg(UINT nID, int nCode) override;

protected:
    // Runs once before the dialog is first shown; TRUE puts the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Set while Default() hands the current message to the dialog manager, which calls
    // the dialog procedure again before doing its own work: that one call must decline.
    bool m_bDeclineNext = false;
};
