#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the launcher does with a line: "1639" and whether it may show a box when it refuses
// it, else the mode, the folder, the log, the flags and the switches it ignores.
std::string Outcome(const char* pszArguments)
{
    CCommandLine line;
    const char* modes[] = { "interactive", "silent", "verysilent" };
    if (!line.Parse(pszArguments))
        return line.IsSilent() ? "1639" : "1639 box";
    std::string outcome = std::string(modes[line.GetMode()]) + "|" + static_cast<LPCSTR>(line.GetDir()) + "|";
    if (line.WantsLog())
        outcome += line.GetLogFile().IsEmpty() ? "temp" : static_cast<LPCSTR>(line.GetLogFile());
    outcome += line.CanCancel() ? "|" : "|nocancel";
    outcome += line.ForAllUsers() ? " allusers" : "";
    outcome += line.IsUninstall() ? " uninstall" : "";
    outcome += line.GetUninstallerLink().IsEmpty() ? "" : " from " + std::string(static_cast<LPCSTR>(line.GetUninstallerLink()));
    return outcome + (line.WantsHelp() ? " help" : "") + static_cast<LPCSTR>(line.GetIgnored());
}

}  // namespace

// A deployment tool's line that is misread installs into the wrong folder, asks questions
// nobody sees, or ends 0 without installing; one that is refused must say 1639.
TEST(CommandLineTest, SwitchesGiveTheModeFolderAndLogOrAreRefused)
{
    struct Case { const char* line; const char* outcome; } cases[] = {
        { "", "interactive|||" },
        { "/VERYSILENT /DIR=\"D:\\my data\"", "verysilent|D:\\my data|temp|" },
        { "-silent -dir=D:\\data /Log", "silent|D:\\data|temp|" },
        { "/SILENT \"/DIR=C:\\Program Files\\VORMEL\" /LOG=\"C:\\a b.log\" /NOCANCEL /ALLUSERS /SUPPRESSMSGBOXES "
          "/NORESTART", "silent|C:\\Program Files\\VORMEL|C:\\a b.log|nocancel allusers /SUPPRESSMSGBOXES /NORESTART" },
        { "/SP- /CURRENTUSER /NOICONS /NOCLOSEAPPLICATIONS /CLOSEAPPLICATIONS /NORESTARTAPPLICATIONS /VERYSILENT "
          "/RESTARTAPPLICATIONS /RESTARTEXITCODE=3010 /LANG=japanese /DIR=D:\\x", "verysilent|D:\\x|temp| /SP- "
          "/CURRENTUSER /NOICONS /NOCLOSEAPPLICATIONS /CLOSEAPPLICATIONS /NORESTARTAPPLICATIONS /RESTARTAPPLICATIONS "
          "/RESTARTEXITCODE=3010 /LANG=japanese" },
        // PowerShell's quoting of a folder ending in a backslash; trailing dots, "..": one folder.
        { "/VERYSILENT /DIR=\"D:\\data\\\\\"", "verysilent|D:\\data|temp|" },
        { "/VERYSILENT /DIR=C:\\data4.", "verysilent|C:\\data4|temp|" },
        { "/SILENT \"/DIR=D:\\a\\..\\b. .\"", "silent|D:\\b|temp|" },
        { "/VerySilent\t/DIR=\\\\server\\share\\db", "verysilent|\\\\server\\share\\db|temp|" },
        { "/SILENT /VERYSILENT /DIR=\"D:\\\"", "verysilent|D:\\|temp|" },
        { "/LOG", "interactive||temp|" },
        { "/DIR=D:\\start /ALLUSERS", "interactive|D:\\start|| allusers" },
        { "/VERYSILENT /DIR=C:\\a /DIR=D:\\b", "verysilent|D:\\b|temp|" },   // winget appends its own
        { "/?", "interactive||| help" },
        { "-HELP /BOGUS", "1639 box" },
        { "/VERYSILENT", "1639" },
        { "/VERYSILENT /DIR=D:\\x /?", "1639" },           // no box: the help goes to the log
        { "/DIR=\"C:\\x /VERYSILENT", "1639" },             // a quote left open
        { "/BOGUS \"-silent", "1639" },
        { "/LOG=\"C:\\a b.log", "1639 box" },
        { "/SILENT /DIR=D:\\x /LANG", "1639" },
        { "/SP-=1", "1639 box" },
        { "/SILENT /DIR=data", "1639" },
        { "/SILENT /DIR=\\\\server", "1639" },
        { "/SILENT /DIR=\\\\?\\C:\\data", "1639" },
        { "/VERYSILENT /DIR=D:\\x /FOO", "1639" },
        { "/VERYSILENT /DIR=D:\\x extra", "1639" },
        { "/SILENT=1 /DIR=D:\\x", "1639" },
        { "/LOG=\"\"", "1639 box" },
        { "/DIR", "1639 box" },
        { "\"\"", "1639 box" },
        { "/UNINSTALL /DIR=\"D:\\x y\\\" /ALLUSERS", "interactive|D:\\x y|| allusers uninstall" },
        { "/uninstall /DIR=D:\\x /VERYSILENT /UNINSTALLCOPY=\"12,34,C:\\a b\\u.exe\"",
          "verysilent|D:\\x|temp| uninstall from 12,34,C:\\a b\\u.exe" },
        { "/UNINSTALL", "1639 box" },                    // the folder is what says which installation
        { "/UNINSTALL /DIR=x", "1639 box" },
        { "/VERYSILENT /DIR=D:\\x /UNINSTALLCOPY=1,2,u.exe", "1639" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.outcome, Outcome(c.line)) << c.line;

    struct Skip { const char* commandLine; const char* arguments; } skips[] = {
        { "\"C:\\Program Files\\x\\VORMELSetup.exe\" /SILENT /DIR=D:\\", "/SILENT /DIR=D:\\" },
        { "VORMELSetup.exe   /LOG", "/LOG" },
        { "\"\\\\server\\share\\VORMELSetup.exe\"  ", "" },
        { "\"C:\\x y\\VORMELSetup.exe\"/VERYSILENT /DIR=D:\\", "/VERYSILENT /DIR=D:\\" },
    };
    for (const Skip& s : skips)
        EXPECT_STREQ(s.arguments, CCommandLine::SkipProgramName(s.commandLine)) << s.commandLine;
}
