#include "TreeSnapshot.h"

#include "TempTree.h"

namespace support {

namespace {

void AddFolder(const std::string& root, const std::string& rel, std::map<std::string, std::string>& result)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((root + rel + "*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do
    {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            result[rel + name] = "<dir>";
            AddFolder(root, rel + name + "\\", result);
        }
        else if (fd.nFileSizeHigh != 0 || fd.nFileSizeLow > (1u << 20))
        {
            result[rel + name] = "<" + std::to_string((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow) + " bytes>";
        }
        else
        {
            result[rel + name] = ReadBytes(root + rel + name);
        }
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
}

}  // namespace

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> result;
    // The last character taken whole: a double-byte one may end in the byte 0x5C.
    bool bSeparator = !root.empty() && *::CharPrevA(root.c_str(), root.c_str() + root.size()) == '\\';
    AddFolder(bSeparator ? root : root + "\\", "", result);
    return result;
}

}  // namespace support
