#include "app/TempUninstaller.h"

#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/UninstallEntry.h"
#include "platform/Afx.h"
#include "platform/copy/CopyPath.h"
#include "platform/copy/FileRun.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/OwnFolders.h"

#include <cstdlib>

namespace {

// How long the copy waits for the first process to end after handing it the code.
const DWORD kFirstEndMillis = 60000;
// How long it tries to delete the uninstaller while the system still holds it.
const DWORD kLetGoMillis = 30000;

CString SelfPath()
{
    return AfxGetModuleFileName(nullptr);
}

bool IsNamed(const CString& strPath, LPCSTR pszName)
{
    return ::lstrcmpiA(CCopyPath::LastComponent(strPath), pszName) == 0;
}

// A new folder of our own under %TEMP%, with the copy of this exe in it.
bool MakeCopy(CString& strFolder, CString& strCopy)
{
    char szTemp[MAX_PATH] = "";
    DWORD cch = ::GetTempPathA(MAX_PATH, szTemp);
    if (cch == 0 || cch >= MAX_PATH)
        return false;
    DWORD dwMade = ERROR_ALREADY_EXISTS;
    for (unsigned n = 0; n < 100 && dwMade == ERROR_ALREADY_EXISTS; ++n)
    {
        strFolder.Format("%sVORMELRemoval-%lu-%u", szTemp, static_cast<unsigned long>(::GetCurrentProcessId()), n);
        dwMade = COwnFolders::Make(strFolder);
    }
    strCopy = strFolder + "\\" UNINSTALLER_NAME;
    if (dwMade == ERROR_SUCCESS && ::CopyFileA(SelfPath(), strCopy, TRUE))
        return true;
    if (dwMade == ERROR_SUCCESS)
        ::RemoveDirectoryA(strFolder);
    return false;
}

// A step tried again while something holds what it works on: the system lets go of an
// ended program's file a moment after its end (under Wine, while its Unix process
// lingers), and a virus scanner or a window listing the folder may hold it meanwhile.
template <class Step>
DWORD WhenLetGo(Step step)
{
    DWORD dwError = ERROR_SUCCESS;
    DWORD dwStart = ::GetTickCount();
    do
        dwError = CFileRun::WaitOutHolds(step);
    while (CFileRun::IsHoldError(dwError) && ::GetTickCount() - dwStart < kLetGoMillis);
    return dwError;
}

}  // namespace

bool RunRemovalFromCopy(LPCSTR pszArguments, int& nExitCode)
{
    CString strFolder, strCopy;
    if (!MakeCopy(strFolder, strCopy))
        return false;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, TRUE };
    HANDLE hRead = nullptr, hWrite = nullptr, hSelf = nullptr;
    bool bStarted = false;
    PROCESS_INFORMATION pi = {};
    if (::CreatePipe(&hRead, &hWrite, &sa, 0) && ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0)
        && ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &hSelf, SYNCHRONIZE,
                             TRUE, 0))
    {
        CString strLine;
        strLine.Format("\"%s\" %s /UNINSTALLCOPY=\"%I64u,%I64u,%s\"", static_cast<LPCSTR>(strCopy), pszArguments,
                       static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hSelf)),
                       static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hWrite)),
                       static_cast<LPCSTR>(SelfPath()));
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        bStarted = ::CreateProcessA(strCopy, strLine.GetBuffer(strLine.GetLength()), nullptr, nullptr, TRUE, 0,
                                    nullptr, strFolder, &si, &pi) != FALSE;
        strLine.ReleaseBuffer();
    }
    // Only the copy holds the pipe's write end now: its end, however it comes, ends the read.
    if (hWrite != nullptr)
        ::CloseHandle(hWrite);
    if (hSelf != nullptr)
        ::CloseHandle(hSelf);
    if (bStarted)
    {
        ::AllowSetForegroundWindow(pi.dwProcessId);
        DWORD dwCode = 0, cbRead = 0;
        if (!::ReadFile(hRead, &dwCode, sizeof(dwCode), &cbRead, nullptr) || cbRead != sizeof(dwCode))
        {
            ::WaitForSingleObject(pi.hProcess, INFINITE);
            ::GetExitCodeProcess(pi.hProcess, &dwCode);
        }
        nExitCode = static_cast<int>(dwCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    else
    {
        ::DeleteFileA(strCopy);
        ::RemoveDirectoryA(strFolder);
    }
    if (hRead != nullptr)
        ::CloseHandle(hRead);
    return bStarted;
}

CUninstallerLink::~CUninstallerLink()
{
    if (m_hFirst != nullptr)
        ::CloseHandle(m_hFirst);
    if (m_hPipe != nullptr)
        ::CloseHandle(m_hPipe);
}

bool CUninstallerLink::Take(const CString& strValue)
{
    LPCSTR p = strValue;
    char* pszEnd = nullptr;
    unsigned long long ullFirst = std::strtoull(p, &pszEnd, 10);
    if (*pszEnd != ',')
        return false;
    unsigned long long ullPipe = std::strtoull(pszEnd + 1, &pszEnd, 10);
    if (*pszEnd != ',' || pszEnd[1] == '\0' || ullFirst == 0 || ullPipe == 0)
        return false;
    m_hFirst = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(ullFirst));
    m_hPipe = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(ullPipe));
    m_strUninstaller = pszEnd + 1;
    return true;
}

bool CUninstallerLink::IsUninstaller() const
{
    return m_hFirst != nullptr && IsNamed(m_strUninstaller, UNINSTALLER_NAME);
}

void CUninstallerLink::ReportExitCode(int nExitCode)
{
    if (m_hPipe == nullptr)
        return;
    DWORD dwCode = static_cast<DWORD>(nExitCode), cbWritten = 0;
    ::WriteFile(m_hPipe, &dwCode, sizeof(dwCode), &cbWritten, nullptr);
    ::CloseHandle(m_hPipe);
    m_hPipe = nullptr;
}

void CUninstallerLink::DeleteUninstaller(const CString& strRoot, bool bRootMade)
{
    // The launcher on the media, run with /UNINSTALL, has no uninstaller of its own.
    if (!IsUninstaller() || ::WaitForSingleObject(m_hFirst, kFirstEndMillis) != WAIT_OBJECT_0)
        return;
    CString strFolder = CCopyPath::ParentOf(m_strUninstaller), strParent = CCopyPath::ParentOf(strFolder);
    bool bRoot = ::lstrcmpiA(MakeDestinationRoot(strFolder), strRoot) == 0;
    bool bOurFolder = !bRoot && IsNamed(strFolder, "VORMEL database") && IsNamed(strParent, "BRANTIK");
    bool bFolderGoes = bRoot ? bRootMade : bOurFolder;
    CHeldFolder folder, parent;
    if (WhenLetGo([&] { folder.Close(); return folder.Open(strFolder, bRoot, bFolderGoes); }) == ERROR_SUCCESS
        && WhenLetGo([&] { return folder.DeleteBelow(CString(UNINSTALLER_NAME)); }) == ERROR_SUCCESS && bFolderGoes
        && folder.DeleteSelf() == ERROR_SUCCESS && bOurFolder
        && WhenLetGo([&] { parent.Close(); return parent.Open(strParent, false, true); }) == ERROR_SUCCESS)
        parent.DeleteSelf();
    // Possible only for an account that may change what Windows does at a restart.
    CString strSelf = SelfPath();
    if (::MoveFileExA(strSelf, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        ::MoveFileExA(CCopyPath::ParentOf(strSelf), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
