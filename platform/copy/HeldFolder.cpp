#include "platform/copy/HeldFolder.h"

#include "platform/copy/NtFile.h"

#include <cstdlib>

namespace {

DWORD LastError()
{
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : ERROR_GEN_FAILURE;
}

bool IsDotName(LPCWSTR pszName)
{
    return pszName[0] == L'.' && (pszName[1] == L'\0' || (pszName[1] == L'.' && pszName[2] == L'\0'));
}

// A removal deeper than this is a tree made to exhaust the stack, not one of ours.
const int kDeepest = 128;

const ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Others may read and write in a held folder, but not rename or delete it.
const ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ACCESS_MASK kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool GetInfo(HANDLE h, BY_HANDLE_FILE_INFORMATION& info)
{
    return ::GetFileInformationByHandle(h, &info) != FALSE;
}

bool IsLink(DWORD dwAttributes)
{
    return (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Wine opens what a Unix symbolic link leads to even when told not to, and its handle
// shows no link: only a listing or an attribute query by name shows one (to a folder).
bool SeenAsLink(DWORD dwAttributes)
{
    return dwAttributes != INVALID_FILE_ATTRIBUTES && IsLink(dwAttributes);
}

bool IsPlainFolder(DWORD dwAttributes)
{
    return (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY;
}

// Marks the open file, link or folder for deletion when its last handle closes. A
// read-only file: where the system takes the flag, without touching the attribute (shared
// by every hard link of the file); else by clearing it, only when no other name shares it.
DWORD DeleteOpened(HANDLE h, const BY_HANDLE_FILE_INFORMATION& info)
{
    DWORD dwError = CNtFile::SetDeleteDisposition(h, false);
    if (dwError != ERROR_ACCESS_DENIED || (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0)
        return dwError;
    if (CNtFile::SetDeleteDisposition(h, true) == 0)
        return 0;
    if (info.nNumberOfLinks != 1 || CNtFile::SetAttributes(h, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) != 0)
        return dwError;
    dwError = CNtFile::SetDeleteDisposition(h, false);
    if (dwError != 0)
        CNtFile::SetAttributes(h, info.dwFileAttributes);
    return dwError;
}

}  // namespace

bool CHeldFolder::IsPlainName(LPCWSTR pszName)
{
    if (pszName == nullptr || pszName[0] == L'\0' || IsDotName(pszName))
        return false;
    for (LPCWSTR p = pszName; *p != L'\0'; ++p)
    {
        if (*p == L'\\' || *p == L'/' || *p == L':')
            return false;
    }
    return true;
}

void CHeldFolder::Close()
{
    if (m_hFolder != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFolder);
    m_hFolder = INVALID_HANDLE_VALUE;
}

DWORD CHeldFolder::Open(const CString& strPath, bool bLinkAllowed, bool bDelete)
{
    Close();
    WCHAR szPath[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, strPath, -1, szPath, MAX_PATH) == 0)
        return LastError();
    HANDLE h = ::CreateFileW(szPath, kFolderAccess | (bDelete ? DELETE : 0), kFolderShare, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | (bLinkAllowed ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    DWORD dwError = !GetInfo(h, info) ? LastError()
        : !bLinkAllowed && (IsLink(info.dwFileAttributes) || SeenAsLink(::GetFileAttributesW(szPath))) ? kErrorLink
        : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? ERROR_DIRECTORY : 0;
    if (dwError != 0)
        ::CloseHandle(h);
    else
        m_hFolder = h;
    return dwError;
}

HANDLE CHeldFolder::OpenRelative(LPCWSTR pszName, ACCESS_MASK access, ULONG nShare, ULONG nOptions, DWORD& dwError) const
{
    dwError = !IsOpen() ? ERROR_INVALID_HANDLE : !IsPlainName(pszName) ? ERROR_INVALID_NAME : 0;
    return dwError != 0 ? INVALID_HANDLE_VALUE : CNtFile::OpenRelative(m_hFolder, pszName, access, nShare, nOptions, dwError);
}

DWORD CHeldFolder::OpenChild(const CHeldFolder& parent, LPCWSTR pszName, bool bDelete)
{
    DWORD dwError = 0;
    HANDLE h = parent.OpenRelative(pszName, kFolderAccess | (bDelete ? DELETE : 0), kFolderShare, 0, dwError);
    if (h == INVALID_HANDLE_VALUE)
        return dwError;
    BY_HANDLE_FILE_INFORMATION info;
    dwError = !GetInfo(h, info) ? LastError()
        : IsLink(info.dwFileAttributes) || SeenAsLink(parent.ListedAttributes(pszName)) ? kErrorLink
        : !IsPlainFolder(info.dwFileAttributes) ? ERROR_DIRECTORY : 0;
    if (dwError != 0)
    {
        ::CloseHandle(h);
        return dwError;
    }
    Close();
    m_hFolder = h;
    return 0;
}

HANDLE CHeldFolder::OpenChildFile(LPCWSTR pszName) const
{
    DWORD dwError = 0;
    HANDLE h = OpenRelative(pszName, GENERIC_READ, FILE_SHARE_READ, CNtFile::optNotFolder, dwError);
    BY_HANDLE_FILE_INFORMATION info;
    if (h != INVALID_HANDLE_VALUE && (!GetInfo(h, info) || IsLink(info.dwFileAttributes)))
    {
        ::CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
    return h;
}

DWORD CHeldFolder::ListedAttributes(LPCWSTR pszName) const
{
    // This one name, listed through a second handle to the folder: a handle lists by the
    // first name it was asked for.
    DWORD dwError = 0;
    HANDLE hList = IsOpen() ? CNtFile::OpenRelative(m_hFolder, L"", kFolderAccess, kShareAll, CNtFile::optFolder, dwError)
                            : INVALID_HANDLE_VALUE;
    if (hList == INVALID_HANDLE_VALUE)
        return INVALID_FILE_ATTRIBUTES;
    union
    {
        CNtFile::Entry entry;
        BYTE bytes[sizeof(CNtFile::Entry) + MAX_PATH * sizeof(WCHAR)];
    } buffer;
    dwError = CNtFile::QueryDirectory(hList, &buffer, sizeof(buffer), pszName, true, true);
    ::CloseHandle(hList);
    return dwError == 0 ? buffer.entry.FileAttributes : INVALID_FILE_ATTRIBUTES;
}

DWORD CHeldFolder::List(PFN_ONCHILD pfnOnChild, void* pContext) const
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    const ULONG kBuffer = 16 * 1024;
    BYTE* pBuffer = static_cast<BYTE*>(std::malloc(kBuffer));
    if (pBuffer == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    WCHAR szName[MAX_PATH];
    DWORD dwError = 0;
    bool bGoOn = true;
    for (bool bRestart = true; bGoOn; bRestart = false)
    {
        dwError = CNtFile::QueryDirectory(m_hFolder, pBuffer, kBuffer, nullptr, false, bRestart);
        if (dwError != 0)
            break;
        for (ULONG nOffset = 0; bGoOn;)
        {
            const auto* pEntry = reinterpret_cast<const CNtFile::Entry*>(pBuffer + nOffset);
            ULONG cch = pEntry->FileNameLength / sizeof(WCHAR);
            // A name longer than any path the engine uses is none of ours: it is passed by.
            if (cch < MAX_PATH)
            {
                ::CopyMemory(szName, pEntry->FileName, cch * sizeof(WCHAR));
                szName[cch] = L'\0';
                if (!IsDotName(szName))
                    bGoOn = pfnOnChild(pContext, Child{ szName, pEntry->FileAttributes });
            }
            if (pEntry->NextEntryOffset == 0)
                break;
            nOffset += pEntry->NextEntryOffset;
        }
    }
    std::free(pBuffer);
    return dwError == ERROR_NO_MORE_FILES ? 0 : dwError;
}

DWORD CHeldFolder::RemoveChild(LPCWSTR pszName) const
{
    return IsPlainName(pszName) ? RemoveChildAt(pszName, ListedAttributes(pszName), 0) : ERROR_INVALID_NAME;
}

DWORD CHeldFolder::RemoveContents(LPCWSTR pszLast) const
{
    return RemoveContentsAt(pszLast, 0);
}

DWORD CHeldFolder::RemoveChildAt(LPCWSTR pszName, DWORD dwListed, int nDepth) const
{
    DWORD dwError = 0;
    HANDLE h = OpenRelative(pszName, kRemoveAccess | FILE_LIST_DIRECTORY, kShareAll, 0, dwError);
    // A file open for writing without read sharing still lets itself be deleted.
    if (h == INVALID_HANDLE_VALUE && dwError == ERROR_SHARING_VIOLATION)
        h = OpenRelative(pszName, kRemoveAccess, kShareAll, CNtFile::optNotFolder, dwError);
    if (h == INVALID_HANDLE_VALUE)
        return dwError;
    dwError = RemoveOpened(h, SeenAsLink(dwListed), nDepth);
    ::CloseHandle(h);
    return dwError;
}

DWORD CHeldFolder::RemoveOpened(HANDLE hChild, bool bListedAsLink, int nDepth) const
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetInfo(hChild, info))
        return LastError();
    // A link that the handle does not show as one (Wine) leads elsewhere: deleting
    // through that handle would delete what it leads to. It stays.
    if (bListedAsLink && !IsLink(info.dwFileAttributes))
        return kErrorLink;
    DWORD dwError = 0;
    if (IsPlainFolder(info.dwFileAttributes))
    {
        if (nDepth >= kDeepest)
            return ERROR_FILENAME_EXCED_RANGE;
        CHeldFolder folder;
        folder.m_hFolder = hChild;
        dwError = folder.RemoveContentsAt(nullptr, nDepth + 1);
        folder.m_hFolder = INVALID_HANDLE_VALUE;   // the caller's handle
    }
    DWORD dwDeleted = DeleteOpened(hChild, info);
    return dwError != 0 ? dwError : dwDeleted;
}

DWORD CHeldFolder::RemoveContentsAt(LPCWSTR pszLast, int nDepth) const
{
    // A listing may pass names by while they go: the folder is listed again while a pass
    // removes something and something stays.
    DWORD dwFirstError = 0;
    for (bool bRemoved = true; bRemoved;)
    {
        bRemoved = false;
        dwFirstError = 0;
        DWORD dwListed = ForEachChild([&](const Child& child) {
            if (pszLast != nullptr && ::lstrcmpiW(child.pszName, pszLast) == 0)
                return true;
            DWORD dwError = RemoveChildAt(child.pszName, child.dwAttributes, nDepth);
            if (dwError == 0)
                bRemoved = true;
            else if (dwError != ERROR_FILE_NOT_FOUND && dwFirstError == 0)
                dwFirstError = dwError;
            return true;
        });
        if (dwListed != 0)
            return dwListed;
        if (dwFirstError == 0)
            break;
    }
    if (dwFirstError != 0 || pszLast == nullptr)
        return dwFirstError;
    DWORD dwError = RemoveChildAt(pszLast, ListedAttributes(pszLast), nDepth);
    return dwError == ERROR_FILE_NOT_FOUND ? 0 : dwError;
}

DWORD CHeldFolder::DeleteSelf()
{
    BY_HANDLE_FILE_INFORMATION info;
    DWORD dwError = !IsOpen() ? ERROR_INVALID_HANDLE : GetInfo(m_hFolder, info) ? DeleteOpened(m_hFolder, info) : LastError();
    Close();
    return dwError;
}

DWORD CHeldFolder::DeleteEmptyChild(LPCWSTR pszName) const
{
    DWORD dwError = 0;
    HANDLE h = OpenRelative(pszName, kRemoveAccess, kShareAll, 0, dwError);
    if (h == INVALID_HANDLE_VALUE)
        return dwError;
    BY_HANDLE_FILE_INFORMATION info;
    dwError = !GetInfo(h, info) ? LastError()
        : !IsLink(info.dwFileAttributes) && SeenAsLink(ListedAttributes(pszName)) ? kErrorLink
        : DeleteOpened(h, info);
    ::CloseHandle(h);
    return dwError;
}

DWORD CHeldFolder::DeleteBelow(const CString& strRelPath) const
{
    WCHAR szPath[MAX_PATH];
    if (strRelPath.IsEmpty() || ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, strRelPath, -1, szPath, MAX_PATH) == 0)
        return ERROR_INVALID_NAME;
    return DeleteBelowParts(szPath);
}

DWORD CHeldFolder::DeleteBelow(LPCWSTR pszRelPath) const
{
    WCHAR szPath[MAX_PATH];
    if (pszRelPath == nullptr || pszRelPath[0] == L'\0' || ::lstrlenW(pszRelPath) >= MAX_PATH)
        return ERROR_INVALID_NAME;
    ::lstrcpyW(szPath, pszRelPath);
    return DeleteBelowParts(szPath);
}

DWORD CHeldFolder::DeleteBelowParts(LPWSTR pszPath) const
{
    // The first part ends at the first separator; the last part is deleted inside the
    // folder held before it.
    LPWSTR pszSeparator = pszPath;
    while (*pszSeparator != L'\0' && *pszSeparator != L'\\')
        ++pszSeparator;
    bool bLast = *pszSeparator == L'\0';
    *pszSeparator = L'\0';
    if (!IsPlainName(pszPath))
        return ERROR_INVALID_NAME;
    if (bLast)
        return DeleteEmptyChild(pszPath);
    CHeldFolder next;
    DWORD dwError = next.OpenChild(*this, pszPath);
    if (dwError != 0)
        return dwError == ERROR_FILE_NOT_FOUND ? DWORD(ERROR_PATH_NOT_FOUND) : dwError;
    return next.DeleteBelowParts(pszSeparator + 1);
}
