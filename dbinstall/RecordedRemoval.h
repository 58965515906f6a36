// Removal of what an install record names, and of nothing else: each recorded file, then
// each recorded folder that is left empty, deepest first. Every deletion goes through the
// destination root held open and the folders on the way opened relative to it by their
// true names (CHeldFolder), so a link or junction that a user put in their place is
// never entered, and a folder is deleted only when it is empty: a file of the user's own
// keeps its folders.
#pragma once

#include "dbinstall/InstallRecord.h"
#include "platform/LogFile.h"

class CHeldFolder;

struct CRemovalCounts
{
    int nFilesRemoved = 0;
    int nFoldersRemoved = 0;
    int nFilesStayed = 0;   // recorded files that are still there: in use, or refused
};

// Removes from the root the files and folders of record that pExcept (when given) does not
// name. A file or folder already gone counts as removed; a folder that still holds
// something stays without an error. Each file that stays is logged with its error. 0, or the
// error of the first file that stayed (or of holding the root).
DWORD RemoveRecordedItems(const CString& strRoot, const CInstallRecord& record, const CInstallRecord* pExcept,
                          CLogFile& log, CRemovalCounts& counts);

// Whether a deletion's result means the file or folder is not there any more.
bool IsGone(DWORD dwError);

// A recorded path (UTF-8) as the system's code page shows it, for the log and boxes.
CString RecordedPathText(const CString& strPath);

// Deletes, through the held root, each recorded folder that pExcept does not name and that
// is empty, deepest first; adds those that still stand to pStayed (when given). The count
// of folders gone.
int RemoveRecordedFolders(const CHeldFolder& root, const CInstallRecord& record, const CInstallRecord* pExcept,
                          CInstallRecord* pStayed);
