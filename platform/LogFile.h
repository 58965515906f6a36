// A log for the help desk: UTF-8 with a byte-order mark and CR LF line ends, so that paths in
// the system's code page (Japanese among them) read right in Notepad anywhere. One line per
// call, the local time first; each line goes to the file at once, so a killed program
// leaves what it had said. Any thread may write.
#pragma once

#include "Afx.h"
#include "String.h"

class CLogFile
{
public:
    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Makes the file; with bNew only when no file of that name exists. Without it, an
    // existing file is replaced only when it is a plain file (no reparse point, one name)
    // that the running account owns, else GetRefusal says why: a log may be named where
    // other users can make files first. A link at the path is never followed. FALSE when
    // it cannot be written (GetLastError tells why).
    BOOL Create(LPCSTR pszPath, bool bNew);
    const CString& GetRefusal() const { return m_strRefusal; }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    const CString& GetPath() const { return m_strPath; }

    // One line in the system's code page; nothing when the log is not open.
    void Write(const CString& strLine);

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;
    CString m_strRefusal;
    CRITICAL_SECTION m_lock;
};
