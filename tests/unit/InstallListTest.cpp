#include "launcher/InstallList.h"

#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

// The mode and the installer read from these bytes beside a launcher in D:\, or why not.
std::string ReadList(const std::string& bytes)
{
    support::TempTree dir("list");
    dir.Write("InstallList.txt", bytes);
    int nMode = 0;
    CString strInstaller;
    if (!ReadInstallListFile((dir / "InstallList.txt").c_str(), CString("D:\\"), nMode, strInstaller))
        return "not opened";
    return std::to_string(nMode) + " " + static_cast<LPCSTR>(strInstaller);
}

}  // namespace

// The mode line picks the screen as atoi reads it: a misread one shows the wrong screen.
TEST(InstallListTest, ModeLineIsReadAsAtoiDoes)
{
    struct Case { std::string firstLine; int mode; } cases[] = {
        { "1", 1 }, { "   1", 1 }, { "\t1", 1 }, { "01", 1 }, { "+1", 1 },
        { "1 ", 1 }, { "1x", 1 }, { "1.5", 1 }, { "1\r", 1 },
        { "2", 2 }, { "0", 0 }, { "10", 10 }, { "12", 12 }, { "-1", -1 },
        { "database", 0 }, { "", 0 }, { "\xEF\xBB\xBF" "1", 0 }, { "x1", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::to_string(c.mode) + " D:\\setup.exe", ReadList(c.firstLine + "\nsecond\nsetup.exe\n")) << c.firstLine;
}

// Line ends, blanks and missing lines decide which installer the product button starts.
TEST(InstallListTest, ThirdLineNamesTheInstallerBesideTheLauncher)
{
    struct Case { std::string bytes; int mode; std::string installer; } cases[] = {
        { "0\r\nVORMEL\r\n  setup\\install.exe \t\r\n", 0, "D:\\setup\\install.exe" },
        { "0\nVORMEL\nsetup.exe", 0, "D:\\setup.exe" },               // no line end at the end
        { "0\nVORMEL\n \t \n", 0, "" },                                // blanks only
        { "0\nVORMEL\n", 0, "" },                                      // two lines
        { "0\nVORMEL", 0, "" },
        { "1", 1, "" },                                                // one line, no line end
        { "", 0, "" },                                                 // empty file
        { "0\nVORMEL\nC:\\x.exe\n", 0, "D:\\C:\\x.exe" },              // taken as relative all the same
        { "0\n\nsetup.exe\nfourth.exe\n", 0, "D:\\setup.exe" },        // an empty line 2 still counts
        { "0\nVORMEL\n\x95\x5C\\setup.exe\n", 0, "D:\\\x95\x5C\\setup.exe" },
        { "1\nDB\ninstaller.exe\n", 1, "D:\\installer.exe" },          // read whatever the mode
        { "0\nVORMEL\x1A\nsetup.exe\n", 0, "" },                       // Ctrl-Z ends the text
        { "0\nVORMEL\na\rb.exe\r\n", 0, "D:\\a\rb.exe" },                // a lone CR is a character
        { "0\nVORMEL\n" + std::string(3000, 'x') + "\n", 0, "D:\\" + std::string(3000, 'x') },  // no length limit
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::to_string(c.mode) + " " + c.installer, ReadList(c.bytes)) << testing::PrintToString(c.bytes);
}

// A list that cannot be opened is reported, and the defaults stand.
TEST(InstallListTest, MissingListIsReportedAndChangesNothing)
{
    support::TempTree dir("nolist");
    int nMode = 7;
    CString strInstaller("unchanged");
    EXPECT_FALSE(ReadInstallListFile((dir / "InstallList.txt").c_str(), CString("D:\\"), nMode, strInstaller));
    EXPECT_EQ(7, nMode);
    EXPECT_STREQ("unchanged", strInstaller);
}
