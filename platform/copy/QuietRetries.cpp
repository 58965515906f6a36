#include "platform/copy/QuietRetries.h"

#include "platform/SystemError.h"

CFileRun::Recovery CQuietRetries::Answer(const CFileRun& run, const CString& strText, DWORD dwError)
{
    ULONGLONG ullDone = run.GetBytesDone();
    bool bSame = dwError == m_dwLastError && (strText == m_strLastText || ullDone == m_ullDoneAtLast);
    m_nTries = bSame ? m_nTries + 1 : 1;
    m_strLastText = strText;
    m_dwLastError = dwError;
    m_ullDoneAtLast = ullDone;
    m_log.Write(SystemErrorLine(strText, dwError));
    if (m_nTries > kRetries)
        return CFileRun::recoverFail;
    CString strLine;
    strLine.Format("Trying again (%d of %d) in %lu seconds.", m_nTries, kRetries,
                   static_cast<unsigned long>(kRetryMillis / 1000));
    m_log.Write(strLine);
    // The progress window's Cancel still ends the run meanwhile.
    for (DWORD dwStart = ::GetTickCount(); ::GetTickCount() - dwStart < kRetryMillis; ::Sleep(50))
    {
        if (run.IsCancelRequested())
            return CFileRun::recoverCancel;
    }
    return CFileRun::recoverRetry;
}
