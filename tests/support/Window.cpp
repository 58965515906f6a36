#include "Window.h"

namespace support {

std::wstring Wide(const std::string& utf8)
{
    wchar_t buffer[4096] = L"";
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, buffer, 4096);
    return buffer;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t buffer[4096] = L"";
    DWORD_PTR n = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &n);
    return buffer;
}

HWND Item(HWND hDlg, int nID)
{
    return ::GetDlgItem(hDlg, nID);
}

void Click(HWND hDlg, int nID)
{
    ::PostMessageW(::GetDlgItem(hDlg, nID), BM_CLICK, 0, 0);
}

void PressKey(HWND hWnd, UINT vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &info) && info.hwndFocus != nullptr)
        hWnd = info.hwndFocus;
    LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(vk, 0)) << 16;
    ::PostMessageW(hWnd, WM_KEYDOWN, vk, 1 | scan);
    ::PostMessageW(hWnd, WM_KEYUP, vk, 1 | scan | (3u << 30));
}

}  // namespace support
