// Windows of another process (or thread), seen and worked as a user would.
#pragma once

#include <windows.h>

#include <string>

namespace support {

std::wstring Wide(const std::string& utf8);   // a UTF-8 literal as the window shows it
std::wstring WindowText(HWND hWnd);            // controls and message-box texts alike
HWND Item(HWND hDlg, int nID);
void Click(HWND hDlg, int nID);                // posts BM_CLICK to the button
void PressKey(HWND hWnd, UINT vk);             // key down and up to the focused control

}  // namespace support
