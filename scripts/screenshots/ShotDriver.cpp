// Drives the launcher for scripts/screenshots.sh, one step per run, under the same Wine,
// with the tests' own means of working windows from outside:
//   shotdriver rect KIND CAPTION [TEXT]   waits for the window, prints "x y width height"
//   shotdriver click KIND CAPTION ID      presses a button; waits until a popup has gone
//   shotdriver syscmd CAPTION ID          posts a system-menu command to the main window
//   shotdriver choose PATH                selects PATH in the folder browser and presses OK
//   shotdriver shows CAPTION TEXT         waits until a control of the window shows TEXT,
//                                         then prints the window's place as rect does
// KIND: main (owned by nobody), box (a message box: owned, with a static 0xFFFF whose text
// holds TEXT when given), any. CAPTION "*" matches every caption. Exit status 1 when a
// window did not come or a step did not take.
#include "FolderBrowser.h"
#include "Wait.h"
#include "Window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace support;

namespace {

struct Search
{
    std::string kind;
    std::wstring caption, text;
    HWND found;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
{
    Search& s = *reinterpret_cast<Search*>(lParam);
    bool bOwned = ::GetWindow(hWnd, GW_OWNER) != nullptr;
    bool bMatch = ::IsWindowVisible(hWnd) && (s.caption == L"*" || WindowText(hWnd) == s.caption)
        && (s.kind == "main" ? !bOwned
            : s.kind != "box" || (bOwned && Item(hWnd, 0xFFFF) != nullptr
                                  && WindowText(Item(hWnd, 0xFFFF)).find(s.text) != std::wstring::npos));
    s.found = bMatch ? hWnd : s.found;
    return !bMatch;
}

// The window, once its program waits for input again (so it has painted); exits when none comes.
HWND WaitWindow(const char* kind, const char* caption, const char* text = "")
{
    Search s = { kind, Wide(caption), Wide(text), nullptr };
    if (!WaitUntil([&] { return !::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&s)); }, 60000))
    {
        std::fprintf(stderr, "shotdriver: no %s window \"%s\" %s\n", kind, caption, text);
        std::exit(1);
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(s.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return s.found;
}

BOOL CALLBACK LacksText(HWND hChild, LPARAM lParam)
{
    return WindowText(hChild).find(*reinterpret_cast<std::wstring*>(lParam)) == std::wstring::npos;
}

int PrintRect(HWND hWnd)
{
    RECT rc;
    if (!::IsWindowVisible(hWnd) || !::GetWindowRect(hWnd, &rc))
        return 1;
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "rect" && argc >= 4)
        return PrintRect(WaitWindow(argv[2], argv[3], argc > 4 ? argv[4] : ""));
    if (verb == "click" && argc >= 5)
    {
        HWND hWnd = WaitWindow(argv[2], argv[3]);
        Click(hWnd, std::strtol(argv[4], nullptr, 0));
        return std::strcmp(argv[2], "main") == 0 || WaitUntil([&] { return !::IsWindowVisible(hWnd); }) ? 0 : 1;
    }
    if (verb == "syscmd" && argc >= 4)
        return ::PostMessageA(WaitWindow("main", argv[2]), WM_SYSCOMMAND, std::strtol(argv[3], nullptr, 0), 0) ? 0 : 1;
    if (verb == "choose" && argc >= 3)
    {
        // The folder browser: the dialog with the shell's folder tree (0x3741).
        HWND hBrowse = nullptr;
        WaitUntil([&] { return Item(hBrowse = WaitWindow("any", "*"), 0x3741) != nullptr; }, 60000);
        return ChooseFolder(hBrowse, argv[2]) ? 0 : 1;
    }
    if (verb == "shows" && argc >= 4)
    {
        HWND hWnd = WaitWindow("any", argv[2]);
        std::wstring text = Wide(argv[3]);
        WaitUntil([&] { return !::EnumChildWindows(hWnd, &LacksText, reinterpret_cast<LPARAM>(&text)); }, 60000);
        return PrintRect(hWnd);
    }
    std::fprintf(stderr, "usage: see the head of ShotDriver.cpp\n");
    return 2;
}
