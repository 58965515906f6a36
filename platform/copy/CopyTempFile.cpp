#include "platform/copy/CopyTempFile.h"

#include "platform/copy/CopyPath.h"
#include "platform/copy/FileRun.h"

#include <atomic>
#include <cstddef>
#include <cstring>

namespace {

// SetFileInformationByHandle (Windows Vista and later) renames and dates the open file in
// one call each, where by name it takes an open, a call and a close; Windows XP lacks it.
enum { kFileBasicInfo = 0, kFileRenameInfo = 3 };
struct FileBasicInfo
{
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime;
    DWORD FileAttributes;
};
struct FileRenameInfo
{
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    DWORD FileNameLength;
    WCHAR FileName[1];
};
typedef BOOL(WINAPI* PFN_SETFILEINFORMATIONBYHANDLE)(HANDLE, int, LPVOID, DWORD);

// Looked up once at start-up (a function's static would need a thread-safe guard, which
// would bring in a threads library calling what Windows XP lacks).
const PFN_SETFILEINFORMATIONBYHANDLE g_pfnSetFileInformationByHandle = reinterpret_cast<PFN_SETFILEINFORMATIONBYHANDLE>(
    reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));

PFN_SETFILEINFORMATIONBYHANDLE SetFileInformationByHandleFunction()
{
    return g_pfnSetFileInformationByHandle;
}

const DWORD kBlockingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD LastError()
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : ERROR_GEN_FAILURE;
}

// Numbers the temporary files of the whole program, from a place of its own: a second copy
// into the same folder starts elsewhere than the first and seldom meets its names.
std::atomic<unsigned> g_nNextTemp{ ::GetCurrentProcessId() * 40503u + ::GetTickCount() };

// Runs a move onto strDest; a read-only, hidden or system file there is replaced all the
// same, and keeps its attributes if even that fails.
template <class Move>
DWORD ReplaceAllowingAttributes(const CString& strDest, Move move)
{
    DWORD dwError = move();
    if (dwError != ERROR_ACCESS_DENIED)
        return dwError;
    DWORD dwOld = ::GetFileAttributesA(strDest);
    if (dwOld == INVALID_FILE_ATTRIBUTES || (dwOld & FILE_ATTRIBUTE_DIRECTORY) != 0
        || (dwOld & kBlockingAttributes) == 0 || !::SetFileAttributesA(strDest, FILE_ATTRIBUTE_NORMAL))
        return dwError;
    dwError = move();
    if (dwError != 0)
        ::SetFileAttributesA(strDest, dwOld);
    return dwError;
}

// The NT form of a full path ("\??\C:\x", "\??\UNC\server\share\x"), which the rename
// by handle takes.
bool NtPath(const CString& strPath, WCHAR* pszBuffer, int cchBuffer, int& cchPath)
{
    bool bUnc = strPath.GetLength() > 2 && strPath.GetAt(0) == '\\' && strPath.GetAt(1) == '\\';
    const WCHAR* pszPrefix = bUnc ? L"\\??\\UNC\\" : L"\\??\\";
    int cchPrefix = ::lstrlenW(pszPrefix);
    ::lstrcpyW(pszBuffer, pszPrefix);
    LPCSTR pszRest = static_cast<LPCSTR>(strPath) + (bUnc ? 2 : 0);
    int n = ::MultiByteToWideChar(CP_ACP, 0, pszRest, -1, pszBuffer + cchPrefix, cchBuffer - cchPrefix);
    cchPath = cchPrefix + n - 1;
    return n > 0;
}

}  // namespace

CString CCopyTempFile::NextName()
{
    CString strName;
    strName.Format("~vm%04X.tmp", g_nNextTemp.fetch_add(1, std::memory_order_relaxed) & 0xFFFF);
    return strName;
}

DWORD CCopyTempFile::Create(const CString& strDest, bool bInPlace, const CString& strTempFolder)
{
    Discard();
    m_strDest = strDest;
    const CString strFolder = strTempFolder.IsEmpty() ? CCopyPath::ParentOf(strDest) : strTempFolder;
    DWORD dwError = ERROR_FILE_EXISTS;
    for (int nAttempt = 0; nAttempt < 100 && dwError == ERROR_FILE_EXISTS; ++nAttempt)
    {
        m_strPath = bInPlace ? strDest : CCopyPath::Join(strFolder, NextName());
        m_hFile = ::CreateFileA(m_strPath, GENERIC_WRITE | (bInPlace ? 0 : DELETE), 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        // In place, a file that an earlier try could not remove is written afresh, but
        // never through a link, nor a hard link's other name.
        if (m_hFile == INVALID_HANDLE_VALUE && bInPlace && ::GetLastError() == ERROR_FILE_EXISTS)
            m_hFile = OpenOwnFileAfresh(strDest);
        if (m_hFile != INVALID_HANDLE_VALUE)
            return 0;
        dwError = LastError();
        if (dwError == ERROR_ALREADY_EXISTS)
            dwError = ERROR_FILE_EXISTS;
        if (bInPlace)
            break;
    }
    m_strPath.Empty();
    return dwError;
}

HANDLE CCopyTempFile::OpenOwnFileAfresh(const CString& strPath)
{
    HANDLE h = ::CreateFileA(strPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (h != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks == 1
        && (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 && ::SetEndOfFile(h))
        return h;
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

DWORD CCopyTempFile::Commit(const FILETIME ftTimes[3], DWORD dwAttributes)
{
    DWORD dwError = ERROR_NOT_SUPPORTED;
    if (SetFileInformationByHandleFunction() != nullptr)
        dwError = CommitByHandle(ftTimes, dwAttributes);
    // Some network file systems take no rename by handle.
    if (dwError == ERROR_NOT_SUPPORTED || dwError == ERROR_INVALID_PARAMETER || dwError == ERROR_INVALID_FUNCTION)
        dwError = CommitByName(ftTimes, dwAttributes);
    if (dwError == 0)
        m_strPath.Empty();
    return dwError;
}

DWORD CCopyTempFile::CommitByHandle(const FILETIME ftTimes[3], DWORD dwAttributes)
{
    PFN_SETFILEINFORMATIONBYHANDLE pfnSetInfo = SetFileInformationByHandleFunction();
    FileBasicInfo basic = {};
    LARGE_INTEGER* times[3] = { &basic.CreationTime, &basic.LastAccessTime, &basic.LastWriteTime };
    for (int i = 0; i < 3; ++i)
    {
        times[i]->LowPart = ftTimes[i].dwLowDateTime;
        times[i]->HighPart = static_cast<LONG>(ftTimes[i].dwHighDateTime);
    }
    // A new file has the archive attribute already: 0 leaves the attributes alone.
    basic.FileAttributes = dwAttributes == FILE_ATTRIBUTE_ARCHIVE ? 0 : dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL;
    // Times and attributes are kept where the file system allows; a refusal does not
    // spoil the copy.
    pfnSetInfo(m_hFile, kFileBasicInfo, &basic, sizeof(basic));

    DWORD dwError = m_strPath == m_strDest ? 0 : RenameByHandle();
    if (dwError == 0)
    {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    return dwError;
}

DWORD CCopyTempFile::RenameByHandle()
{
    return ReplaceAllowingAttributes(m_strDest, [&] { return RenameHandle(m_hFile, m_strDest, true); });
}

DWORD CCopyTempFile::RenameHandle(HANDLE hFile, const CString& strDest, bool bReplace)
{
    if (SetFileInformationByHandleFunction() == nullptr)
        return ERROR_NOT_SUPPORTED;
    const int cchMax = MAX_PATH + 16;
    union
    {
        FileRenameInfo info;
        BYTE bytes[offsetof(FileRenameInfo, FileName) + cchMax * sizeof(WCHAR)];
    } rename = {};
    int cchName = 0;
    if (!NtPath(strDest, rename.info.FileName, cchMax, cchName))
        return ERROR_NOT_SUPPORTED;
    rename.info.ReplaceIfExists = bReplace ? TRUE : FALSE;
    rename.info.FileNameLength = static_cast<DWORD>(cchName) * sizeof(WCHAR);
    return SetFileInformationByHandleFunction()(hFile, kFileRenameInfo, &rename, sizeof(rename)) ? 0 : LastError();
}

DWORD CCopyTempFile::MoveReplacing(const CString& strFrom, const CString& strDest)
{
    return ReplaceAllowingAttributes(strDest, [&] {
        return ::MoveFileExA(strFrom, strDest, MOVEFILE_REPLACE_EXISTING) ? 0 : LastError();
    });
}

DWORD CCopyTempFile::CommitByName(const FILETIME ftTimes[3], DWORD dwAttributes)
{
    const CString& strDest = m_strDest;
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        ::SetFileTime(m_hFile, &ftTimes[0], &ftTimes[1], &ftTimes[2]);
        BOOL bClosed = ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        if (!bClosed)
            return LastError();
    }
    DWORD dwError = m_strPath == strDest ? 0 : MoveReplacing(m_strPath, strDest);
    // A new file has the archive attribute: only other attributes need a call.
    if (dwError == 0 && dwAttributes != FILE_ATTRIBUTE_ARCHIVE)
        ::SetFileAttributesA(strDest, dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL);
    return dwError;
}

bool CCopyTempFile::Discard()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (m_strPath.IsEmpty())
        return true;
    DWORD dwError = CFileRun::WaitOutHolds([&] {
        if (::DeleteFileA(m_strPath) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return DWORD(0);
        DWORD dwDeleteError = LastError();
        return ::SetFileAttributesA(m_strPath, FILE_ATTRIBUTE_NORMAL) && ::DeleteFileA(m_strPath) ? 0 : dwDeleteError;
    });
    m_strPath.Empty();
    return dwError == 0;
}

bool CCopyTempFile::IsTempName(LPCSTR pszName)
{
    WCHAR szName[kNameLength + 2] = {};
    return ::lstrlenA(pszName) == kNameLength && ::MultiByteToWideChar(CP_ACP, 0, pszName, -1, szName, kNameLength + 1) > 0
        && IsTempName(szName);
}

bool CCopyTempFile::IsTempName(LPCWSTR pszName)
{
    if (::lstrlenW(pszName) != kNameLength || _wcsnicmp(pszName, L"~vm", 3) != 0 || _wcsnicmp(pszName + 7, L".tmp", 4) != 0)
        return false;
    for (int i = 3; i < 7; ++i)
    {
        WCHAR c = pszName[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f')))
            return false;
    }
    return true;
}
