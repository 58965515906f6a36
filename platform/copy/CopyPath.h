// Path helpers of the copying engine (CopyWithProgress): multi-string lists, joining,
// parents and containment of ANSI paths. Paths may hold double-byte characters of the
// system code page, whose trail byte can be 0x5C: every scan for a backslash walks the
// string character by character (CharNextA), never byte by byte.
#pragma once

#include "platform/Afx.h"
#include "platform/SimpleArray.h"
#include "platform/String.h"

class CCopyPath
{
public:
    // The entries of a shell multi-string (each entry followed by NUL, the list closed
    // by one more NUL). An empty first entry ends the list at once.
    static CSimpleArray<CString> SplitMultiString(LPCSTR pszList);

    // A drive path ("C:\...") or a UNC path ("\\server\share..."); '/' counts as '\'.
    static bool IsFullPath(const CString& strPath);

    // The path made absolute and canonical by GetFullPathNameA (no "." or "..", '/' made
    // '\'), without a trailing backslash unless it is a drive root ("C:\").
    // 0 on success, else ERROR_FILENAME_EXCED_RANGE (206) when the result does not fit in
    // MAX_PATH, or the error of GetFullPathNameA.
    static DWORD Canonicalize(const CString& strPath, CString& strResult);

    // base + '\' + name, with no second backslash when base already ends in one.
    static CString Join(const CString& strBase, const CString& strName);

    // The last path component ("landuse" for "D:\data\landuse").
    static CString LastComponent(const CString& strPath);

    // The folder that holds the path ("D:\data" for "D:\data\x", "D:\" for "D:\x"), or
    // "" when the path is a root or has no separator.
    static CString ParentOf(const CString& strPath);

    // Whether a name found in a folder is "." or "..", which stand for folders, not entries.
    static bool IsDotEntry(LPCSTR pszName)
    {
        return pszName[0] == '.' && (pszName[1] == '\0' || (pszName[1] == '.' && pszName[2] == '\0'));
    }

    // Whether the last character, taken whole, is a backslash (or '/').
    static bool EndsWithSeparator(const CString& strPath);

    // Whether strInner names strOuter itself or lies beneath it. Both must be canonical
    // (see Canonicalize). Compared ordinally without case, as the file system does.
    static bool IsSameOrInside(const CString& strInner, const CString& strOuter);

    // The root of the volume that holds a full path: "D:\" or "\\server\share\"; "" when
    // the path is neither.
    static CString RootOf(const CString& strPath);

    // A path fits when it has fewer than MAX_PATH characters (bytes), leaving room for
    // the NUL: the limit of the ANSI file functions.
    static bool Fits(const CString& strPath) { return strPath.GetLength() < MAX_PATH; }

    // A folder path fits when it leaves room for a file name of 8.3 characters: fewer
    // than MAX_PATH - 12 bytes, the limit of CreateDirectoryA.
    static bool FitsFolder(const CString& strPath) { return strPath.GetLength() < MAX_PATH - 12; }

private:
    // Byte offset of the last '\' or '/' that is a whole character, or -1.
    static int FindLastSeparator(const CString& strPath);
};
