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

bool IsDriveLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

CString LauncherDirFromModulePath(LPCSTR pszModulePath, LPCSTR pszExeName)
{
    CString strModulePath;
    if (StartsWith(pszModulePath, "\\\\?\\UNC\\"))
        strModulePath = CString("\\\\") + (pszModulePath + 8);
    else if (StartsWith(pszModulePath, "UNC\\"))
        strModulePath = CString("\\\\") + (pszModulePath + 4);
    else if (StartsWith(pszModulePath, "\\\\?\\") && IsDriveLetter(pszModulePath[4]) && pszModulePath[5] == ':'
             && pszModulePath[6] == '\\')
        strModulePath = pszModulePath + 4;
    else
        strModulePath = pszModulePath;
    CString strExeFile = CString(pszExeName) + ".exe";
    return strModulePath.Left(strModulePath.GetLength() - strExeFile.GetLength());
}
