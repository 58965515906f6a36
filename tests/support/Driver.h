// Drives the launcher from outside, as a user would: lays out distribution folders, starts
// the exe under the same Wine, finds its windows and message boxes and presses buttons.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

// Polls until the condition holds or the deadline passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

std::wstring Wide(const std::string& utf8);       // UTF-8 literal → UTF-16
std::string Utf8(const std::wstring& text);        // for messages in the test log
std::string WindowsPath(const std::string& unixPath);
std::string BuildDir();                            // the build tree, as a Windows path
std::string LauncherExe();                         // <build>\VORMELSetup.exe
std::string InstallerStandInExe();                 // <build>\VORMELInstall.exe

// Files, ANSI paths.
bool Exists(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
void MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);  // a file, or a folder with all it holds
void CopyTree(const std::string& from, const std::string& to);
bool CopyOneFile(const std::string& from, const std::string& to);

// A folder under the Windows temp folder, removed with everything in it at the end.
class TempDir
{
public:
    explicit TempDir(const std::string& hint = "t");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }  // ends in a backslash
private:
    std::string m_path;
};

// A distribution folder: the launcher exe (under a name of choice) and what lies beside it.
struct Distribution
{
    explicit Distribution(const std::string& exeName = "VORMELSetup.exe", const std::string& subfolder = "");
    TempDir dir;
    std::string folder;  // the distribution folder: dir, or the subfolder in it; ends in '\\'
    std::string exePath;
    void SetInstallList(const std::string& bytes) const;
    void AddInstallerStandIn(const std::string& relativePath) const;
    void AddDataFolders() const;  // small "landuse", "terrain" and "1kmav_dem" trees
};

std::wstring WindowText(HWND hWnd);
std::wstring ClassName(HWND hWnd);
bool IsVisible(HWND hWnd);
bool IsEnabled(HWND hWnd);
HWND Item(HWND hDlg, int id);
void Click(HWND hDlg, int id);                     // posts BM_CLICK to the button
void PostCommand(HWND hDlg, int id);               // WM_COMMAND as a button click would
void PressKey(HWND hWnd, UINT vk);                 // key down and up to the focused child
std::wstring MessageText(HWND hBox);               // the text of a message box

// Which standard icon a message box shows, by its pixels on screen.
enum class BoxIcon { None, Information, Exclamation, Question, Error };
BoxIcon IconOf(HWND hBox);

// A child window (at any depth) whose text is the given one; nullptr when none is.
HWND FindChildWithText(HWND hParent, const std::wstring& text);

// In the shell's folder browser of another process: selects the folder, waits until the
// browser shows it as selected, and presses OK. False when the selection did not take.
bool ChooseFolder(HWND hBrowse, const std::string& path);

// Visible top-level windows of any process with this caption.
std::vector<HWND> WindowsTitled(const std::wstring& title);

// The launcher (or any program) started as a process of its own.
class Process
{
public:
    Process() = default;
    ~Process();  // ends the process if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& exePath, const std::string& workingDir = std::string());
    DWORD Id() const { return m_pi.dwProcessId; }
    bool WaitExit(DWORD timeoutMs);
    bool Running() const;
    DWORD ExitCode() const;
    void Kill();

    // Visible top-level windows of this process, in Z order.
    std::vector<HWND> TopWindows() const;
    // The launcher window: captioned "VORMEL setup luncher" and owned by nobody.
    HWND WaitMainWindow(DWORD timeoutMs) const;
    // A visible top-level dialog of this process other than hExcept (message boxes,
    // About box, folder browser); nullptr on time-out.
    HWND WaitPopup(DWORD timeoutMs, HWND hExcept) const;
    HWND WaitWindowTitled(const std::wstring& title, DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION m_pi = {};
};

}  // namespace driver
