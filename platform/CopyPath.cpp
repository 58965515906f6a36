#include "platform/CopyPath.h"

namespace {

bool IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

std::wstring Widen(const std::string& str)
{
    if (str.empty())
        return std::wstring();
    int n = ::MultiByteToWideChar(CP_ACP, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, str.data(), static_cast<int>(str.size()), &wide[0], n);
    return wide;
}

}  // namespace

std::vector<std::string> CCopyPath::SplitMultiString(LPCSTR pszList)
{
    std::vector<std::string> entries;
    if (pszList == nullptr)
        return entries;
    // A NUL byte never is the trail byte of a double-byte character, so the entries end
    // at the first NUL byte whatever they hold.
    for (LPCSTR p = pszList; *p != '\0'; )
    {
        size_t n = ::lstrlenA(p);
        entries.emplace_back(p, n);
        p += n + 1;
    }
    return entries;
}

bool CCopyPath::IsFullPath(const std::string& strPath)
{
    if (strPath.size() >= 3)
    {
        char c = strPath[0];
        bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (bLetter && strPath[1] == ':' && IsSeparator(strPath[2]))
            return true;
    }
    return strPath.size() >= 3 && IsSeparator(strPath[0]) && IsSeparator(strPath[1])
        && !IsSeparator(strPath[2]);
}

DWORD CCopyPath::Canonicalize(const std::string& strPath, std::string& strResult)
{
    char szFull[MAX_PATH];
    LPSTR pszFilePart = nullptr;
    DWORD n = ::GetFullPathNameA(strPath.c_str(), MAX_PATH, szFull, &pszFilePart);
    if (n == 0)
    {
        DWORD dwError = ::GetLastError();
        return dwError != 0 ? dwError : ERROR_INVALID_NAME;
    }
    if (n >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    strResult.assign(szFull, n);
    // Drop trailing backslashes, but keep the one of a drive root.
    while (EndsWithSeparator(strResult) && !(strResult.size() == 3 && strResult[1] == ':'))
        strResult.erase(strResult.size() - 1);
    return 0;
}

size_t CCopyPath::FindLastSeparator(const std::string& strPath)
{
    size_t last = std::string::npos;
    LPCSTR pszStart = strPath.c_str();
    for (LPCSTR p = pszStart; *p != '\0'; p = ::CharNextA(p))
    {
        if (IsSeparator(*p))
            last = static_cast<size_t>(p - pszStart);
    }
    return last;
}

bool CCopyPath::EndsWithSeparator(const std::string& strPath)
{
    size_t pos = FindLastSeparator(strPath);
    return pos != std::string::npos && pos + 1 == strPath.size();
}

std::string CCopyPath::Join(const std::string& strBase, const std::string& strName)
{
    if (strBase.empty())
        return strName;
    if (EndsWithSeparator(strBase))
        return strBase + strName;
    std::string strJoined;
    strJoined.reserve(strBase.size() + 1 + strName.size());
    strJoined.append(strBase).append(1, '\\').append(strName);
    return strJoined;
}

std::string CCopyPath::LastComponent(const std::string& strPath)
{
    size_t pos = FindLastSeparator(strPath);
    if (pos == std::string::npos)
        return strPath;
    if (pos + 1 == strPath.size())
        return std::string();
    return strPath.substr(pos + 1);
}

std::string CCopyPath::ParentOf(const std::string& strPath)
{
    size_t pos = FindLastSeparator(strPath);
    if (pos == std::string::npos || pos + 1 == strPath.size())
        return std::string();
    // "C:\x" -> "C:\" (the root keeps its backslash).
    if (pos == 2 && strPath[1] == ':')
        return strPath.substr(0, 3);
    // "\\server" has no parent.
    if (pos <= 1)
        return std::string();
    return strPath.substr(0, pos);
}

bool CCopyPath::IsSameOrInside(const std::string& strInner, const std::string& strOuter)
{
    // In UTF-16 a backslash is always a whole character, and the ordinal comparison
    // without case is the file system's own.
    std::wstring inner = Widen(strInner);
    std::wstring outer = Widen(strOuter);
    while (!outer.empty() && (outer.back() == L'\\' || outer.back() == L'/'))
        outer.pop_back();
    if (outer.empty() || inner.size() < outer.size())
        return false;
    if (::CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                               static_cast<int>(outer.size()), TRUE) != CSTR_EQUAL)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\' || inner[outer.size()] == L'/';
}
