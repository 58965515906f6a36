// A folder held open by its handle, and the file work done relative to it, for folders
// that other users may write in (a destination under C:\ inherits "Authenticated Users:
// Modify"). Whatever is checked is worked on through the handle that was checked: a child
// is opened relative to its held folder by its name as the file system has it (UTF-16,
// never converted through the ANSI code page, whose "best fit" turns U+00A5 into '\'
// under code page 932), listed through the folder's own handle and deleted through its
// own. A link or junction is never entered: opened, it is the link itself, and deleting
// it deletes the link, never what it leads to. No path is built again after a check, so
// a name swapped for a link meanwhile steers nothing elsewhere.
//
// Wine opens what a Unix symbolic link leads to even when told not to, and deleting
// through such a handle deletes the target: a link to a folder, which its listing shows,
// is left alone there; a link to a file cannot be told from the file under Wine at all.
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

class CHeldFolder
{
public:
    // What a listing tells of a child; pszName is its true name, without a path.
    struct Child
    {
        LPCWSTR pszName;
        DWORD dwAttributes;
    };

    // The error for a link or junction where a folder or file of our own was expected.
    static constexpr DWORD kErrorLink = ERROR_CANT_ACCESS_FILE;

    CHeldFolder() = default;
    ~CHeldFolder() { Close(); }
    CHeldFolder(const CHeldFolder&) = delete;
    CHeldFolder& operator=(const CHeldFolder&) = delete;

    // Opens and holds the folder at a full path. A link or junction there is refused
    // (kErrorLink) unless bLinkAllowed: a folder that a person chose may be one. With
    // bDelete the hold may delete the folder (DeleteSelf). While held, no one else can
    // rename or delete the folder. 0, kErrorLink, ERROR_DIRECTORY (a file) or the
    // system's error.
    DWORD Open(const CString& strPath, bool bLinkAllowed, bool bDelete = false);

    // Opens and holds the folder pszName inside parent, relative to it; a link or
    // junction is refused (kErrorLink). pszName must be a plain name (IsPlainName).
    DWORD OpenChild(const CHeldFolder& parent, LPCWSTR pszName, bool bDelete = false);

    bool IsOpen() const { return m_hFolder != INVALID_HANDLE_VALUE; }
    HANDLE GetHandle() const { return m_hFolder; }
    void Close();

    // Calls onChild(const Child&) for each child but "." and ".."; a call that returns
    // false ends the listing. 0 or the system's error.
    template <class OnChild>
    DWORD ForEachChild(OnChild onChild) const
    {
        return List([](void* pContext, const Child& child) { return (*static_cast<OnChild*>(pContext))(child); },
                    &onChild);
    }

    // Opens the plain file pszName inside this folder for reading; INVALID_HANDLE_VALUE
    // when it is missing, a folder, or a link. The caller closes the handle.
    HANDLE OpenChildFile(LPCWSTR pszName) const;

    // Deletes pszName inside this folder: a file, a link or junction (itself), or a
    // folder with all it holds, never entering a link or junction beneath. A read-only
    // file goes too, but a read-only file with more than one link (a hard link whose
    // other name may lie outside) only where the system can delete it without clearing
    // the attribute, shared by every name of the file. 0 or the first error (what could
    // go is gone); ERROR_FILE_NOT_FOUND when nothing is there.
    DWORD RemoveChild(LPCWSTR pszName) const;

    // Deletes everything this folder holds, as RemoveChild does, and pszLast (when given)
    // after all else. 0 or the first error.
    DWORD RemoveContents(LPCWSTR pszLast = nullptr) const;

    // Deletes this folder through its hold (opened with bDelete), when it is empty, and
    // lets it go. 0 or the system's error (ERROR_DIR_NOT_EMPTY).
    DWORD DeleteSelf();

    // Deletes the file or empty folder at a relative path beneath this folder
    // ("terrain\a\b.dat"): each folder on the way is opened relative to the one before,
    // and a link or junction on the way is refused (kErrorLink). A folder that is not
    // empty stays (ERROR_DIR_NOT_EMPTY). ERROR_INVALID_NAME for "..", ".", an empty part
    // or a stream name; ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when already gone.
    DWORD DeleteBelow(const CString& strRelPath) const;
    // The same with the path in UTF-16, for names kept as the file system has them.
    DWORD DeleteBelow(LPCWSTR pszRelPath) const;

    // A name that opens a child and nothing else: not empty, not "." or "..", no '\',
    // '/' or ':'.
    static bool IsPlainName(LPCWSTR pszName);

private:
    typedef bool (*PFN_ONCHILD)(void* pContext, const Child& child);
    DWORD List(PFN_ONCHILD pfnOnChild, void* pContext) const;
    // Opens pszName inside this folder without following a link; INVALID_HANDLE_VALUE
    // and the error in dwError otherwise.
    HANDLE OpenRelative(LPCWSTR pszName, ACCESS_MASK access, ULONG nShare, ULONG nOptions, DWORD& dwError) const;
    // The attributes that a listing of this folder gives pszName; INVALID_FILE_ATTRIBUTES
    // when it is not found.
    DWORD ListedAttributes(LPCWSTR pszName) const;
    DWORD RemoveOpened(HANDLE hChild, bool bListedAsLink, int nDepth) const;
    DWORD RemoveChildAt(LPCWSTR pszName, DWORD dwListed, int nDepth) const;
    DWORD RemoveContentsAt(LPCWSTR pszLast, int nDepth) const;
    DWORD DeleteEmptyChild(LPCWSTR pszName) const;
    DWORD DeleteBelowParts(LPWSTR pszPath) const;

    HANDLE m_hFolder = INVALID_HANDLE_VALUE;
};
