#include "app/CommandLine.h"

#include "platform/copy/CopyPath.h"

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

bool IsSlash(char ch)
{
    return ch == '\\' || ch == '/';
}

// A drive path ("D:\data") or a share with at least its server and share ("\\server\share"),
// not the device or long-path forms ("\\.\", "\\?\").
bool IsFullFolderPath(const CString& strPath)
{
    if (!CCopyPath::IsFullPath(strPath))
        return false;
    if (!IsSlash(strPath.GetAt(0)))
        return true;
    LPCSTR pszServer = static_cast<LPCSTR>(strPath) + 2;
    if ((pszServer[0] == '?' || pszServer[0] == '.') && IsSlash(pszServer[1]))
        return false;
    LPCSTR p = pszServer;
    while (*p != '\0' && !IsSlash(*p))
        p = ::CharNextA(p);
    return *p != '\0' && p[1] != '\0' && !IsSlash(p[1]);
}

}  // namespace

LPCSTR ExitCodeMeaning(int nExitCode)
{
    switch (nExitCode)
    {
    case exitInstalled: return "installed";
    case exitDiskFull: return "not enough free space";
    case exitCancelled: return "cancelled";
    case exitFailed: return "failed";
    case exitMediaUnreadable: return "the media cannot be read";
    case exitAlreadyRunning: return "a launcher of this media is already running";
    case exitLogUnwritable: return "the log file cannot be written";
    case exitBadCommandLine: return "the command line is not valid";
    default: return "unknown";
    }
}

LPCSTR CCommandLine::SkipProgramName(LPCSTR pszCommandLine)
{
    LPCSTR p = pszCommandLine != nullptr ? pszCommandLine : "";
    bool bQuoted = false;
    for (; *p != '\0' && (bQuoted || !IsBlank(*p)); ++p)
    {
        if (*p == '"')
            bQuoted = !bQuoted;
    }
    while (IsBlank(*p))
        ++p;
    return p;
}

bool CCommandLine::Parse(LPCSTR pszArguments)
{
    LPCSTR p = pszArguments != nullptr ? pszArguments : "";
    for (;;)
    {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0')
            break;
        CString strToken;
        bool bQuoted = false;
        for (; *p != '\0' && (bQuoted || !IsBlank(*p)); ++p)
        {
            if (*p == '"')
                bQuoted = !bQuoted;
            else
                strToken += *p;
        }
        Take(strToken);
    }
    if (IsSilent() && !m_bDirGiven)
        Refuse("A silent run needs the destination folder: /DIR=\"%s\".", CString("folder"));
    else if (IsSilent() && !IsFullFolderPath(m_strDir))
        Refuse("/DIR=\"%s\" is not a full path (a drive or \\\\server\\share).", m_strDir);
    return m_strError.IsEmpty();
}

bool CCommandLine::Refuse(LPCSTR pszFormat, const CString& strWhat)
{
    if (m_strError.IsEmpty())
        m_strError.Format(pszFormat, static_cast<LPCSTR>(strWhat));
    return false;
}

bool CCommandLine::Take(const CString& strToken)
{
    char chLead = strToken.IsEmpty() ? '\0' : strToken.GetAt(0);
    if (chLead != '/' && chLead != '-')
        return Refuse("\"%s\" is not a switch.", strToken);
    CString strName = strToken.Mid(1);
    CString strValue;
    bool bValue = false;
    for (int i = 0; i < strName.GetLength(); ++i)
    {
        if (strName.GetAt(i) == '=')
        {
            strValue = strName.Mid(i + 1);
            strName = strName.Left(i);
            bValue = true;
            break;
        }
    }
    auto Is = [&](LPCSTR pszName) { return ::lstrcmpiA(strName, pszName) == 0; };

    if (Is("DIR") || Is("LOG"))
    {
        if (bValue && strValue.IsEmpty())
            return Refuse("The switch \"%s\" has an empty value.", strToken);
        if (Is("LOG"))
        {
            m_bLog = true;
            m_strLogFile = strValue;
            return true;
        }
        if (!bValue)
            return Refuse("The switch \"%s\" needs a folder: /DIR=\"folder\".", strToken);
        m_strDir = strValue;
        m_bDirGiven = true;
        return true;
    }
    bool bKnown = Is("SILENT") || Is("VERYSILENT") || Is("NOCANCEL") || Is("ALLUSERS") || Is("SUPPRESSMSGBOXES")
        || Is("NORESTART") || Is("?") || Is("HELP");
    if (!bKnown)
        return Refuse("Unknown switch \"%s\".", strToken);
    if (bValue)
        return Refuse("The switch \"%s\" takes no value.", strToken);
    if (Is("VERYSILENT"))
        m_mode = modeVerySilent;
    else if (Is("SILENT") && m_mode == modeInteractive)
        m_mode = modeSilent;
    else if (Is("NOCANCEL"))
        m_bNoCancel = true;
    else if (Is("ALLUSERS"))
        m_bAllUsers = true;
    else if (Is("?") || Is("HELP"))
        m_bHelp = true;
    return true;
}

LPCSTR CCommandLine::HelpText()
{
    return "VORMELSetup.exe /VERYSILENT|/SILENT\n"
           "    /DIR=\"folder\" [/LOG[=\"file\"]]\n"
           "    [/NOCANCEL] [/ALLUSERS]\n"
           "\n"
           "/VERYSILENT: installs the database, no window, no box\n"
           "/SILENT: installs it with the progress window only\n"
           "/DIR=\"folder\": the destination, a full path\n"
           "/LOG[=\"file\"]: a log (else %TEMP%\\VORMELSetup-*.log)\n"
           "/NOCANCEL: no Cancel in the progress window\n"
           "/ALLUSERS: the folder for every user of the PC\n"
           "/SUPPRESSMSGBOXES, /NORESTART: accepted\n"
           "\n"
           "Exit codes:\n"
           "0 installed\n"
           "1602 cancelled\n"
           "1603 failed (the log says why)\n"
           "112 not enough free space\n"
           "1612 the media cannot be read\n"
           "1618 a launcher of this media is already running\n"
           "1622 the log file cannot be written\n"
           "1639 the command line is not valid";
}
