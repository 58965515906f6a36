#include "LogFile.h"

namespace {
const char kByteOrderMark[] = "\xEF\xBB\xBF";
}

CLogFile::CLogFile()
{
    ::InitializeCriticalSection(&m_lock);
}

CLogFile::~CLogFile()
{
    if (IsOpen())
        ::CloseHandle(m_hFile);
    ::DeleteCriticalSection(&m_lock);
}

BOOL CLogFile::Create(LPCSTR pszPath, bool bNew)
{
    m_hFile = ::CreateFileA(pszPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, bNew ? CREATE_NEW : CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!IsOpen())
        return FALSE;
    m_strPath = pszPath;
    DWORD dwWritten = 0;
    return ::WriteFile(m_hFile, kByteOrderMark, 3, &dwWritten, nullptr) && dwWritten == 3;
}

void CLogFile::Write(const CString& strLine)
{
    if (!IsOpen())
        return;
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    CString strText;
    strText.Format("%04u-%02u-%02u %02u:%02u:%02u.%03u  %s\r\n", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond, st.wMilliseconds, static_cast<LPCSTR>(strLine));
    int nWide = ::MultiByteToWideChar(CP_ACP, 0, strText, strText.GetLength(), nullptr, 0);
    WCHAR* pszWide = new WCHAR[nWide > 0 ? nWide : 1];
    ::MultiByteToWideChar(CP_ACP, 0, strText, strText.GetLength(), pszWide, nWide);
    int nBytes = ::WideCharToMultiByte(CP_UTF8, 0, pszWide, nWide, nullptr, 0, nullptr, nullptr);
    CString strUtf8;
    ::WideCharToMultiByte(CP_UTF8, 0, pszWide, nWide, strUtf8.GetBuffer(nBytes), nBytes, nullptr, nullptr);
    strUtf8.ReleaseBuffer(nBytes);
    delete[] pszWide;
    ::EnterCriticalSection(&m_lock);
    DWORD dwWritten = 0;
    ::WriteFile(m_hFile, static_cast<LPCSTR>(strUtf8), static_cast<DWORD>(strUtf8.GetLength()), &dwWritten, nullptr);
    ::LeaveCriticalSection(&m_lock);
}
