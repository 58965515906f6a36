#include "LogFile.h"

#include <aclapi.h>

namespace {
const char kByteOrderMark[] = "\xEF\xBB\xBF";

// Whether the SID is the running account's user or the default owner of what it makes (an
// elevated administrator's files belong to the Administrators group).
bool IsOwnSid(PSID pSid)
{
    HANDLE hToken = nullptr;
    if (pSid == nullptr || !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    union
    {
        TOKEN_USER user;
        TOKEN_OWNER owner;
        BYTE bytes[256];
    } info;
    DWORD cb = 0;
    bool bOwn = (::GetTokenInformation(hToken, TokenUser, &info, sizeof(info), &cb) && ::EqualSid(info.user.User.Sid, pSid))
        || (::GetTokenInformation(hToken, TokenOwner, &info, sizeof(info), &cb) && ::EqualSid(info.owner.Owner, pSid));
    ::CloseHandle(hToken);
    return bOwn;
}

// Why the open file may not be replaced, or "": checked on the handle that is then written
// through, so nothing can be swapped in between.
CString WhyNotOurs(HANDLE hFile)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(hFile, &info))
        return "its kind cannot be read";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "it is a link (a reparse point)";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return "it is a folder";
    if (info.nNumberOfLinks != 1)
        return "it has more than one name (a hard link)";
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    bool bOwn = ::GetSecurityInfo(hFile, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, nullptr, nullptr,
                                  nullptr, &pSecurity) == ERROR_SUCCESS
        && IsOwnSid(pOwner);
    ::LocalFree(pSecurity);
    return bOwn ? CString() : CString("it belongs to another account");
}

}  // namespace

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
    // A link at the path is opened as itself, never followed.
    const DWORD dwAccess = GENERIC_WRITE | READ_CONTROL;
    const DWORD dwFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    m_strRefusal.Empty();
    m_hFile = ::CreateFileA(pszPath, dwAccess, FILE_SHARE_READ, nullptr, CREATE_NEW, dwFlags, nullptr);
    if (!IsOpen() && !bNew && ::GetLastError() == ERROR_FILE_EXISTS)
    {
        m_hFile = ::CreateFileA(pszPath, dwAccess, FILE_SHARE_READ, nullptr, OPEN_EXISTING, dwFlags, nullptr);
        if (IsOpen())
            m_strRefusal = WhyNotOurs(m_hFile);
        if (IsOpen() && m_strRefusal.IsEmpty() && !::SetEndOfFile(m_hFile))
            m_strRefusal = "it cannot be emptied";
        if (!m_strRefusal.IsEmpty())
        {
            ::CloseHandle(m_hFile);
            m_hFile = INVALID_HANDLE_VALUE;
            ::SetLastError(ERROR_ACCESS_DENIED);
        }
    }
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
