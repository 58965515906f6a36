// Path helpers of the copying engine (CopyWithProgress): multi-string lists, joining,
// parents and containment of ANSI paths. Paths may hold double-byte characters of the
// system code page, whose trail byte can be 0x5C: every scan for a backslash walks the
// string character by character (CharNextA), never byte by byte.
#pragma once

#include "platform/Afx.h"

#include <string>
#include <vector>

class CCopyPath
{
public:
    // The entries of a shell multi-string (each entry followed by NUL, the list closed
    // by one more NUL). An empty first entry ends the list at once.
    static std::vector<std::string> SplitMultiString(LPCSTR pszList);

    // A drive path ("C:\...") or a UNC path ("\\server\share..."); '/' counts as '\'.
    static bool IsFullPath(const std::string& strPath);

    // The path made absolute and canonical by GetFullPathNameA (no "." or "..", '/' made
    // '\'), without a trailing backslash unless it is a drive root ("C:\").
    // 0 on success, else ERROR_FILENAME_EXCED_RANGE (206) when the result does not fit in
    // MAX_PATH, or the error of GetFullPathNameA.
    static DWORD Canonicalize(const std::string& strPath, std::string& strResult);

    // base + '\' + name, with no second backslash when base already ends in one.
    static std::string Join(const std::string& strBase, const std::string& strName);

    // The last path component ("landuse" for "D:\data\landuse").
    static std::string LastComponent(const std::string& strPath);

    // The folder that holds the path ("D:\data" for "D:\data\x", "D:\" for "D:\x"), or
    // "" when the path is a root or has no separator.
    static std::string ParentOf(const std::string& strPath);

    // Whether the last character, taken whole, is a backslash (or '/').
    static bool EndsWithSeparator(const std::string& strPath);

    // Whether strInner names strOuter itself or lies beneath it. Both must be canonical
    // (see Canonicalize). Compared ordinally without case, as the file system does.
    static bool IsSameOrInside(const std::string& strInner, const std::string& strOuter);

    // A path fits when it has fewer than MAX_PATH characters (bytes), leaving room for
    // the NUL: the limit of the ANSI file functions.
    static bool Fits(const std::string& strPath) { return strPath.size() < MAX_PATH; }

private:
    // Byte offset of the last '\' or '/' that is a whole character, or npos.
    static size_t FindLastSeparator(const std::string& strPath);
};
