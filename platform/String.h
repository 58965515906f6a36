// ANSI string counted in bytes; double-byte characters of the system code page are kept
// as their two bytes. The text may hold NUL bytes (the copy lists do); it is always
// followed by one more NUL, so it can be handed to Windows as it is.
#pragma once

#include "Afx.h"

class CString
{
public:
    CString() = default;
    CString(LPCSTR psz);
    CString(LPCSTR pch, int nLength);
    CString(const CString& str);
    CString(CString&& str) noexcept;
    ~CString();

    CString& operator=(const CString& str);
    CString& operator=(CString&& str) noexcept;
    CString& operator=(LPCSTR psz);

    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    void Empty();
    char GetAt(int nIndex) const { return m_pch[nIndex]; }
    operator LPCSTR() const { return m_pch != nullptr ? m_pch : ""; }

    CString& operator+=(const CString& str);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);
    void Append(LPCSTR pch, int nLength);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCSTR b);
    friend CString operator+(LPCSTR a, const CString& b);
    friend bool operator==(const CString& a, const CString& b);
    friend bool operator==(const CString& a, LPCSTR b) { return a == CString(b); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }

    // Byte counts clamp to the string, as the framework's do.
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

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
    void Reserve(int nCapacity);
    void SetLength(int nLength);

    char* m_pch = nullptr;
    int m_nLength = 0;
    int m_nCapacity = 0;  // bytes usable for text, the closing NUL not counted
};
