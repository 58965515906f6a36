#include "app/LauncherInstance.h"

namespace {

// The object's name: the folder's identity, its volume's serial number and its file index,
// which every spelling of the folder shares (another drive letter, a UNC path, a short
// name). Where the folder cannot be asked, its path without case, as a hash (a name may
// hold no backslash).
CString ObjectName(const CString& strLauncherDir)
{
    CString strName;
    HANDLE hFolder = ::CreateFileA(strLauncherDir, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (hFolder != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(hFolder, &info))
        strName.Format("Local\\VORMELSetup.%08lX.%08lX%08lX", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                       static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
    if (hFolder != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFolder);
    if (!strName.IsEmpty())
        return strName;
    CString strFolder(strLauncherDir);
    ::CharUpperBuffA(strFolder.GetBuffer(strFolder.GetLength()), static_cast<DWORD>(strFolder.GetLength()));
    strFolder.ReleaseBuffer(-1);
    unsigned long long ullHash = 14695981039346656037ull;   // 64-bit FNV-1a
    for (LPCSTR p = strFolder; *p != '\0'; ++p)
        ullHash = (ullHash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    strName.Format("Local\\VORMELSetup.%08lX%08lX", static_cast<unsigned long>(ullHash >> 32),
                   static_cast<unsigned long>(ullHash & 0xFFFFFFFFu));
    return strName;
}

struct LauncherWindowSearch
{
    DWORD dwProcessId;
    HWND hFound;
};

// The launcher window: visible, owned by nobody, shown on the taskbar (the progress window
// of a copy is owned by nobody too, but is no application window).
BOOL CALLBACK FindLauncherWindow(HWND hWnd, LPARAM lParam)
{
    LauncherWindowSearch* pSearch = reinterpret_cast<LauncherWindowSearch*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId != pSearch->dwProcessId || ::GetWindow(hWnd, GW_OWNER) != nullptr || !::IsWindowVisible(hWnd)
        || (::GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW) == 0)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

// Brings the launcher window of the process to the front, restored if minimised, with a box
// or the About box that is open over it.
void BringToFront(DWORD dwProcessId)
{
    LauncherWindowSearch search = { dwProcessId, nullptr };
    if (dwProcessId != 0)
        ::EnumWindows(&FindLauncherWindow, reinterpret_cast<LPARAM>(&search));
    if (search.hFound == nullptr)
        return;
    if (::IsIconic(search.hFound))
        ::ShowWindow(search.hFound, SW_RESTORE);
    ::SetForegroundWindow(::GetLastActivePopup(search.hFound));
}

}  // namespace

CLauncherInstance::~CLauncherInstance()
{
    if (m_hMapping != nullptr)
        ::CloseHandle(m_hMapping);
}

bool CLauncherInstance::Claim(const CString& strLauncherDir, bool bBringForward)
{
    m_hMapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                      ObjectName(strLauncherDir));
    // A first launcher that runs elevated has an object that this one may not open: it runs
    // all the same, and its window cannot be brought forward from here.
    if (m_hMapping == nullptr)
        return ::GetLastError() != ERROR_ACCESS_DENIED;
    bool bFirst = ::GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD* pdwProcessId = static_cast<DWORD*>(::MapViewOfFile(m_hMapping, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
    if (pdwProcessId == nullptr)
        return bFirst;
    DWORD dwFirst = *pdwProcessId;   // 0 while the first launcher has not written it yet
    if (bFirst)
        *pdwProcessId = ::GetCurrentProcessId();
    ::UnmapViewOfFile(pdwProcessId);
    if (!bFirst && bBringForward)
        BringToFront(dwFirst);
    return bFirst;
}
