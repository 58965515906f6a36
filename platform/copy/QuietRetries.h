// The answer of a run without a person at the PC (CFileRun::Answerer): where a person would
// be asked Retry or Cancel, the step is tried again by itself, kRetries times, kRetryMillis
// apart: a share or a disc may come back, a file in use may be closed. The same fault once
// more fails the run: the same error with the same text, or with no byte done since (the
// free space that a text names changes while others use the disk). Each fault and each
// retry goes to the log; a Cancel requested meanwhile (the progress window's) ends the wait.
// Used by any kind of file work: the copy, a removal.
#pragma once

#include "platform/LogFile.h"
#include "platform/copy/FileRun.h"

class CQuietRetries : public CFileRun::Answerer
{
public:
    static const int kRetries = 5;
    static const DWORD kRetryMillis = 2000;

    explicit CQuietRetries(CLogFile& log) : m_log(log) {}

    CFileRun::Recovery Answer(const CFileRun& run, const CString& strText, DWORD dwError) override;

    // Whether the run was failed on a file that another program kept open through every
    // retry: a deployment tool may try again later.
    bool GaveUpOnHeldFile() const { return m_bGaveUpOnHeldFile; }

private:
    CLogFile& m_log;
    CString m_strLastText;
    DWORD m_dwLastError = 0;
    ULONGLONG m_ullDoneAtLast = 0;
    int m_nTries = 0;
    bool m_bGaveUpOnHeldFile = false;
};
