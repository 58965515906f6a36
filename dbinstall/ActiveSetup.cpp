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
    // reg.exe reads 2n backslashes before a quote as n: each trailing one is doubled. A
    // double-byte character whose second byte is 0x5C is not a backslash.
    int nTrailing = 0;
    for (LPCSTR p = strRoot; *p != '\0'; p = ::CharNextA(p))
        nTrailing = *p == '\\' ? nTrailing + 1 : 0;
    CString strStub = CString("%SystemRoot%\\System32\\reg.exe add \"HKCU\\" DATABASE_PATH_KEY "\" /v " DATABASE_PATH_VALUE
                              " /t REG_SZ /d \"") + strRoot;
    for (int i = 0; i < nTrailing; ++i)
        strStub += '\\';
    return strStub + "\" /f";
}

CString NextActiveSetupVersion(LPCSTR pszOld, const SYSTEMTIME& stUtc)
{
    unsigned long rgulOld[4] = { 0, 0, 0, 0 };
    LPCSTR p = pszOld;
    for (int i = 0; i < 4 && p != nullptr && *p != '\0'; ++i)
    {
        char* pszEnd = nullptr;
        rgulOld[i] = std::strtoul(p, &pszEnd, 10);
        p = *pszEnd == ',' ? pszEnd + 1 : nullptr;
    }
    // yyMM,ddHH,mmss,0 as PSAppDeployToolkit does; each part stays below 65536.
    unsigned long rgulNew[4] = { stUtc.wYear % 100 * 100ul + stUtc.wMonth, stUtc.wDay * 100ul + stUtc.wHour,
                                 stUtc.wMinute * 100ul + stUtc.wSecond, 0 };
    bool bClockAhead = false;
    for (int i = 0; i < 4; ++i)
    {
        if (rgulNew[i] != rgulOld[i])
        {
            bClockAhead = rgulNew[i] > rgulOld[i];
            break;
        }
    }
    if (!bClockAhead)
    {
        ::CopyMemory(rgulNew, rgulOld, sizeof(rgulNew));
        ++rgulNew[3];
    }
    CString strVersion;
    strVersion.Format("%lu,%lu,%lu,%lu", rgulNew[0], rgulNew[1], rgulNew[2], rgulNew[3]);
    return strVersion;
}

LONG CheckActiveSetupWritable()
{
    HKEY hKey = nullptr;
    LONG lResult = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &hKey);
    if (lResult == ERROR_FILE_NOT_FOUND)
        lResult = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Active Setup\\Installed Components", 0,
                                  KEY_CREATE_SUB_KEY | KEY_WOW64_64KEY, &hKey);
    if (lResult == ERROR_SUCCESS)
        ::RegCloseKey(hKey);
    return lResult;
}

CString ActiveSetupRemovalStubPath(const CString& strRoot)
{
    char szSystem[MAX_PATH] = "";
    UINT cch = ::GetSystemDirectoryA(szSystem, MAX_PATH);
    CString strSystem = cch > 0 && cch < MAX_PATH ? szSystem : "C:\\Windows\\System32";
    CString strReg = strSystem + "\\reg.exe";
    // reg.exe query prints "    reriPath    REG_SZ    <folder>": the folder is all after the
    // second field. cmd.exe takes no backslash before a quote as an escape.
    return strSystem + "\\cmd.exe /d /c for /f \"tokens=2,*\" %a in ('" + strReg
        + " query \"HKCU\\" DATABASE_PATH_KEY "\" /v " DATABASE_PATH_VALUE "') do if /i \"%b\"==\"" + strRoot + "\" "
        + strReg + " delete \"HKCU\\" DATABASE_PATH_KEY "\" /v " DATABASE_PATH_VALUE " /f";
}

LONG RegisterActiveSetup(const CString& strRoot, CString& strVersion)
{
    return RegisterActiveSetupStub(ActiveSetupStubPath(strRoot), REG_EXPAND_SZ, strVersion);
}

LONG RegisterActiveSetupStub(const CString& strStub, DWORD dwStubType, CString& strVersion)
{
    HKEY hKey = nullptr;
    LONG lResult = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    // A user whose own copy of the Version is lower runs the StubPath again: it never goes
    // back, not even after the key was deleted, for which the clock stands in.
    char szOld[64] = "";
    DWORD cb = sizeof(szOld) - 1, dwType = 0;
    if (::RegQueryValueExA(hKey, "Version", nullptr, &dwType, reinterpret_cast<BYTE*>(szOld), &cb) != ERROR_SUCCESS
        || dwType != REG_SZ)
        cb = 0;
    szOld[cb] = '\0';
    SYSTEMTIME stNow;
    ::GetSystemTime(&stNow);
    strVersion = NextActiveSetupVersion(szOld, stNow);
    const char szName[] = "VORMEL terrain and land-use database";
    DWORD dwInstalled = 1;
    auto SetText = [&](LPCSTR pszName, LPCSTR pszText, DWORD dwTextType) {
        return ::RegSetValueExA(hKey, pszName, 0, dwTextType, reinterpret_cast<const BYTE*>(pszText),
                                static_cast<DWORD>(::lstrlenA(pszText)) + 1);
    };
    lResult = SetText(nullptr, szName, REG_SZ);
    if (lResult == ERROR_SUCCESS)
        lResult = ::RegSetValueExA(hKey, "IsInstalled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwInstalled),
                                   sizeof(dwInstalled));
    if (lResult == ERROR_SUCCESS)
        lResult = SetText("StubPath", strStub, dwStubType);
    if (lResult == ERROR_SUCCESS)
        lResult = SetText("Version", strVersion, REG_SZ);
    ::RegCloseKey(hKey);
    return lResult;
}
