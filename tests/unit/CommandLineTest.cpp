#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the launcher does with a line: "1639" when it refuses it, else the mode, the folder,
// the log and the flags.
std::string Outcome(const char* pszArguments)
{
    CCommandLine line;
    if (!line.Parse(pszArguments))
        return "1639";
    const char* modes[] = { "interactive", "silent", "verysilent" };
    std::string outcome = std::string(modes[line.GetMode()]) + "|" + static_cast<LPCSTR>(line.GetDir()) + "|";
    if (line.WantsLog())
        outcome += line.GetLogFile().IsEmpty() ? "temp" : static_cast<LPCSTR>(line.GetLogFile());
    outcome += line.CanCancel() ? "|" : "|nocancel";
    outcome += line.ForAllUsers() ? " allusers" : "";
    return outcome + (line.WantsHelp() ? " help" : "");
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
          "/NORESTART", "silent|C:\\Program Files\\VORMEL|C:\\a b.log|nocancel allusers" },
        { "/VerySilent\t/DIR=\\\\server\\share\\db", "verysilent|\\\\server\\share\\db|temp|" },
        { "/SILENT /VERYSILENT /DIR=\"D:\\\"", "verysilent|D:\\|temp|" },
        { "/LOG", "interactive||temp|" },
        { "/DIR=D:\\start /ALLUSERS", "interactive|D:\\start|| allusers" },
        { "/VERYSILENT /DIR=C:\\a /DIR=D:\\b", "verysilent|D:\\b|temp|" },   // winget appends its own
        { "/?", "interactive||| help" },
        { "-HELP /BOGUS", "1639" },
        { "/VERYSILENT", "1639" },
        { "/SILENT /DIR=data", "1639" },
        { "/SILENT /DIR=\\\\server", "1639" },
        { "/SILENT /DIR=\\\\?\\C:\\data", "1639" },
        { "/VERYSILENT /DIR=D:\\x /FOO", "1639" },
        { "/VERYSILENT /DIR=D:\\x extra", "1639" },
        { "/SILENT=1 /DIR=D:\\x", "1639" },
        { "/LOG=\"\"", "1639" },
        { "/DIR", "1639" },
        { "\"\"", "1639" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.outcome, Outcome(c.line)) << c.line;

    struct Skip { const char* commandLine; const char* arguments; } skips[] = {
        { "\"C:\\Program Files\\x\\VORMELSetup.exe\" /SILENT /DIR=D:\\", "/SILENT /DIR=D:\\" },
        { "VORMELSetup.exe   /LOG", "/LOG" },
        { "\"\\\\server\\share\\VORMELSetup.exe\"  ", "" },
    };
    for (const Skip& s : skips)
        EXPECT_STREQ(s.arguments, CCommandLine::SkipProgramName(s.commandLine)) << s.commandLine;
}
