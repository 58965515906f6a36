#include "dbinstall/UninstallRegistration.h"

#include "dbinstall/UninstallEntry.h"
#include "dbinstall/UninstallerCopy.h"
#include "platform/Afx.h"
#include "platform/SystemError.h"
#include "platform/copy/CopyPath.h"

// Windows XP's headers may lack it; 32-bit Windows ignores it.
#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

namespace {

const char kDisplayName[] = "VORMEL terrain and land-use database";
const char kPublisher[] = "BRANTIK";

// The running launcher, by the folder the start-up found for it (which mends the forms a
// module path of a share can take) and the name it runs under.
CString LauncherExe(const CString& strLauncherDir)
{
    return strLauncherDir + CCopyPath::LastComponent(AfxGetModuleFileName(nullptr));
}

CString RootWithoutBackslash(const CString& strRoot)
{
    bool bDriveRoot = strRoot.GetLength() == 3 && strRoot.GetAt(1) == ':';
    return bDriveRoot || strRoot.LastChar() != "\\" ? strRoot : strRoot.Left(strRoot.GetLength() - 1);
}

DWORD EstimatedKilobytes(const CInstallRecord& record)
{
    ULONGLONG ullKilobytes = (record.GetTotalBytes() + 1023) / 1024;
    return ullKilobytes > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<DWORD>(ullKilobytes);
}

CString EntryKeyName(bool bAllUsers)
{
    return bAllUsers ? "HKEY_LOCAL_MACHINE\\" UNINSTALL_ENTRY_KEY " (64-bit view)" : "HKEY_CURRENT_USER\\" UNINSTALL_ENTRY_KEY;
}

// Writes every value; DisplayName and DisplayVersion last, so that an entry cut short
// shows nowhere and detects as nothing. 0 or the registry's error.
LONG WriteEntry(HKEY hRoot, REGSAM view, const CString& strRoot, const CString& strUninstaller, bool bAllUsers,
                const CInstallRecord& record)
{
    HKEY hKey = nullptr;
    LONG lResult = ::RegCreateKeyExA(hRoot, UNINSTALL_ENTRY_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | view, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    SYSTEMTIME stNow;
    ::GetLocalTime(&stNow);
    CString strDate;
    strDate.Format("%04u%02u%02u", stNow.wYear, stNow.wMonth, stNow.wDay);
    CString strUninstall = UninstallCommand(strUninstaller, strRoot, bAllUsers);
    const struct
    {
        LPCSTR pszName;
        CString strText;   // a DWORD's value when empty
        DWORD dwValue;
    } values[] = {
        { "Publisher", kPublisher, 0 },
        { "InstallLocation", strRoot, 0 },
        { "InstallDate", strDate, 0 },
        { "EstimatedSize", CString(), EstimatedKilobytes(record) },
        { "DisplayIcon", "\"" + strUninstaller + "\",0", 0 },
        { "UninstallString", strUninstall, 0 },
        { "QuietUninstallString", strUninstall + " /VERYSILENT", 0 },
        { "NoModify", CString(), 1 },
        { "NoRepair", CString(), 1 },
        { "DisplayName", kDisplayName, 0 },
        { "DisplayVersion", record.m_strEdition, 0 },
    };
    for (const auto& value : values)
    {
        if (lResult != ERROR_SUCCESS)
            break;
        if (value.strText.IsEmpty())
            lResult = ::RegSetValueExA(hKey, value.pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.dwValue),
                                       sizeof(value.dwValue));
        else
            lResult = ::RegSetValueExA(hKey, value.pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(
                                           static_cast<LPCSTR>(value.strText)), value.strText.GetLength() + 1);
    }
    ::RegCloseKey(hKey);
    return lResult;
}

}  // namespace

LONG ReadUninstallLocation(bool bAllUsers, CString& strLocation)
{
    strLocation.Empty();
    HKEY hKey = nullptr;
    LONG lResult = ::RegOpenKeyExA(bAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, UNINSTALL_ENTRY_KEY, 0,
                                   KEY_QUERY_VALUE | (bAllUsers ? KEY_WOW64_64KEY : 0), &hKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    char szLocation[MAX_PATH * 2] = "";
    DWORD cb = sizeof(szLocation) - 1, dwType = 0;
    if (::RegQueryValueExA(hKey, "InstallLocation", nullptr, &dwType, reinterpret_cast<BYTE*>(szLocation), &cb)
            == ERROR_SUCCESS && dwType == REG_SZ)
    {
        szLocation[cb] = '\0';
        strLocation = szLocation;
    }
    ::RegCloseKey(hKey);
    return ERROR_SUCCESS;
}

CString UninstallCommand(const CString& strUninstaller, const CString& strRoot, bool bAllUsers)
{
    return "\"" + strUninstaller + "\" " UNINSTALL_SWITCH " /DIR=\"" + RootWithoutBackslash(strRoot) + "\""
        + (bAllUsers ? " /ALLUSERS" : "");
}

bool RegisterUninstall(const CString& strLauncherDir, const CString& strRoot, bool bAllUsers,
                       const CInstallRecord& record, CLogFile& log)
{
    CString strFolder = UninstallerFolder(strRoot, bAllUsers);
    CString strUninstaller = strFolder + UNINSTALLER_NAME;
    DWORD dwPlaced = PlaceUninstaller(LauncherExe(strLauncherDir), strFolder, bAllUsers);
    if (dwPlaced != 0)
    {
        log.Write(SystemErrorLine("Could not place the uninstaller \"" + strUninstaller + "\"", dwPlaced));
        return false;
    }
    log.Write("Placed the uninstaller \"" + strUninstaller + "\".");

    HKEY hRoot = bAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    REGSAM view = bAllUsers ? KEY_WOW64_64KEY : 0;
    CString strEarlier;
    ReadUninstallLocation(bAllUsers, strEarlier);
    if (!strEarlier.IsEmpty() && ::lstrcmpiA(strEarlier, strRoot) != 0)
    {
        DWORD dwAttributes = ::GetFileAttributesA(RootWithoutBackslash(strEarlier));
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            log.Write("The earlier installation in \"" + strEarlier + "\" stays; the entry now names \"" + strRoot
                      + "\". Its files and install record stay there; remove it with "
                      + UninstallCommand(UninstallerFolder(strEarlier, bAllUsers) + UNINSTALLER_NAME, strEarlier, bAllUsers));
        else
            log.Write("The entry named \"" + strEarlier + "\", which no longer exists; it now names \"" + strRoot + "\".");
    }
    LONG lResult = WriteEntry(hRoot, view, strRoot, strUninstaller, bAllUsers, record);
    if (lResult != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Could not write the Programs and Features entry " + EntryKeyName(bAllUsers),
                                  static_cast<DWORD>(lResult)));
        return false;
    }
    CString strLine;
    strLine.Format("Wrote the Programs and Features entry %s: DisplayVersion %s, EstimatedSize %lu KB, UninstallString %s",
                   static_cast<LPCSTR>(EntryKeyName(bAllUsers)), static_cast<LPCSTR>(record.m_strEdition),
                   static_cast<unsigned long>(EstimatedKilobytes(record)),
                   static_cast<LPCSTR>(UninstallCommand(strUninstaller, strRoot, bAllUsers)));
    log.Write(strLine);
    return true;
}
