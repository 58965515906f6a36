#include "Process.h"

#include "Wait.h"
#include "Window.h"

namespace support {

Process::~Process()
{
    if (m_pi.hProcess == nullptr)
        return;
    if (!WaitExit(0))
    {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
}

bool Process::Start(const std::string& exePath, const std::string& workingDir, const std::string& arguments)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    return ::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            workingDir.c_str(), &si, &m_pi) != FALSE;
}

bool Process::WaitExit(DWORD timeoutMs)
{
    return ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const
{
    DWORD dwCode = STILL_ACTIVE;
    ::GetExitCodeProcess(m_pi.hProcess, &dwCode);
    return dwCode;
}

namespace {
struct Search
{
    DWORD dwProcessId;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
{
    Search* pSearch = reinterpret_cast<Search*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if ((pSearch->dwProcessId == 0 || dwProcessId == pSearch->dwProcessId) && ::IsWindowVisible(hWnd))
        pSearch->found.push_back(hWnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> Process::TopWindows() const
{
    Search search = { m_pi.dwProcessId, {} };
    ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> WindowsTitled(const std::wstring& caption)
{
    Search search = { 0, {} };
    ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    std::vector<HWND> titled;
    for (HWND h : search.found)
    {
        if (WindowText(h) == caption)
            titled.push_back(h);
    }
    return titled;
}

HWND Process::WaitMainWindow() const
{
    return WaitPopup(nullptr, L"VORMEL setup luncher");
}

HWND Process::StartLauncher(const std::string& exePath, const std::string& workingDir)
{
    return Start(exePath, workingDir) ? WaitMainWindow() : nullptr;
}

HWND Process::WaitPopup(HWND hOwner, const wchar_t* pszCaption) const
{
    HWND hFound = nullptr;
    WaitUntil([&] {
        for (HWND h : TopWindows())
        {
            char szClass[16] = "";
            ::GetClassNameA(h, szClass, sizeof(szClass));
            if (::GetWindow(h, GW_OWNER) == hOwner && lstrcmpA(szClass, "#32770") == 0
                && (pszCaption == nullptr || WindowText(h) == pszCaption))
                hFound = h;
        }
        return hFound != nullptr;
    });
    return hFound;
}

}  // namespace support
