// A text file read line by line, with the rules of text-mode reading: a line ends at LF,
// a CR right before the LF is dropped while any other CR is kept, Ctrl-Z ends the text,
// the last line needs no line end, and lines may be of any length.
#pragma once

#include "String.h"

class CStdioFile
{
public:
    enum OpenFlags
    {
        modeRead = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        typeText = 0x4000,
    };

    CStdioFile() = default;
    ~CStdioFile() { Close(); }
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // Opens for reading only. Without share bits nobody else may have the file open, nor
    // open it while it is open here. The last parameter stands for the framework's
    // exception object and must be null: failures are reported by the result alone.
    BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, void* pError = nullptr);

    // The next line without its line end; FALSE only at the end of the text.
    BOOL ReadString(CString& rString);

    void Close();

private:
    // The next byte of the text, or -1 at its end (end of file, a read error or Ctrl-Z).
    int NextByte();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    char m_buffer[64 * 1024];
    DWORD m_nBuffered = 0;
    DWORD m_nPos = 0;
    bool m_bEnd = false;
};
