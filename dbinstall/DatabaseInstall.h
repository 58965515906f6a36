// The pieces of the database installation that do not need a window: where the data goes,
// the copy lists, and the record of the destination in the user's registry.
#pragma once

#include "platform/String.h"

// The folders of the terrain and land-use database beside the launcher, in copy order.
extern const char* const g_rgszDatabaseFolders[3];

#define DATABASE_PATH_KEY "SOFTWARE\\BRANTIK\\VORMEL\\reri\\Path"
#define DATABASE_PATH_VALUE "reriPath"

// The chosen folder with a backslash appended, unless its last character, taken whole, is
// one already (so a double-byte character whose second byte is 0x5C gets its backslash).
CString MakeDestinationRoot(const CString& strFolder);

// root + each database folder, each entry followed by a NUL and the whole closed by one
// more NUL: the multi-string form the copy takes.
CString BuildCopyList(const CString& strRoot);

// Writes the destination root as "reriPath" under the product's key of the current user,
// creating the key and its parents when missing. FALSE when the value could not be set.
BOOL RegisterDatabasePath(LPCSTR pszDestinationRoot);
