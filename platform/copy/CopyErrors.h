// What the copying engine says about a step that failed: the sentence that names the file
// or folder and says what happened in plain words (the system's own text for the error
// follows it in a box or the log), and the error itself, never 0.
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

namespace CopyErrors {

extern const char kInUse[];
extern const char kCannotMakeFolder[];
extern const char kLinkInTheWay[];

// pszFormat with strPath in its one "%s".
CString Say(const char* pszFormat, const CString& strPath);

// The error of the last failed call, never 0: a failure must never read as success.
DWORD LastError(DWORD dwFallback = ERROR_GEN_FAILURE);

inline bool IsFolder(DWORD dwAttributes)
{
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A file held open by another program: a sharing violation, or, when bAccessDeniedCounts
// (its replacement is refused), access denied to a file that is not read-only (what Wine
// says of an open file).
bool IsInUse(DWORD dwError, const CString& strPath, bool bAccessDeniedCounts);

// Reading strSource failed: in use, a disc to clean, or a plain read error.
CString ReadErrorText(DWORD dwError, const CString& strSource);
// Writing the copy of strDest failed: in use, a full disk, or a plain write error.
CString WriteErrorText(DWORD dwError, const CString& strDest);
// Replacing strDest failed: in use, or a plain replace error.
CString ReplaceErrorText(DWORD dwError, const CString& strDest);

}  // namespace CopyErrors
