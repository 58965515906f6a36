// The program's entry: everything else starts from the application object.
#include "Afx.h"

// Run from removable media and download folders, the launcher must neither ask for a
// missing disk nor load a DLL planted beside it: before anything else, DLLs come from
// System32 only. SetDefaultDllDirectories is missing before Windows 7 with KB2533623;
// there, taking the current folder out of the search is what is left.
static void HardenProcess()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    typedef BOOL(WINAPI * PFN_SETDEFAULTDLLDIRECTORIES)(DWORD);
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    auto pfnSetDefault = reinterpret_cast<PFN_SETDEFAULTDLLDIRECTORIES>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")));
    if (pfnSetDefault == nullptr || !pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        ::SetDllDirectoryA("");
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    HardenProcess();
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);
}
