#include "dbinstall/UninstallerCopy.h"

#include "dbinstall/UninstallEntry.h"
#include "platform/copy/CopyErrors.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/OwnFolders.h"

#include <shlobj.h>

using CopyErrors::LastError;

namespace {

const char kCompanyFolder[] = "BRANTIK\\";
const char kProductFolder[] = "VORMEL database\\";

// The folder without its trailing backslash, as CreateDirectory takes it.
CString WithoutBackslash(const CString& strFolder)
{
    return strFolder.Left(strFolder.GetLength() - 1);
}

DWORD CopyBytes(HANDLE hFrom, HANDLE hTo)
{
    char buffer[64 * 1024];
    for (;;)
    {
        DWORD cbRead = 0, cbWritten = 0;
        if (!::ReadFile(hFrom, buffer, sizeof(buffer), &cbRead, nullptr))
            return LastError();
        if (cbRead == 0)
            return ::FlushFileBuffers(hTo) ? 0 : LastError();
        if (!::WriteFile(hTo, buffer, cbRead, &cbWritten, nullptr))
            return LastError();
        if (cbWritten != cbRead)
            return ERROR_WRITE_FAULT;
    }
}

}  // namespace

CString UninstallerFolder(const CString& strRoot, bool bAllUsers)
{
    if (!bAllUsers)
        return strRoot;
    char szProgramFiles[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, szProgramFiles))
        || szProgramFiles[0] == '\0')
        return CString();
    CString strFolder(szProgramFiles);
    if (strFolder.LastChar() != "\\")
        strFolder += "\\";
    return strFolder + kCompanyFolder + kProductFolder;
}

DWORD PlaceUninstaller(const CString& strLauncherExe, const CString& strFolder, bool bAllUsers)
{
    if (strFolder.IsEmpty())
        return ERROR_PATH_NOT_FOUND;
    CString strCompany = strFolder.Left(strFolder.GetLength() - static_cast<int>(sizeof(kProductFolder) - 1));
    const CString rgstrMade[] = { strCompany, strFolder };
    for (const CString& strMade : rgstrMade)
    {
        DWORD dwMade = bAllUsers ? COwnFolders::Make(WithoutBackslash(strMade)) : 0;
        if (dwMade != 0 && dwMade != ERROR_ALREADY_EXISTS)
            return dwMade;
    }
    // The root of a user's own installation is the folder they chose, which may be a link;
    // the machine-wide folders are ours, and a link there is refused.
    CHeldFolder folder;
    DWORD dwError = folder.Open(strFolder, !bAllUsers);
    if (dwError != 0)
        return dwError;
    HANDLE hFrom = ::CreateFileA(strLauncherExe, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hFrom == INVALID_HANDLE_VALUE)
        return LastError();
    CCopyTempFile temp;
    dwError = temp.Create(strFolder + UNINSTALLER_NAME, false);
    FILETIME ftTimes[3];
    if (dwError == 0)
        dwError = CopyBytes(hFrom, temp.GetHandle());
    if (dwError == 0 && !::GetFileTime(hFrom, &ftTimes[0], &ftTimes[1], &ftTimes[2]))
        dwError = LastError();
    ::CloseHandle(hFrom);
    if (dwError == 0)
        dwError = temp.Commit(ftTimes, FILE_ATTRIBUTE_ARCHIVE);
    return dwError;
}
