// startup_probe <exe> <window caption> <rounds>
// Starts the program <rounds> times; each time measures the milliseconds from the process
// start to its visible top-level window with that caption, and its peak working set, then
// closes the window. Prints one line per round: "<ms> <peak KiB>".
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct Search
{
    DWORD pid;
    const wchar_t* caption;
    HWND found;
};

static BOOL CALLBACK FindCaption(HWND h, LPARAM lParam)
{
    auto* s = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t text[256] = L"";
    if (pid == s->pid && IsWindowVisible(h) && GetWindowTextW(h, text, 256) && lstrcmpW(text, s->caption) == 0)
    {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: startup_probe <exe> <caption> <rounds>\n");
        return 2;
    }
    std::wstring exe = argv[1];
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    int rounds = _wtoi(argv[3]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    for (int round = 0; round < rounds; ++round)
    {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::wstring commandLine = L"\"" + exe + L"\"";
        LARGE_INTEGER start, now;
        QueryPerformanceCounter(&start);
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
            return 1;
        Search search = { pi.dwProcessId, argv[2], nullptr };
        for (int i = 0; i < 20000 && search.found == nullptr; ++i)
        {
            EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr)
                Sleep(1);
        }
        QueryPerformanceCounter(&now);
        double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        // Let the window settle before reading memory.
        Sleep(300);
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(pi.hProcess, &counters, sizeof(counters));
        std::printf("%.1f %lu\n", ms, static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
        std::fflush(stdout);
        if (search.found != nullptr)
            PostMessageW(search.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    return 0;
}
