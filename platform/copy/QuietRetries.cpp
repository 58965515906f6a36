#include "platform/copy/QuietRetries.h"

#include "platform/SystemError.h"
#include "platform/copy/CopyErrors.h"

#include <cstring>

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
    {
        // The engine's own sentence for a held file follows the path ("%s" is in use ...);
        // under Wine a held file is refused with access denied, so the error alone cannot tell.
        m_bGaveUpOnHeldFile = dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION
            || std::strstr(strText, CopyErrors::kInUse + 4) != nullptr;
        return CFileRun::recoverFail;
    }
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
