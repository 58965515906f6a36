// A program started as a process of its own, its windows, and its end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace support {

class Process
{
public:
    Process() = default;
    ~Process();  // ends the process if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& exePath, const std::string& workingDir, const std::string& arguments = "");
    bool WaitExit(DWORD timeoutMs = 20000);  // false while it still runs
    DWORD ExitCode() const;                  // STILL_ACTIVE while it runs
    // Until it waits for input. Wine's dialog loop shows its dialog with SW_SHOWNORMAL when
    // its queue first runs empty: a window changed from outside before that is changed back.
    bool WaitIdle() const { return ::WaitForInputIdle(m_pi.hProcess, 20000) == 0; }

    // Visible top-level windows of this process.
    std::vector<HWND> TopWindows() const;
    // The launcher window: captioned "VORMEL setup luncher" and owned by nobody.
    HWND WaitMainWindow() const;
    // Starts the launcher and waits for its window; nullptr when none came.
    HWND StartLauncher(const std::string& exePath, const std::string& workingDir);
    // A visible dialog (message box, About box, folder browser, progress window) owned by
    // hOwner (nullptr: by nobody), with the given caption when one is given.
    HWND WaitPopup(HWND hOwner, const wchar_t* pszCaption = nullptr) const;

private:
    PROCESS_INFORMATION m_pi = {};
};

// Visible top-level windows of any process with this caption.
std::vector<HWND> WindowsTitled(const std::wstring& caption);

}  // namespace support
