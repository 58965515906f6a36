#include "app/LauncherDir.h"

CString LauncherDirFromModulePath(LPCSTR pszModulePath, LPCSTR pszExeName)
{
    CString strModulePath(pszModulePath);
    CString strExeFile = CString(pszExeName) + ".exe";
    return strModulePath.Left(strModulePath.GetLength() - strExeFile.GetLength());
}
