#include "String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CString& CString::operator=(LPCSTR psz)
{
    m_str.assign(psz != nullptr ? psz : "");
    return *this;
}

CString& CString::operator+=(const CString& str)
{
    m_str += str.m_str;
    return *this;
}

CString& CString::operator+=(LPCSTR psz)
{
    if (psz != nullptr)
        m_str += psz;
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_str += ch;
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

CString CString::Left(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_str.data(), nCount);
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_str.data() + GetLength() - nCount, nCount);
}

CString CString::Mid(int nFirst) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > GetLength())
        nFirst = GetLength();
    return CString(m_str.data() + nFirst, GetLength() - nFirst);
}

static bool IsSpace(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

CString& CString::TrimLeft()
{
    size_t n = 0;
    while (n < m_str.size() && IsSpace(m_str[n]))
        ++n;
    m_str.erase(0, n);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1]))
        --n;
    m_str.resize(n);
    return *this;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list argsCopy;
    va_copy(argsCopy, args);
    int nLength = vsnprintf(nullptr, 0, pszFormat, argsCopy);
    va_end(argsCopy);
    if (nLength < 0)
        nLength = 0;
    std::string result(static_cast<size_t>(nLength) + 1, '\0');
    vsnprintf(&result[0], result.size(), pszFormat, args);
    va_end(args);
    result.resize(static_cast<size_t>(nLength));
    m_str.swap(result);
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
    m_str.assign(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, p + 1, nChars, &m_str[0], nBytes, nullptr, nullptr);
    return TRUE;
}

CString CString::LastChar() const
{
    int nStart = -1;
    for (int i = 0; i < GetLength(); ++i)
    {
        nStart = i;
        if (::IsDBCSLeadByte(static_cast<BYTE>(m_str[static_cast<size_t>(i)])) && i + 1 < GetLength())
            ++i;
    }
    return nStart < 0 ? CString() : Mid(nStart);
}

LPSTR CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(strnlen(m_str.c_str(), m_str.size()));
    m_str.resize(static_cast<size_t>(nNewLength));
}
