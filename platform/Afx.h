// Common header of the framework layer: the Windows headers and the global helpers
// that every part of the program reaches for.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#define ID_HELP 0xE146

class CWnd;
class CWinApp;
class CString;

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
LPCSTR AfxGetAppName();

// Hosting of ActiveX controls: the launcher hosts none, so there is nothing to set up.
void AfxEnableControlContainer();

// The full path of a module, however long: a path of MAX_PATH characters or more is not
// cut short, so nothing is ever derived from a truncated path.
CString AfxGetModuleFileName(HMODULE hModule);

int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
