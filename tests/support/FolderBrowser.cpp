#include "FolderBrowser.h"

#include "Wait.h"
#include "Window.h"

#include <shlobj.h>

namespace support {

bool ChooseFolder(HWND hBrowse, const std::string& path)
{
    // The browser shows the selected folder's name in a hidden edit control; the name is
    // cut from the wide form, as a double-byte character may end in the byte 0x5C.
    wchar_t szWide[MAX_PATH] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, szWide, MAX_PATH);
    std::wstring name = szWide;
    while (name.size() > 3 && name.back() == L'\\')
        name.pop_back();
    std::wstring leaf = name.size() <= 3 ? name.substr(0, 2) : name.substr(name.rfind(L'\\') + 1);

    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hBrowse, &dwProcessId);
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, dwProcessId);
    void* pRemote = ::VirtualAllocEx(hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    bool bSelected = false;
    if (pRemote != nullptr && ::WriteProcessMemory(hProcess, pRemote, path.c_str(), path.size() + 1, nullptr))
    {
        for (int nAttempt = 0; nAttempt < 3 && !bSelected; ++nAttempt)
        {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(hBrowse, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(pRemote),
                                  SMTO_ABORTIFHUNG, 5000, &result);
            bSelected = WaitUntil([&] { return WindowText(Item(hBrowse, 0x3745)).find(leaf) != std::wstring::npos; }, 2000);
        }
    }
    if (bSelected)
    {
        Click(hBrowse, IDOK);
        WaitUntil([&] { return !::IsWindow(hBrowse); });
    }
    if (pRemote != nullptr)
        ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    ::CloseHandle(hProcess);
    return bSelected;
}

}  // namespace support
