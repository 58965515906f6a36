#include "TempTree.h"

#include "Process.h"
#include "Wait.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace support {

namespace {

// Where each folder of the path ends, walked character by character: a double-byte
// character may end in the byte 0x5C.
std::vector<size_t> Separators(const std::string& path)
{
    std::vector<size_t> ends;
    for (const char* p = path.c_str(); *p != '\0'; p = ::CharNextA(p))
    {
        if (*p == '\\' && p - path.c_str() > 2)
            ends.push_back(static_cast<size_t>(p - path.c_str()));
    }
    return ends;
}

void RemoveTree(std::string path)
{
    path.append(2, '\0');  // a list of one, as the shell takes it
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = path.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationA(&op);
}

}  // namespace

TempTree::TempTree(const char* hint)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    static LONG s_nCount = 0;
    char szName[96];
    std::snprintf(szName, sizeof(szName), "vormel-%s-%lu-%03ld", hint, ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&s_nCount));
    m_path = std::string(szTemp) + szName;
    RemoveTree(m_path);
    MakeDirs(m_path);
    m_path += "\\";
}

TempTree::~TempTree()
{
    std::string root = m_path.substr(0, m_path.size() - 1);
    Process rm;
    if (m_bLinks && rm.Start("Z:\\bin\\rm", "C:\\", "-rf " + UnixPath(root)))
        WaitUntil([&] { return ::GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES; });
    RemoveTree(root);
}

void TempTree::Write(const std::string& rel, const std::string& bytes) const
{
    std::string path = m_path + rel;
    MakeDirs(path.substr(0, Separators(path).back()));
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteSparse(const std::string& path, LONGLONG llSize, const std::string& head)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(h, head.data(), static_cast<DWORD>(head.size()), &n, nullptr);
    LONG nHigh = static_cast<LONG>(llSize >> 32);
    ::SetFilePointer(h, static_cast<LONG>(llSize), &nHigh, FILE_BEGIN);
    ::SetEndOfFile(h);
    ::CloseHandle(h);
}

void MakeDirs(const std::string& path)
{
    for (size_t nEnd : Separators(path))
        ::CreateDirectoryA(path.substr(0, nEnd).c_str(), nullptr);
    ::CreateDirectoryA(path.c_str(), nullptr);
}

std::string UnixPath(const std::string& path)
{
    const char* pszPrefix = std::getenv("WINEPREFIX");
    std::string unixPath = std::string(pszPrefix != nullptr ? pszPrefix : "") + "/drive_c/" + path.substr(3);
    for (char& c : unixPath)
        c = c == '\\' ? '/' : c;
    return unixPath;
}

bool TempTree::MakeLink(const std::string& target, const std::string& link)
{
    // Wine does not wait for a Unix program: the link's arrival is awaited.
    m_bLinks = true;
    Process ln;
    return ln.Start("Z:\\bin\\ln", "C:\\", "-s " + UnixPath(target) + " " + UnixPath(link))
        && WaitUntil([&] { return ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

std::wstring WidePath(const std::string& path)
{
    std::wstring wide(path.size() + 1, L'\0');
    int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

}  // namespace support
