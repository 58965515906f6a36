#include "dbinstall/RemovalRegistry.h"

#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/UninstallEntry.h"
#include "dbinstall/UninstallRegistration.h"
#include "platform/SystemError.h"

// Windows XP's headers may lack it; 32-bit Windows ignores it.
#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

namespace {

// The text value, or "" when it is missing or not text.
CString ReadText(HKEY hKey, LPCSTR pszValue)
{
    char szText[MAX_PATH * 2] = "";
    DWORD cb = sizeof(szText) - 1, dwType = 0;
    if (::RegQueryValueExA(hKey, pszValue, nullptr, &dwType, reinterpret_cast<BYTE*>(szText), &cb) != ERROR_SUCCESS
        || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return CString();
    szText[cb] = '\0';
    return szText;
}

bool NamesRoot(const CString& strFolder, const CString& strRoot)
{
    return !strFolder.IsEmpty() && ::lstrcmpiA(strFolder, strRoot) == 0;
}

}  // namespace

bool RemoveUninstallEntry(const CString& strRoot, bool bAllUsers, bool& bOtherEntry, CLogFile& log)
{
    bOtherEntry = false;
    HKEY hRoot = bAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    CString strKey = CString(bAllUsers ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + UNINSTALL_ENTRY_KEY;
    CString strLocation;
    LONG lResult = ReadUninstallLocation(bAllUsers, strLocation);
    if (lResult == ERROR_FILE_NOT_FOUND)
    {
        log.Write("There is no entry in Programs and Features (" + strKey + ").");
        return true;
    }
    if (lResult != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Cannot read " + strKey, static_cast<DWORD>(lResult)));
        return false;
    }
    if (!NamesRoot(strLocation, strRoot))
    {
        bOtherEntry = true;
        log.Write("The entry in Programs and Features (" + strKey + ") names another folder, \"" + strLocation
                  + "\": it stays.");
        return true;
    }
    typedef LONG(WINAPI * PFN_REGDELETEKEYEX)(HKEY, LPCSTR, REGSAM, DWORD);
    // Windows XP (32-bit) lacks RegDeleteKeyExA, and has only the one view.
    PFN_REGDELETEKEYEX pfnDeleteKeyEx = reinterpret_cast<PFN_REGDELETEKEYEX>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
    lResult = pfnDeleteKeyEx != nullptr ? pfnDeleteKeyEx(hRoot, UNINSTALL_ENTRY_KEY, KEY_WOW64_64KEY, 0)
                                        : ::RegDeleteKeyA(hRoot, UNINSTALL_ENTRY_KEY);
    if (lResult != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Could not delete the entry in Programs and Features (" + strKey + ")",
                                  static_cast<DWORD>(lResult)));
        return false;
    }
    log.Write("Deleted the entry in Programs and Features (" + strKey + ").");
    return true;
}

bool RemoveDatabasePath(const CString& strRoot, CLogFile& log)
{
    HKEY hKey = nullptr;
    LONG lResult = ::RegOpenKeyExA(HKEY_CURRENT_USER, DATABASE_PATH_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey);
    CString strPath = lResult == ERROR_SUCCESS ? ReadText(hKey, DATABASE_PATH_VALUE) : CString();
    if (!NamesRoot(strPath, strRoot))
    {
        if (hKey != nullptr)
            ::RegCloseKey(hKey);
        log.Write(strPath.IsEmpty() ? CString("This user has no " DATABASE_PATH_VALUE ".")
                                    : "This user's " DATABASE_PATH_VALUE " names another folder, \"" + strPath
                                          + "\": it stays.");
        return true;
    }
    lResult = ::RegDeleteValueA(hKey, DATABASE_PATH_VALUE);
    ::RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Could not delete " DATABASE_PATH_VALUE " under HKEY_CURRENT_USER\\" DATABASE_PATH_KEY,
                                  static_cast<DWORD>(lResult)));
        return false;
    }
    log.Write("Deleted " DATABASE_PATH_VALUE " under HKEY_CURRENT_USER\\" DATABASE_PATH_KEY ".");
    return true;
}

bool RegisterPathRemovalForAllUsers(const CString& strRoot, CLogFile& log)
{
    CString strVersion;
    CString strStub = ActiveSetupRemovalStubPath(strRoot);
    LONG lResult = RegisterActiveSetupStub(strStub, REG_SZ, strVersion);
    if (lResult != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Could not write HKEY_LOCAL_MACHINE\\" ACTIVE_SETUP_KEY
                                  " (run as an administrator or as LocalSystem)", static_cast<DWORD>(lResult)));
        return false;
    }
    log.Write("Every user's " DATABASE_PATH_VALUE " that names this folder is deleted at their next logon: "
              "HKEY_LOCAL_MACHINE\\" ACTIVE_SETUP_KEY ", Version " + strVersion + ", StubPath " + strStub);
    return true;
}
