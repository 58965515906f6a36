#include "TreeSnapshot.h"

#include "TempTree.h"

namespace support {

namespace {

void AddFolder(const std::string& root, const std::string& rel, std::map<std::string, std::string>& result)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((root + "\\" + rel + "*").c_str(), &fd);
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
        else
        {
            result[rel + name] = ReadBytes(root + "\\" + rel + name);
        }
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
}

}  // namespace

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> result;
    std::string base = root;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    AddFolder(base, "", result);
    return result;
}

}  // namespace support
