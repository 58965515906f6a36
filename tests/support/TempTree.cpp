#include "TempTree.h"

#include <cstdio>
#include <cstdlib>

namespace support {

namespace {

// A 0x5C byte that ends a double-byte character is no separator.
bool IsSeparatorAt(const std::string& path, size_t i)
{
    return path[i] == '\\' && (i == 0 || !::IsDBCSLeadByte(static_cast<BYTE>(path[i - 1]))
                               || (i >= 2 && ::IsDBCSLeadByte(static_cast<BYTE>(path[i - 2]))));
}

void RemoveTree(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = fd.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(path.c_str());
}

}  // namespace

TempTree::TempTree(const char* hint)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    static LONG s_nCount = 0;
    char szName[96];
    std::snprintf(szName, sizeof(szName), "vormel-%s-%lu-%ld\\", hint, ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&s_nCount));
    m_path = std::string(szTemp) + szName;
    RemoveTree(m_path.substr(0, m_path.size() - 1));
    MakeDirs(m_path);
}

TempTree::~TempTree()
{
    RemoveTree(m_path.substr(0, m_path.size() - 1));
}

void TempTree::MakeDir(const std::string& rel) const
{
    MakeDirs(m_path + rel);
}

void TempTree::Write(const std::string& rel, const std::string& bytes) const
{
    std::string path = m_path + rel;
    for (size_t i = path.size(); i-- > m_path.size();)
    {
        if (IsSeparatorAt(path, i))
        {
            MakeDirs(path.substr(0, i));
            break;
        }
    }
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n = 0;
    if (h == INVALID_HANDLE_VALUE || !::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr))
    {
        std::fprintf(stderr, "cannot write %s (error %lu)\n", path.c_str(), ::GetLastError());
        std::abort();
    }
    ::CloseHandle(h);
}

std::string ReadBytes(const std::string& path)
{
    std::string result;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return result;
    static char buffer[1 << 16];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        result.append(buffer, n);
    ::CloseHandle(h);
    return result;
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDirs(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
    {
        if (i == path.size() || IsSeparatorAt(path, i))
            ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

}  // namespace support
