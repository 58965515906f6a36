// The shell's folder browser in another process, worked from outside.
#pragma once

#include <windows.h>

#include <string>

namespace support {

// Selects the folder (an ANSI path of the system code page), waits until the browser
// shows it as selected, and presses OK. False when the selection did not take.
bool ChooseFolder(HWND hBrowse, const std::string& path);

}  // namespace support
