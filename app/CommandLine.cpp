#include "app/CommandLine.h"

#include "platform/copy/CopyPath.h"

#include <cstring>

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

LPCSTR ExitCodeMeaning(int nExitCode, bool bRemoval)
{
    switch (nExitCode)
    {
    case exitInstalled: return bRemoval ? "removed" : "installed";
    case exitFileInUse: return "a file is in use: try again later";
    case exitDiskFull: return "not enough free space";
    case exitCancelled: return "cancelled";
    case exitFailed: return "failed";
    case exitNotInstalled: return "nothing of ours is installed there";
    case exitMediaUnreadable: return "the media cannot be read";
    case exitAlreadyRunning:
        return bRemoval ? "a removal of this installation is already running" : "a launcher of this media is already running";
    case exitLogUnwritable: return "the log file cannot be written";
    case exitBadCommandLine: return "the command line is not valid";
    default: return "unknown";
    }
}

LPCSTR CCommandLine::SkipProgramName(LPCSTR pszCommandLine)
{
    LPCSTR p = pszCommandLine != nullptr ? pszCommandLine : "";
    if (*p == '"')
    {
        for (++p; *p != '\0' && *p != '"'; ++p)
        {
        }
        if (*p == '"')
            ++p;
    }
    else
    {
        while (*p != '\0' && !IsBlank(*p))
            ++p;
    }
    while (IsBlank(*p))
        ++p;
    return p;
}

CCommandLine::Mode CCommandLine::SilentModeNamedIn(LPCSTR pszArguments)
{
    CString strUpper(pszArguments);
    ::CharUpperA(strUpper.GetBuffer(strUpper.GetLength()));
    strUpper.ReleaseBuffer(strUpper.GetLength());
    Mode mode = modeInteractive;
    for (LPCSTR p = std::strstr(strUpper, "SILENT"); p != nullptr; p = std::strstr(p + 1, "SILENT"))
    {
        int nAt = static_cast<int>(p - static_cast<LPCSTR>(strUpper));
        bool bVery = nAt >= 4 && std::strncmp(p - 4, "VERY", 4) == 0;
        int nLead = nAt - (bVery ? 5 : 1);
        if (nLead >= 0 && (strUpper.GetAt(nLead) == '/' || strUpper.GetAt(nLead) == '-'))
            mode = bVery ? modeVerySilent : mode == modeInteractive ? modeSilent : mode;
    }
    return mode;
}

bool CCommandLine::Parse(LPCSTR pszArguments)
{
    LPCSTR p = pszArguments != nullptr ? pszArguments : "";
    bool bQuoted = false;
    for (;;)
    {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0')
            break;
        CString strToken;
        for (; *p != '\0' && (bQuoted || !IsBlank(*p)); ++p)
        {
            if (*p == '"')
                bQuoted = !bQuoted;
            else
                strToken += *p;
        }
        if (bQuoted)
            Refuse("A quote is not closed: %s", CString(pszArguments));
        else
            Take(strToken);
    }
    if (IsSilent() && m_bHelp)
        Refuse("%s show the switches in a box, which a silent run never shows; they follow here.",
               CString("/? and /HELP"));
    else if (IsSilent() && !m_bDirGiven)
        Refuse("A silent run needs the destination folder: /DIR=\"%s\".", CString("folder"));
    else if (m_bUninstall && !m_bDirGiven)
        Refuse("A removal needs the folder of the installation: /DIR=\"%s\".", CString("folder"));
    else if ((IsSilent() || m_bUninstall) && !IsFullFolderPath(m_strDir))
        Refuse("/DIR=\"%s\" is not a full path (a drive or \\\\server\\share).", m_strDir);
    else if (!m_strUninstallerLink.IsEmpty() && !m_bUninstall)
        Refuse("Unknown switch \"%s\".", CString("/UNINSTALLCOPY"));
    else if (IsFullFolderPath(m_strDir) && CCopyPath::Canonicalize(m_strDir, m_strDir) != 0)
        Refuse("/DIR=\"%s\" is not a folder path that Windows can use.", m_strDir);
    if (!m_strError.IsEmpty() && m_mode == modeInteractive)
        m_mode = SilentModeNamedIn(pszArguments != nullptr ? pszArguments : "");
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

    if (Is("UNINSTALLCOPY"))
    {
        m_strUninstallerLink = strValue;
        return !strValue.IsEmpty() || Refuse("The switch \"%s\" needs a value.", strToken);
    }
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
    // Switches that packagers pass to every Inno Setup installer; none changes anything here.
    bool bValueIgnored = Is("RESTARTEXITCODE") || Is("LANG");
    bool bIgnored = bValueIgnored || Is("SP-") || Is("CURRENTUSER") || Is("NOICONS") || Is("NOCLOSEAPPLICATIONS")
        || Is("CLOSEAPPLICATIONS") || Is("NORESTARTAPPLICATIONS") || Is("RESTARTAPPLICATIONS")
        || Is("SUPPRESSMSGBOXES") || Is("NORESTART");
    bool bKnown = bIgnored || Is("UNINSTALL") || Is("SILENT") || Is("VERYSILENT") || Is("NOCANCEL") || Is("ALLUSERS") || Is("?")
        || Is("HELP");
    if (!bKnown)
        return Refuse("Unknown switch \"%s\".", strToken);
    if (bValueIgnored && strValue.IsEmpty())
        return Refuse("The switch \"%s\" needs a value.", strToken);
    if (bValue && !bValueIgnored)
        return Refuse("The switch \"%s\" takes no value.", strToken);
    if (bIgnored)
        m_strIgnored += " " + strToken;
    if (Is("VERYSILENT"))
        m_mode = modeVerySilent;
    else if (Is("SILENT") && m_mode == modeInteractive)
        m_mode = modeSilent;
    else if (Is("NOCANCEL"))
        m_bNoCancel = true;
    else if (Is("ALLUSERS"))
        m_bAllUsers = true;
    else if (Is("UNINSTALL"))
        m_bUninstall = true;
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
           "/LOG[=\"file\"]: a log (else %TEMP%\\VORMELSetup-*.log;\n"
           "    a folder\\: a new VORMELSetup-*.log there)\n"
           "/NOCANCEL: no Cancel in the progress window\n"
           "/ALLUSERS: the folder for every user of the PC\n"
           "/UNINSTALL /DIR=\"folder\": removes the database installed\n"
           "    there (with /ALLUSERS when installed for every user)\n"
           "/SP-, /SUPPRESSMSGBOXES, /NORESTART, /LANG=x and Inno\n"
           "    Setup's other common switches: accepted, ignored\n"
           "\n"
           "Exit codes:\n"
           "0 installed (removed)\n"
           "1602 cancelled\n"
           "1603 failed (the log says why)\n"
           "32 a file is in use: try again later\n"
           "112 not enough free space\n"
           "1605 nothing of ours is installed there\n"
           "1612 the media cannot be read\n"
           "1618 a launcher of this media is already running\n"
           "1622 the log file cannot be written\n"
           "1639 the command line is not valid";
}
