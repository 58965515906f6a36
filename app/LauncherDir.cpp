#include "app/LauncherDir.h"

namespace {

// The prefixes are ASCII: compared without case, byte by byte.
bool StartsWith(LPCSTR psz, LPCSTR pszPrefix)
{
    for (; *pszPrefix != '\0'; ++psz, ++pszPrefix)
    {
        char ch = *psz >= 'a' && *psz <= 'z' ? static_cast<char>(*psz - 'a' + 'A') : *psz;
        if (ch != *pszPrefix)
            return false;
    }
    return true;
}

}  // namespace

CString LauncherDirFromModulePath(LPCSTR pszModulePath, LPCSTR pszExeName)
{
    CString strModulePath;
    if (StartsWith(pszModulePath, "\\\\?\\UNC\\"))
        strModulePath = CString("\\\\") + (pszModulePath + 8);
    else if (StartsWith(pszModulePath, "UNC\\"))
        strModulePath = CString("\\\\") + (pszModulePath + 4);
    else if (StartsWith(pszModulePath, "\\\\?\\"))
        strModulePath = pszModulePath + 4;
    else
        strModulePath = pszModulePath;
    CString strExeFile = CString(pszExeName) + ".exe";
    return strModulePath.Left(strModulePath.GetLength() - strExeFile.GetLength());
}
