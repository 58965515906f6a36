// The install record: what an installation put into its destination root, so that a later
// removal or upgrade takes away exactly that and never a file of the user's. A text file in
// the root (INSTALL_RECORD_NAME), UTF-8 so that it reads the same under any code page, CR LF:
//
//   VORMEL installation record 1
//   edition<TAB>2027.1
//   root<TAB>made            ("found" when the root was there before the first installation)
//   folder<TAB>terrain\5339  (a folder the installations made)
//   file<TAB>1234<TAB>terrain\5339\G04-d-5339.csv   (a file and its size in bytes)
//   end<TAB>2                (the count of folder and file lines: a cut-short record lacks it)
//
// A user can edit the file, so it is input like any other: Parse refuses the whole record
// when any line is out of form or names anything but a path inside the database's folders.
#pragma once

#include "platform/SimpleArray.h"
#include "platform/String.h"

#define INSTALL_RECORD_NAME "VORMELInstallRecord.txt"

struct CRecordedItem
{
    CString strPath;     // below the root, parted by '\', UTF-8
    ULONGLONG ullSize;   // a file's bytes; 0 for a folder
    bool bFolder;
};

class CInstallRecord
{
public:
    CInstallRecord() = default;
    CInstallRecord(const CInstallRecord&) = delete;
    CInstallRecord& operator=(const CInstallRecord&) = delete;

    CString m_strEdition;
    bool m_bRootMade = false;
    CSimpleArray<CRecordedItem> m_items;   // read here; added through Add, which indexes them

    void Add(const CString& strPath, ULONGLONG ullSize, bool bFolder);
    // The index of the item with this path (letters compared without case), or -1; through
    // a hash table, since a reinstall looks up each of thousands of paths in another record.
    int Find(const CString& strPath) const;
    void RemoveAll();
    ULONGLONG GetTotalBytes() const;

    CString Format() const;
    // Reads the record's bytes; false, with the reason in strWhy and nothing kept, when any
    // part of it is out of form.
    bool Parse(LPCSTR pch, int cb, CString& strWhy);

private:
    void Index(int nItem);

    CSimpleArray<int> m_slots;   // item index + 1 per slot, 0 for an empty one
};

// Whether a recorded path names a file or folder inside one of the database's folders of
// the root: relative, parted by '\', every part a plain name (no "." or "..", no ':' of a
// drive or a stream, no '/', wildcard or control character, no trailing dot or blank, no
// device name such as NUL or COM1), valid UTF-8, the first part one of the data folders.
bool IsRecordablePath(const CString& strPath);

// A UTF-16 name in the given code page: CP_UTF8 as the record keeps it, CP_ACP as the log
// and boxes show it.
CString NarrowText(LPCWSTR pszWide, UINT nCodePage);
