#include "StdioFile.h"

BOOL CStdioFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, void*)
{
    Close();
    DWORD dwShare = 0;
    switch (nOpenFlags & 0x70)
    {
    case shareDenyWrite:
        dwShare = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        dwShare = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:  // compatibility mode and shareExclusive: no sharing
        break;
    }
    m_hFile = ::CreateFileA(lpszFileName, GENERIC_READ, dwShare, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    m_nBuffered = m_nPos = 0;
    m_bEnd = false;
    return m_hFile != INVALID_HANDLE_VALUE;
}

void CStdioFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

int CStdioFile::NextByte()
{
    if (m_bEnd)
        return -1;
    if (m_nPos == m_nBuffered)
    {
        DWORD nRead = 0;
        if (!::ReadFile(m_hFile, m_buffer, sizeof(m_buffer), &nRead, nullptr) || nRead == 0)
        {
            m_bEnd = true;
            return -1;
        }
        m_nBuffered = nRead;
        m_nPos = 0;
    }
    unsigned char ch = static_cast<unsigned char>(m_buffer[m_nPos++]);
    if (ch == 0x1A)
    {
        m_bEnd = true;
        return -1;
    }
    return ch;
}

BOOL CStdioFile::ReadString(CString& rString)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    int ch = NextByte();
    if (ch < 0)
        return FALSE;
    CString strLine;
    for (; ch >= 0 && ch != '\n'; ch = NextByte())
        strLine += static_cast<char>(ch);
    int nLength = strLine.GetLength();
    if (ch == '\n' && nLength > 0 && strLine.GetAt(nLength - 1) == '\r')
        strLine = strLine.Left(nLength - 1);
    rString = static_cast<CString&&>(strLine);
    return TRUE;
}
