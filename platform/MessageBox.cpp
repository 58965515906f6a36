// AfxMessageBox: a modal box over the application's main window, captioned with the
// application title.
#include "Afx.h"
#include "Wnd.h"

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT)
{
    // Boxes that ask for no icon get the framework's usual one: a warning sign on OK
    // boxes, a question mark on boxes that ask.
    if ((nType & MB_ICONMASK) == 0)
    {
        switch (nType & MB_TYPEMASK)
        {
        case MB_OK:
        case MB_OKCANCEL:
            nType |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            nType |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }

    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hOwner = pMainWnd != nullptr ? pMainWnd->m_hWnd : nullptr;
    return ::MessageBoxA(hOwner, lpszText, AfxGetAppName(), nType);
}
