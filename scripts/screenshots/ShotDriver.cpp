// Drives the launcher for scripts/screenshots.sh, one step per run, under the same Wine:
//   shotdriver rect KIND CAPTION [TEXT]   waits for the window, prints "x y width height"
//   shotdriver click KIND CAPTION ID      presses a button; waits until a popup has gone
//   shotdriver syscmd CAPTION ID          posts a system-menu command to the main window
//   shotdriver choose PATH                selects PATH in the folder browser and presses OK
//   shotdriver progress CAPTION PERCENT   waits until the window's progress bar shows it,
//                                         then prints the window's place as rect does
// KIND: main (owned by nobody), box (an owned dialog with a static 0xFFFF, no folder tree), any. CAPTION "*" matches every caption;
// TEXT must then be part of the message box's text. Windows are waited for 60 seconds.
// Exit status 1 when a window did not come or a step did not take.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const DWORD kTimeoutMs = 60000;

std::string Text(HWND hWnd)
{
    char sz[1024] = "";
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz),
                          SMTO_ABORTIFHUNG, 5000, &result);
    return sz;
}

struct Search
{
    const char* kind;
    const char* caption;
    const char* text;
    HWND found;
};

bool Matches(HWND hWnd, const Search& s)
{
    if (!::IsWindowVisible(hWnd))
        return false;
    if (std::strcmp(s.caption, "*") != 0 && Text(hWnd) != s.caption)
        return false;
    HWND hBoxText = ::GetDlgItem(hWnd, 0xFFFF);
    if (std::strcmp(s.kind, "main") == 0)
        return ::GetWindow(hWnd, GW_OWNER) == nullptr;
    if (std::strcmp(s.kind, "box") == 0)
        return ::GetWindow(hWnd, GW_OWNER) != nullptr && hBoxText != nullptr && ::GetDlgItem(hWnd, 0x3741) == nullptr &&
               (s.text == nullptr || Text(hBoxText).find(s.text) != std::string::npos);
    return true;
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    Search* s = reinterpret_cast<Search*>(lParam);
    if (Matches(hWnd, *s))
    {
        s->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The window, once it is visible and its process waits for input (so it has painted).
HWND WaitWindow(const char* kind, const char* caption, const char* text = nullptr)
{
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kTimeoutMs; ::Sleep(50))
    {
        Search s = { kind, caption, text, nullptr };
        ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found == nullptr)
            continue;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(s.found, &pid);
        if (HANDLE hProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid))
        {
            ::WaitForInputIdle(hProcess, 5000);
            ::CloseHandle(hProcess);
        }
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(s.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        return s.found;
    }
    std::fprintf(stderr, "shotdriver: no %s window \"%s\"%s%s\n", kind, caption, text ? " saying " : "", text ? text : "");
    std::exit(1);
}

bool WaitGone(HWND hWnd)
{
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kTimeoutMs; ::Sleep(50))
    {
        if (!::IsWindow(hWnd) || !::IsWindowVisible(hWnd))
            return true;
    }
    return false;
}

BOOL CALLBACK FindProgressBar(HWND hWnd, LPARAM lParam)
{
    char szClass[64] = "";
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpiA(szClass, PROGRESS_CLASSA) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// Puts PATH into the browser's process and asks the browser to select it; the hidden edit
// 0x3745 then shows the folder's name.
bool ChooseFolder(HWND hBrowse, const char* pszPath)
{
    const char* pszName = std::strrchr(pszPath, '\\');
    pszName = pszName != nullptr ? pszName + 1 : pszPath;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hBrowse, &pid);
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (hProcess == nullptr)
        return false;
    SIZE_T cb = std::strlen(pszPath) + 1;
    void* pRemote = ::VirtualAllocEx(hProcess, nullptr, cb, MEM_COMMIT, PAGE_READWRITE);
    bool selected = false;
    if (pRemote != nullptr && ::WriteProcessMemory(hProcess, pRemote, pszPath, cb, nullptr))
    {
        for (int attempt = 0; attempt < 5 && !selected; ++attempt)
        {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(hBrowse, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(pRemote),
                                  SMTO_ABORTIFHUNG, 5000, &result);
            for (DWORD start = ::GetTickCount(); !selected && ::GetTickCount() - start < 2000; ::Sleep(50))
                selected = lstrcmpiA(Text(::GetDlgItem(hBrowse, 0x3745)).c_str(), pszName) == 0;
        }
    }
    if (selected)
    {
        ::PostMessageA(::GetDlgItem(hBrowse, IDOK), BM_CLICK, 0, 0);
        WaitGone(hBrowse);
    }
    if (pRemote != nullptr)
        ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    ::CloseHandle(hProcess);
    return selected;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "rect" && argc >= 4)
    {
        HWND hWnd = WaitWindow(argv[2], argv[3], argc > 4 ? argv[4] : nullptr);
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        std::fflush(stdout);
        return 0;
    }
    if (verb == "click" && argc >= 5)
    {
        HWND hWnd = WaitWindow(argv[2], argv[3]);
        HWND hButton = ::GetDlgItem(hWnd, std::strtol(argv[4], nullptr, 0));
        if (hButton == nullptr)
            return 1;
        ::PostMessageA(hButton, BM_CLICK, 0, 0);
        return std::strcmp(argv[2], "main") == 0 || WaitGone(hWnd) ? 0 : 1;
    }
    if (verb == "syscmd" && argc >= 4)
    {
        ::PostMessageA(WaitWindow("main", argv[2]), WM_SYSCOMMAND, std::strtol(argv[3], nullptr, 0), 0);
        return 0;
    }
    if (verb == "choose" && argc >= 3)
    {
        // The folder browser: a dialog with the shell's folder tree (0x3741).
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kTimeoutMs; ::Sleep(50))
        {
            HWND hBrowse = WaitWindow("any", "*");
            if (::GetDlgItem(hBrowse, 0x3741) != nullptr)
                return ChooseFolder(hBrowse, argv[2]) ? 0 : 1;
        }
        return 1;
    }
    if (verb == "progress" && argc >= 4)
    {
        HWND hWnd = WaitWindow("any", argv[2]);
        HWND hBar = nullptr;
        ::EnumChildWindows(hWnd, &FindProgressBar, reinterpret_cast<LPARAM>(&hBar));
        int nPercent = std::atoi(argv[3]);
        for (DWORD start = ::GetTickCount(); hBar != nullptr && ::GetTickCount() - start < kTimeoutMs; ::Sleep(20))
        {
            int nHigh = static_cast<int>(::SendMessageA(hBar, PBM_GETRANGE, FALSE, 0));
            int nLow = static_cast<int>(::SendMessageA(hBar, PBM_GETRANGE, TRUE, 0));
            int nPos = static_cast<int>(::SendMessageA(hBar, PBM_GETPOS, 0, 0));
            if (!::IsWindow(hBar) || (nHigh > nLow && (nPos - nLow) * 100 >= nPercent * (nHigh - nLow)))
                break;
        }
        RECT rc;
        if (!::GetWindowRect(hWnd, &rc) || !::IsWindowVisible(hWnd))
            return 1;
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        std::fflush(stdout);
        return 0;
    }
    std::fprintf(stderr, "usage: see the head of ShotDriver.cpp\n");
    return 2;
}
