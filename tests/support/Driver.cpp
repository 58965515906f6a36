#include "Driver.h"

#include <cstdlib>
#include <cstdio>

#include <shlobj.h>

#ifndef VORMEL_BUILD_DIR
#error "VORMEL_BUILD_DIR must name the build tree"
#endif

namespace driver {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    DWORD start = ::GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(pollMs);
    }
}

std::wstring Wide(const std::string& utf8)
{
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &result[0], n);
    return result;
}

std::string Utf8(const std::wstring& text)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], n, nullptr, nullptr);
    return result;
}

std::string WindowsPath(const std::string& unixPath)
{
    std::string result = "Z:" + unixPath;
    for (char& ch : result)
    {
        if (ch == '/')
            ch = '\\';
    }
    return result;
}

std::string BuildDir()
{
    return WindowsPath(VORMEL_BUILD_DIR);
}

std::string LauncherExe()
{
    return BuildDir() + "\\VORMELSetup.exe";
}

std::string InstallerStandInExe()
{
    return BuildDir() + "\\VORMELInstall.exe";
}

// File work goes through the wide functions with the \\?\ prefix, so that the tests can
// lay out folders deeper than MAX_PATH, which the ANSI functions refuse.
static std::wstring LongPath(const std::string& path)
{
    wchar_t buffer[32768] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer, 32768);
    std::wstring wide = buffer;
    return wide.size() > 2 && wide[1] == L':' ? L"\\\\?\\" + wide : wide;
}

static std::string Narrow(const wchar_t* text)
{
    char buffer[MAX_PATH * 2] = "";
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        std::fprintf(stderr, "cannot write %s (%lu)\n", path.c_str(), ::GetLastError());
        std::abort();
    }
    DWORD n = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
}

std::string ReadBytes(const std::string& path)
{
    std::string result;
    HANDLE h = ::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return result;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        result.append(buffer, n);
    ::CloseHandle(h);
    return result;
}

void MakeDirs(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
    {
        // A byte 0x5C that ends a double-byte character does not separate folders.
        if (i < path.size() && ::IsDBCSLeadByte(static_cast<BYTE>(path[i])))
        {
            ++i;
            continue;
        }
        if (i == path.size() || path[i] == '\\')
            ::CreateDirectoryW(LongPath(path.substr(0, i)).c_str(), nullptr);
    }
}

void RemoveTree(const std::string& path)
{
    std::string base = path;
    if (!base.empty() && base.back() == '\\' && !(base.size() >= 2 && ::IsDBCSLeadByte(static_cast<BYTE>(base[base.size() - 2]))))
        base.pop_back();
    DWORD attributes = ::GetFileAttributesW(LongPath(base).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    // Read-only, hidden and system entries go as well.
    ::SetFileAttributesW(LongPath(base).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::DeleteFileW(LongPath(base).c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((LongPath(base) + L"\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = Narrow(fd.cFileName);
            if (name != "." && name != "..")
                RemoveTree(base + "\\" + name);
        } while (::FindNextFileW(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(LongPath(base).c_str());
}

bool CopyOneFile(const std::string& from, const std::string& to)
{
    return ::CopyFileW(LongPath(from).c_str(), LongPath(to).c_str(), FALSE) != FALSE;
}

void CopyTree(const std::string& from, const std::string& to)
{
    MakeDirs(to);
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((LongPath(from) + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do
    {
        std::string name = Narrow(fd.cFileName);
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + "\\" + name, to + "\\" + name);
        else
            CopyOneFile(from + "\\" + name, to + "\\" + name);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

TempDir::TempDir(const std::string& hint)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    static LONG s_counter = 0;
    char szName[64];
    std::snprintf(szName, sizeof(szName), "vormel-%s-%lu-%ld-%lu\\", hint.c_str(), ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&s_counter), ::GetTickCount());
    m_path = std::string(szTemp) + szName;
    MakeDirs(m_path.substr(0, m_path.size() - 1));
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

Distribution::Distribution(const std::string& exeName, const std::string& subfolder)
    : dir("dist"), folder(dir.Path() + (subfolder.empty() ? std::string() : subfolder + "\\"))
{
    MakeDirs(folder);
    exePath = folder + exeName;
    CopyOneFile(LauncherExe(), exePath);
}

void Distribution::SetInstallList(const std::string& bytes) const
{
    WriteBytes(folder + "InstallList.txt", bytes);
}

void Distribution::AddInstallerStandIn(const std::string& relativePath) const
{
    std::string target = folder + relativePath;
    MakeDirs(target.substr(0, target.rfind('\\')));
    CopyOneFile(InstallerStandInExe(), target);
}

void Distribution::AddDataFolders() const
{
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        CopyTree(BuildDir() + "\\demo\\database\\" + name, folder + name);
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR n = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &n);
    return buffer;
}

std::wstring ClassName(HWND hWnd)
{
    wchar_t buffer[256] = L"";
    ::GetClassNameW(hWnd, buffer, 256);
    return buffer;
}

bool IsVisible(HWND hWnd)
{
    return hWnd != nullptr && ::IsWindowVisible(hWnd);
}

bool IsEnabled(HWND hWnd)
{
    return hWnd != nullptr && ::IsWindowEnabled(hWnd);
}

HWND Item(HWND hDlg, int id)
{
    return ::GetDlgItem(hDlg, id);
}

void Click(HWND hDlg, int id)
{
    ::PostMessageW(::GetDlgItem(hDlg, id), BM_CLICK, 0, 0);
}

void PostCommand(HWND hDlg, int id)
{
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

void PressKey(HWND hWnd, UINT vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND hTarget = hWnd;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &info) && info.hwndFocus != nullptr)
        hTarget = info.hwndFocus;
    UINT scan = ::MapVirtualKeyW(vk, 0);
    ::PostMessageW(hTarget, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageW(hTarget, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
}

std::wstring MessageText(HWND hBox)
{
    return WindowText(::GetDlgItem(hBox, 0xFFFF));
}

// Renders a standard icon over the given background and returns its pixels.
static std::vector<COLORREF> RenderIcon(LPCWSTR iconId, COLORREF background, int size)
{
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, size, size);
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    HBRUSH hBrush = ::CreateSolidBrush(background);
    RECT rc = { 0, 0, size, size };
    ::FillRect(hMem, &rc, hBrush);
    ::DeleteObject(hBrush);
    ::DrawIconEx(hMem, 0, 0, ::LoadIconW(nullptr, iconId), size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels.push_back(::GetPixel(hMem, x, y));
    ::SelectObject(hMem, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return pixels;
}

static long Distance(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b)
{
    long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    {
        sum += std::labs(static_cast<long>(GetRValue(a[i])) - GetRValue(b[i]));
        sum += std::labs(static_cast<long>(GetGValue(a[i])) - GetGValue(b[i]));
        sum += std::labs(static_cast<long>(GetBValue(a[i])) - GetBValue(b[i]));
    }
    return sum;
}

BoxIcon IconOf(HWND hBox)
{
    HWND hIcon = nullptr;
    for (HWND h = ::GetWindow(hBox, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
    {
        if (ClassName(h) == L"Static" && (::GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            hIcon = h;
    }
    if (hIcon == nullptr || !::IsWindowVisible(hIcon))
        return BoxIcon::None;

    const int size = ::GetSystemMetrics(SM_CXICON);
    POINT origin = { 0, 0 };
    ::ClientToScreen(hIcon, &origin);
    HDC hScreen = ::GetDC(nullptr);
    std::vector<COLORREF> shown;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            shown.push_back(::GetPixel(hScreen, origin.x + x, origin.y + y));
    ::ReleaseDC(nullptr, hScreen);

    // Standard icons leave their corners transparent: the corner shows the background.
    COLORREF background = shown[0];
    struct Candidate { LPCWSTR id; BoxIcon icon; };
    const Candidate candidates[] = {
        { MAKEINTRESOURCEW(32516), BoxIcon::Information },
        { MAKEINTRESOURCEW(32515), BoxIcon::Exclamation },
        { MAKEINTRESOURCEW(32514), BoxIcon::Question },
        { MAKEINTRESOURCEW(32513), BoxIcon::Error },
    };
    BoxIcon best = BoxIcon::None;
    long bestDistance = 0;
    for (const Candidate& c : candidates)
    {
        long d = Distance(shown, RenderIcon(c.id, background, size));
        if (best == BoxIcon::None || d < bestDistance)
        {
            best = c.icon;
            bestDistance = d;
        }
    }
    // Far from every standard icon: something else is drawn there.
    if (bestDistance > size * size * 3 * 40)
        return BoxIcon::None;
    return best;
}

Process::~Process()
{
    if (m_pi.hProcess != nullptr)
    {
        Kill();
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

bool Process::Start(const std::string& exePath, const std::string& workingDir)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    wchar_t exe[32768] = L"", dir[32768] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, exePath.c_str(), -1, exe, 32768);
    ::MultiByteToWideChar(CP_ACP, 0, workingDir.c_str(), -1, dir, 32768);
    std::wstring commandLine = L"\"" + std::wstring(exe) + L"\"";
    return ::CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            workingDir.empty() ? nullptr : dir, &si, &m_pi) != FALSE;
}

bool Process::WaitExit(DWORD timeoutMs)
{
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool Process::Running() const
{
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Process::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

void Process::Kill()
{
    if (Running())
    {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
}

namespace {
struct WindowSearch
{
    DWORD pid;  // 0: any process
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND h, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if ((search->pid == 0 || pid == search->pid) && ::IsWindowVisible(h))
        search->found.push_back(h);
    return TRUE;
}
}  // namespace

HWND FindChildWithText(HWND hParent, const std::wstring& text)
{
    for (HWND h = ::GetWindow(hParent, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
    {
        if (WindowText(h) == text)
            return h;
        if (HWND hDeeper = FindChildWithText(h, text))
            return hDeeper;
    }
    return nullptr;
}

bool ChooseFolder(HWND hBrowse, const std::string& path)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hBrowse, &pid);
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (hProcess == nullptr)
        return false;
    void* pRemote = ::VirtualAllocEx(hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    bool selected = false;
    wchar_t wideLeaf[MAX_PATH] = L"";
    if (pRemote != nullptr && ::WriteProcessMemory(hProcess, pRemote, path.c_str(), path.size() + 1, nullptr))
    {
        // The browser shows the selected folder's name in a hidden edit control. The name
        // is cut from the wide form: a double-byte character may end in the byte 0x5C.
        wchar_t widePath[MAX_PATH] = L"";
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
        std::wstring name = widePath;
        while (name.size() > 3 && name.back() == L'\\')
            name.pop_back();
        size_t slash = name.rfind(L'\\');
        std::wstring leaf = slash == std::wstring::npos || name.size() <= 3 ? name : name.substr(slash + 1);
        lstrcpynW(wideLeaf, leaf.c_str(), MAX_PATH);
        for (int attempt = 0; attempt < 3 && !selected; ++attempt)
        {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(hBrowse, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(pRemote),
                                  SMTO_ABORTIFHUNG, 5000, &result);
            selected = WaitUntil([&] { return WindowText(::GetDlgItem(hBrowse, 0x3745)) == wideLeaf ||
                                              (name.size() <= 3 && WindowText(::GetDlgItem(hBrowse, 0x3745)).find(name.substr(0, 2)) != std::wstring::npos); },
                                 2000);
        }
    }
    if (selected)
        Click(hBrowse, IDOK);
    else
        std::printf("the browser shows \"%s\", not \"%s\"\n", Utf8(WindowText(::GetDlgItem(hBrowse, 0x3745))).c_str(),
                    Utf8(wideLeaf).c_str());
    // The browser copies the path when the message arrives; the memory may go once it is done.
    if (pRemote != nullptr)
    {
        WaitUntil([&] { return !::IsWindow(hBrowse); }, 5000);
        ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    }
    ::CloseHandle(hProcess);
    return selected;
}

std::vector<HWND> WindowsTitled(const std::wstring& title)
{
    WindowSearch search = { 0, {} };
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    std::vector<HWND> titled;
    for (HWND h : search.found)
    {
        if (WindowText(h) == title)
            titled.push_back(h);
    }
    return titled;
}

std::vector<HWND> Process::TopWindows() const
{
    WindowSearch search = { m_pi.dwProcessId, {} };
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Process::WaitMainWindow(DWORD timeoutMs) const
{
    HWND hMain = nullptr;
    WaitUntil(
        [&] {
            for (HWND h : TopWindows())
            {
                if (::GetWindow(h, GW_OWNER) == nullptr && WindowText(h) == L"VORMEL setup luncher")
                {
                    hMain = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return hMain;
}

HWND Process::WaitPopup(DWORD timeoutMs, HWND hExcept) const
{
    HWND hPopup = nullptr;
    WaitUntil(
        [&] {
            for (HWND h : TopWindows())
            {
                if (h != hExcept && ClassName(h) == L"#32770")
                {
                    hPopup = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return hPopup;
}

HWND Process::WaitWindowTitled(const std::wstring& title, DWORD timeoutMs) const
{
    HWND hFound = nullptr;
    WaitUntil(
        [&] {
            for (HWND h : TopWindows())
            {
                if (WindowText(h) == title)
                {
                    hFound = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return hFound;
}

}  // namespace driver
