#include "platform/SystemError.h"

CString SystemErrorMessage(DWORD dwError)
{
    LPSTR pszText = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
                                   | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                               nullptr, dwError, 0, reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
    CString strText;
    if (n > 0 && pszText != nullptr)
        strText = CString(pszText, static_cast<int>(n));
    if (pszText != nullptr)
        ::LocalFree(pszText);
    strText.TrimRight();
    if (strText.IsEmpty())
        strText.Format("Error %lu.", static_cast<unsigned long>(dwError));
    return strText;
}

CString SystemErrorLine(LPCSTR pszWhat, DWORD dwError)
{
    CString strLine;
    strLine.Format("%s (error %lu: %s)", pszWhat, static_cast<unsigned long>(dwError),
                   static_cast<LPCSTR>(SystemErrorMessage(dwError)));
    return strLine;
}
