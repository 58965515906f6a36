#include "platform/copy/CopyPath.h"

#include <string.h>

namespace {

bool IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

// The path in UTF-16, where a backslash is always a whole character; false when it does
// not fit in the buffer.
bool Widen(const CString& str, WCHAR* pszWide, int nChars, int& nLength)
{
    nLength = 0;
    if (str.IsEmpty())
        return true;
    nLength = ::MultiByteToWideChar(CP_ACP, 0, str, str.GetLength(), pszWide, nChars);
    return nLength > 0;
}

// Whether two UTF-16 strings of n characters are equal, ordinally and without case.
// CompareStringOrdinal came with Vista; before it, both are upper-cased character by
// character (CharUpperBuffW, the system's simple case mapping) and compared as numbers.
bool EqualIgnoringCase(const WCHAR* psz1, const WCHAR* psz2, int n)
{
    typedef int(WINAPI * PFN_COMPARESTRINGORDINAL)(LPCWSTR, int, LPCWSTR, int, BOOL);
    auto pfnCompare = reinterpret_cast<PFN_COMPARESTRINGORDINAL>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "CompareStringOrdinal")));
    if (pfnCompare != nullptr)
        return pfnCompare(psz1, n, psz2, n, TRUE) == CSTR_EQUAL;
    WCHAR upper1[MAX_PATH * 2], upper2[MAX_PATH * 2];
    if (n > MAX_PATH * 2)
        return false;
    ::memcpy(upper1, psz1, n * sizeof(WCHAR));
    ::memcpy(upper2, psz2, n * sizeof(WCHAR));
    ::CharUpperBuffW(upper1, static_cast<DWORD>(n));
    ::CharUpperBuffW(upper2, static_cast<DWORD>(n));
    return ::memcmp(upper1, upper2, n * sizeof(WCHAR)) == 0;
}

}  // namespace

CSimpleArray<CString> CCopyPath::SplitMultiString(LPCSTR pszList)
{
    CSimpleArray<CString> entries;
    if (pszList == nullptr)
        return entries;
    // A NUL byte never is the trail byte of a double-byte character, so the entries end
    // at the first NUL byte whatever they hold.
    for (LPCSTR p = pszList; *p != '\0'; )
    {
        int n = ::lstrlenA(p);
        entries.Add(CString(p, n));
        p += n + 1;
    }
    return entries;
}

bool CCopyPath::IsFullPath(const CString& strPath)
{
    if (strPath.GetLength() < 3)
        return false;
    char c = strPath.GetAt(0);
    bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (bLetter && strPath.GetAt(1) == ':' && IsSeparator(strPath.GetAt(2)))
        return true;
    return IsSeparator(strPath.GetAt(0)) && IsSeparator(strPath.GetAt(1)) && !IsSeparator(strPath.GetAt(2));
}

DWORD CCopyPath::Canonicalize(const CString& strPath, CString& strResult)
{
    char szFull[MAX_PATH];
    LPSTR pszFilePart = nullptr;
    DWORD n = ::GetFullPathNameA(strPath, MAX_PATH, szFull, &pszFilePart);
    if (n == 0)
    {
        DWORD dwError = ::GetLastError();
        return dwError != 0 ? dwError : ERROR_INVALID_NAME;
    }
    if (n >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    strResult = CString(szFull, static_cast<int>(n));
    // Drop trailing backslashes, but keep the one of a drive root.
    while (EndsWithSeparator(strResult) && !(strResult.GetLength() == 3 && strResult.GetAt(1) == ':'))
        strResult = strResult.Left(strResult.GetLength() - 1);
    return 0;
}

int CCopyPath::FindLastSeparator(const CString& strPath)
{
    int nLast = -1;
    LPCSTR pszStart = strPath;
    for (LPCSTR p = pszStart; *p != '\0'; p = ::CharNextA(p))
    {
        if (IsSeparator(*p))
            nLast = static_cast<int>(p - pszStart);
    }
    return nLast;
}

bool CCopyPath::EndsWithSeparator(const CString& strPath)
{
    int nPos = FindLastSeparator(strPath);
    return nPos >= 0 && nPos + 1 == strPath.GetLength();
}

CString CCopyPath::Join(const CString& strBase, const CString& strName)
{
    if (strBase.IsEmpty())
        return strName;
    if (EndsWithSeparator(strBase))
        return strBase + strName;
    CString strJoined(strBase);
    strJoined += '\\';
    strJoined += strName;
    return strJoined;
}

CString CCopyPath::LastComponent(const CString& strPath)
{
    int nPos = FindLastSeparator(strPath);
    if (nPos < 0)
        return strPath;
    return strPath.Mid(nPos + 1);
}

CString CCopyPath::ParentOf(const CString& strPath)
{
    int nPos = FindLastSeparator(strPath);
    if (nPos < 0 || nPos + 1 == strPath.GetLength())
        return CString();
    // "C:\x" -> "C:\" (the root keeps its backslash).
    if (nPos == 2 && strPath.GetAt(1) == ':')
        return strPath.Left(3);
    // "\\server" has no parent.
    if (nPos <= 1)
        return CString();
    return strPath.Left(nPos);
}

bool CCopyPath::IsSameOrInside(const CString& strInner, const CString& strOuter)
{
    // Compared in UTF-16, ordinally without case: the file system's own comparison.
    WCHAR inner[MAX_PATH * 2], outer[MAX_PATH * 2];
    int nInner = 0, nOuter = 0;
    if (!Widen(strInner, inner, MAX_PATH * 2, nInner) || !Widen(strOuter, outer, MAX_PATH * 2, nOuter))
        return false;
    while (nOuter > 0 && (outer[nOuter - 1] == L'\\' || outer[nOuter - 1] == L'/'))
        --nOuter;
    if (nOuter == 0 || nInner < nOuter)
        return false;
    if (!EqualIgnoringCase(inner, outer, nOuter))
        return false;
    return nInner == nOuter || inner[nOuter] == L'\\' || inner[nOuter] == L'/';
}

CString CCopyPath::RootOf(const CString& strPath)
{
    if (!IsFullPath(strPath))
        return CString();
    if (strPath.GetAt(1) == ':')
        return strPath.Left(2) + "\\";
    // "\\server\share\": the end of the second component after the leading pair.
    int nSeparators = 0;
    LPCSTR pszStart = strPath;
    for (LPCSTR p = pszStart + 2; *p != '\0'; p = ::CharNextA(p))
    {
        if (IsSeparator(*p) && ++nSeparators == 2)
            return strPath.Left(static_cast<int>(p - pszStart)) + "\\";
    }
    return strPath + "\\";
}
