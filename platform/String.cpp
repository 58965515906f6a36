#include "String.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

CString::CString(LPCSTR psz)
{
    if (psz != nullptr)
        Append(psz, static_cast<int>(std::strlen(psz)));
}

CString::CString(LPCSTR pch, int nLength)
{
    Append(pch, nLength);
}

CString::CString(const CString& str)
{
    Append(str.m_pch, str.m_nLength);
}

CString::CString(CString&& str) noexcept
    : m_pch(str.m_pch), m_nLength(str.m_nLength), m_nCapacity(str.m_nCapacity)
{
    str.m_pch = nullptr;
    str.m_nLength = str.m_nCapacity = 0;
}

CString::~CString()
{
    std::free(m_pch);
}

CString& CString::operator=(const CString& str)
{
    if (this != &str)
    {
        SetLength(0);
        Append(str.m_pch, str.m_nLength);
    }
    return *this;
}

CString& CString::operator=(CString&& str) noexcept
{
    if (this != &str)
    {
        std::free(m_pch);
        m_pch = str.m_pch;
        m_nLength = str.m_nLength;
        m_nCapacity = str.m_nCapacity;
        str.m_pch = nullptr;
        str.m_nLength = str.m_nCapacity = 0;
    }
    return *this;
}

CString& CString::operator=(LPCSTR psz)
{
    CString str(psz);
    return *this = static_cast<CString&&>(str);
}

void CString::Empty()
{
    SetLength(0);
}

void CString::Reserve(int nCapacity)
{
    if (nCapacity <= m_nCapacity)
        return;
    // Doubling keeps a line read byte by byte linear in its length.
    int nNew = m_nCapacity < 16 ? 16 : m_nCapacity;
    while (nNew < nCapacity)
        nNew *= 2;
    char* pch = static_cast<char*>(std::realloc(m_pch, static_cast<size_t>(nNew) + 1));
    if (pch == nullptr)
        ::FatalAppExitA(0, "Out of memory.");
    m_pch = pch;
    m_nCapacity = nNew;
}

void CString::SetLength(int nLength)
{
    if (m_pch == nullptr && nLength == 0)
        return;
    Reserve(nLength);
    m_nLength = nLength;
    m_pch[nLength] = '\0';
}

void CString::Append(LPCSTR pch, int nLength)
{
    if (nLength <= 0)
        return;
    // The text may come from this very string, whose buffer may move.
    bool bOwn = m_pch != nullptr && pch >= m_pch && pch <= m_pch + m_nCapacity;
    ptrdiff_t nOffset = bOwn ? pch - m_pch : 0;
    int nOld = m_nLength;
    Reserve(nOld + nLength);
    if (bOwn)
        pch = m_pch + nOffset;
    std::memmove(m_pch + nOld, pch, static_cast<size_t>(nLength));
    SetLength(nOld + nLength);
}

CString& CString::operator+=(const CString& str)
{
    Append(str.m_pch, str.m_nLength);
    return *this;
}

CString& CString::operator+=(LPCSTR psz)
{
    if (psz != nullptr)
        Append(psz, static_cast<int>(std::strlen(psz)));
    return *this;
}

CString& CString::operator+=(char ch)
{
    Append(&ch, 1);
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, LPCSTR b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCSTR a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

bool operator==(const CString& a, const CString& b)
{
    return a.m_nLength == b.m_nLength &&
           (a.m_nLength == 0 || std::memcmp(a.m_pch, b.m_pch, static_cast<size_t>(a.m_nLength)) == 0);
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > m_nLength)
        nCount = m_nLength;
    return Mid(m_nLength - nCount, nCount);
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, m_nLength);
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > m_nLength)
        nFirst = m_nLength;
    if (nCount < 0)
        nCount = 0;
    if (nCount > m_nLength - nFirst)
        nCount = m_nLength - nFirst;
    return CString(m_pch + nFirst, nCount);
}

static bool IsSpace(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

CString& CString::TrimLeft()
{
    int n = 0;
    while (n < m_nLength && IsSpace(m_pch[n]))
        ++n;
    if (n > 0)
    {
        std::memmove(m_pch, m_pch + n, static_cast<size_t>(m_nLength - n));
        SetLength(m_nLength - n);
    }
    return *this;
}

CString& CString::TrimRight()
{
    int n = m_nLength;
    while (n > 0 && IsSpace(m_pch[n - 1]))
        --n;
    SetLength(n);
    return *this;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int nLength = _vscprintf(pszFormat, args);
    va_end(args);
    if (nLength <= 0)
    {
        // An empty string has no buffer to write the text and its NUL into.
        Empty();
        return;
    }
    CString result;
    result.SetLength(nLength);
    va_start(args, pszFormat);
    _vsnprintf(result.m_pch, static_cast<size_t>(nLength) + 1, pszFormat, args);
    va_end(args);
    result.m_pch[nLength] = '\0';
    *this = static_cast<CString&&>(result);
}

BOOL CString::LoadString(UINT nID)
{
    // A string table entry lives in block nID / 16 + 1 as a counted UTF-16 string; it is
    // converted to the ANSI code page here so that texts of any length come through whole.
    HINSTANCE hInstance = AfxGetInstanceHandle();
    HRSRC hResource = ::FindResourceA(hInstance, MAKEINTRESOURCEA(nID / 16 + 1), MAKEINTRESOURCEA(6));
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(hInstance, hResource) : nullptr;
    const WCHAR* p = hData != nullptr ? static_cast<const WCHAR*>(::LockResource(hData)) : nullptr;
    Empty();
    if (p == nullptr)
        return FALSE;
    for (UINT i = 0; i < (nID & 15); ++i)
        p += 1 + *p;
    int nChars = *p;
    if (nChars == 0)
        return FALSE;
    int nBytes = ::WideCharToMultiByte(CP_ACP, 0, p + 1, nChars, nullptr, 0, nullptr, nullptr);
    SetLength(nBytes);
    ::WideCharToMultiByte(CP_ACP, 0, p + 1, nChars, m_pch, nBytes, nullptr, nullptr);
    return TRUE;
}

CString CString::LastChar() const
{
    int nStart = -1;
    for (int i = 0; i < m_nLength; ++i)
    {
        nStart = i;
        if (::IsDBCSLeadByte(static_cast<BYTE>(m_pch[i])) && i + 1 < m_nLength)
            ++i;
    }
    return nStart < 0 ? CString() : Mid(nStart);
}

LPSTR CString::GetBuffer(int nMinLength)
{
    if (nMinLength > m_nLength)
    {
        int nOld = m_nLength;
        SetLength(nMinLength);
        std::memset(m_pch + nOld, 0, static_cast<size_t>(nMinLength - nOld));
    }
    else if (m_pch == nullptr)
    {
        Reserve(0 + 1);
        m_pch[0] = '\0';
    }
    return m_pch;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (m_pch == nullptr)
        return;
    if (nNewLength < 0)
        nNewLength = static_cast<int>(strnlen(m_pch, static_cast<size_t>(m_nLength)));
    if (nNewLength > m_nLength)
        nNewLength = m_nLength;
    SetLength(nNewLength);
}
