#include "dbinstall/DatabaseInstall.h"

#include <mbstring.h>

const char* const g_rgszDatabaseFolders[3] = { "landuse", "terrain", "1kmav_dem" };

CString MakeDestinationRoot(const CString& strFolder)
{
    CString strRoot(strFolder);
    CString strLast = strRoot.LastChar();
    if (_mbscmp(reinterpret_cast<const unsigned char*>(static_cast<LPCSTR>(strLast)),
                reinterpret_cast<const unsigned char*>("\\")) != 0)
        strRoot += "\\";
    return strRoot;
}

CString BuildCopyList(const CString& strRoot)
{
    CString strList;
    for (const char* pszFolder : g_rgszDatabaseFolders)
    {
        strList += strRoot;
        strList += pszFolder;
        strList += '\0';
    }
    strList += '\0';
    return strList;
}

BOOL RegisterDatabasePath(LPCSTR pszDestinationRoot)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, DATABASE_PATH_KEY, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
    {
        DWORD dwDisposition = 0;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, DATABASE_PATH_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &hKey, &dwDisposition) != ERROR_SUCCESS)
            return FALSE;
    }
    LONG lResult = ::RegSetValueExA(hKey, DATABASE_PATH_VALUE, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(pszDestinationRoot),
                                    static_cast<DWORD>(lstrlenA(pszDestinationRoot)) + 1);
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}
