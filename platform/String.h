// ANSI string counted in bytes; double-byte characters of the system code page are kept
// as their two bytes. Only what the program uses is here.
#pragma once

#include "Afx.h"
#include <string>

class CString
{
public:
    CString() = default;
    CString(LPCSTR psz) : m_str(psz != nullptr ? psz : "") {}
    CString(LPCSTR pch, int nLength) : m_str(pch, static_cast<size_t>(nLength)) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int nIndex) const { return m_str[static_cast<size_t>(nIndex)]; }
    operator LPCSTR() const { return m_str.c_str(); }

    CString& operator=(LPCSTR psz);
    CString& operator+=(const CString& str);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCSTR b);
    friend CString operator+(LPCSTR a, const CString& b);
    friend bool operator==(const CString& a, LPCSTR b) { return a.m_str == (b != nullptr ? b : ""); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }

    // Byte counts clamp to the string, as the framework's do.
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int nFirst) const;

    // White space in the sense of isspace: space, tab, LF, VT, FF, CR.
    CString& TrimLeft();
    CString& TrimRight();

    void Format(LPCSTR pszFormat, ...);
    BOOL LoadString(UINT nID);

    // The last character taken whole: one byte, or both bytes of a double-byte character
    // of the system code page (so a trail byte 0x5C is never mistaken for a backslash).
    CString LastChar() const;

    // Direct writing: GetBuffer makes room for at least nMinLength bytes plus the NUL;
    // ReleaseBuffer(-1) takes the length from the first NUL.
    LPSTR GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};
