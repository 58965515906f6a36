// The least a dialog program does: one modal dialog from a template, closed by its button.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static INT_PTR CALLBACK FloorProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
    {
        EndDialog(hDlg, IDCANCEL);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(DialogBoxParamA(hInstance, MAKEINTRESOURCEA(1), nullptr, FloorProc, 0));
}
