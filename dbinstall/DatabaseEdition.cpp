#include "dbinstall/DatabaseEdition.h"

#include "launcher/InstallList.h"
#include "platform/ModuleVersion.h"
#include "platform/StdioFile.h"

#include <cstdlib>

bool IsEditionText(LPCSTR pszText)
{
    int nParts = 0;
    for (LPCSTR p = pszText;; ++p)
    {
        LPCSTR pszStart = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (p == pszStart || p - pszStart > 5 || std::strtoul(pszStart, nullptr, 10) > 65535 || ++nParts > 4)
            return false;
        if (*p == '\0')
            return true;
        if (*p != '.')
            return false;
    }
}

CString ReadMediaEdition(const CString& strLauncherDir)
{
    CStdioFile file;
    if (!file.Open(strLauncherDir + INSTALL_LIST_NAME, CStdioFile::modeRead | CStdioFile::typeText))
        return CString();
    CString strLine;
    for (int nLine = 0; nLine < 4; ++nLine)
    {
        if (!file.ReadString(strLine))
            return CString();
    }
    strLine.TrimLeft();
    strLine.TrimRight();
    return IsEditionText(strLine) ? strLine : CString();
}

CString DatabaseEdition(const CString& strLauncherDir, bool* pbFromMedia)
{
    CString strEdition = ReadMediaEdition(strLauncherDir);
    if (pbFromMedia != nullptr)
        *pbFromMedia = !strEdition.IsEmpty();
    return strEdition.IsEmpty() ? ModuleVersion(nullptr) : strEdition;
}
