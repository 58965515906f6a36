// The install record around one installation: what the media holds and which folders the
// installation makes is found before the copy; the record is written after it succeeded,
// whole or not at all (a temporary file that then takes the record's name), so that the
// earlier record stays in place until then.
#pragma once

#include "dbinstall/InstallRecord.h"
#include "platform/LogFile.h"

class CInstallRecorder
{
public:
    // Before the copy: lists the media's data folders beside the launcher, notes which of
    // their folders the destination lacks, and reads the record an earlier installation left
    // there (a damaged one is logged and taken as none).
    void Prepare(const CString& strLauncherDir, const CString& strRoot, const CString& strEdition, CLogFile& log);

    // After the copy succeeded: removes what the earlier record names and the media lacks
    // (its files, then its folders left empty; never anything else), then writes the
    // record, which names the media's files, the folders made now or recorded before, and
    // whatever of the earlier record stayed. 0, or the error of the failed write (logged).
    DWORD Commit(CLogFile& log);

    const CInstallRecord& GetRecord() const { return m_record; }

private:
    void Scan(LPWSTR pszMedia, LPWSTR pszDest, const CString& strRelative);

    CString m_strRoot;
    CInstallRecord m_record;
    CInstallRecord m_earlier;
    bool m_bFailedScan = false;
};

// Reads the record in the root. 0 with the record; ERROR_FILE_NOT_FOUND when there is none;
// ERROR_INVALID_DATA with the reason in strWhy when it is damaged; or the error of the read.
DWORD ReadInstallRecord(const CString& strRoot, CInstallRecord& record, CString& strWhy);

// Writes the record into the root whole or not at all: a temporary file of our own naming,
// then takes the record's name. 0 or the system's error.
DWORD WriteInstallRecord(const CString& strRoot, const CInstallRecord& record);
