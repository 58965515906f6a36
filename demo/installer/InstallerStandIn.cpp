// Stands in for the product's installer in the demo distribution and in the tests: it
// notes that it was started (a line in "installer-started.log" beside it) and says so.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szPath[MAX_PATH] = "";
    DWORD nLength = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    while (nLength > 0 && szPath[nLength - 1] != '\\')
        --nLength;
    lstrcpyA(szPath + nLength, "installer-started.log");

    HANDLE hLog = ::CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog != INVALID_HANDLE_VALUE)
    {
        char szLine[32];
        int n = wsprintfA(szLine, "started %lu\r\n", ::GetCurrentProcessId());
        DWORD nWritten = 0;
        ::WriteFile(hLog, szLine, static_cast<DWORD>(n), &nWritten, nullptr);
        ::CloseHandle(hLog);
    }

    ::MessageBoxA(nullptr, "The VORMEL installer would run now.\n(This is the demo stand-in.)",
                  "VORMEL Installer", MB_OK | MB_ICONINFORMATION);
    return 0;
}
