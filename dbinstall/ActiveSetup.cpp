#include "dbinstall/ActiveSetup.h"

#include "dbinstall/DatabaseInstall.h"

#include <cstdlib>

// Windows XP's headers may lack it; 32-bit Windows ignores it.
#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

bool IsLocalSystem()
{
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    union
    {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD cb = 0;
    bool bSystem = false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = { SECURITY_NT_AUTHORITY };
    PSID pSystem = nullptr;
    if (::GetTokenInformation(hToken, TokenUser, &info, sizeof(info), &cb)
        && ::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &pSystem))
    {
        bSystem = ::EqualSid(info.user.User.Sid, pSystem) != FALSE;
        ::FreeSid(pSystem);
    }
    ::CloseHandle(hToken);
    return bSystem;
}

CString ActiveSetupStubPath(const CString& strRoot)
{
    return CString("reg.exe add \"HKCU\\" DATABASE_PATH_KEY "\" /v " DATABASE_PATH_VALUE " /t REG_SZ /d \"") + strRoot
        + "\\\" /f";
}

LONG RegisterActiveSetup(const CString& strRoot, CString& strVersion)
{
    HKEY hKey = nullptr;
    LONG lResult = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    // "1,0,0,N": a user whose own copy of the Version is lower runs the StubPath again.
    char szOld[64] = "";
    DWORD cb = sizeof(szOld) - 1, dwType = 0;
    unsigned long ulBuild = 0;
    if (::RegQueryValueExA(hKey, "Version", nullptr, &dwType, reinterpret_cast<BYTE*>(szOld), &cb) == ERROR_SUCCESS
        && dwType == REG_SZ)
    {
        szOld[cb] = '\0';
        LPCSTR pszLast = szOld;
        for (LPCSTR p = szOld; *p != '\0'; ++p)
        {
            if (*p == ',')
                pszLast = p + 1;
        }
        ulBuild = std::strtoul(pszLast, nullptr, 10);
    }
    strVersion.Format("1,0,0,%lu", ulBuild + 1);
    CString strStub = ActiveSetupStubPath(strRoot);
    const char szName[] = "VORMEL terrain and land-use database";
    DWORD dwInstalled = 1;
    auto SetText = [&](LPCSTR pszName, LPCSTR pszText) {
        return ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                                static_cast<DWORD>(::lstrlenA(pszText)) + 1);
    };
    lResult = SetText(nullptr, szName);
    if (lResult == ERROR_SUCCESS)
        lResult = ::RegSetValueExA(hKey, "IsInstalled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwInstalled),
                                   sizeof(dwInstalled));
    if (lResult == ERROR_SUCCESS)
        lResult = SetText("StubPath", strStub);
    if (lResult == ERROR_SUCCESS)
        lResult = SetText("Version", strVersion);
    ::RegCloseKey(hKey);
    return lResult;
}
