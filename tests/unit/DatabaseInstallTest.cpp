#include "dbinstall/DatabaseEdition.h"
#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/InstallRecord.h"
#include "dbinstall/UninstallRegistration.h"

#include <gtest/gtest.h>

// The destination root gets exactly one backslash, also after a double-byte character
// whose second byte is 0x5C: a wrong root puts the data, and the registered path, elsewhere.
TEST(DatabaseInstallTest, DestinationRootEndsInExactlyOneBackslash)
{
    ASSERT_EQ(932u, ::GetACP()) << "the tests run under LANG=ja_JP.UTF-8";
    struct Case { const char* folder; const char* root; } cases[] = {
        { "D:\\data", "D:\\data\\" },
        { "E:\\", "E:\\" },
        { "\\\\server\\share\\db", "\\\\server\\share\\db\\" },
        { "C:\\\x95\x5C", "C:\\\x95\x5C\\" },         // 表
        { "C:\\\x95\x5C\\", "C:\\\x95\x5C\\" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.root, MakeDestinationRoot(CString(c.folder))) << c.folder;
    // The removal's /DIR names the root without its backslash, but a drive's root whole.
    EXPECT_STREQ("\"U\" /UNINSTALL /DIR=\"E:\\\" /ALLUSERS", UninstallCommand("U", "E:\\", true));
    EXPECT_STREQ("\"U\" /UNINSTALL /DIR=\"\\\\s\\d\"", UninstallCommand("U", "\\\\s\\d\\", false));
}

// A record is input a user can edit: removal acts on nothing but a whole record whose every
// path lies inside the data folders; the edition must compare as a version.
TEST(DatabaseInstallTest, InstallRecordIsTakenOnlyWholeAndInsideTheDataFolders)
{
    const std::string head = "VORMEL installation record 1\r\nedition\t2027.1\r\nroot\tmade\r\n";
    const std::string good = head + "folder\tterrain\\5339\r\nfile\t7\tterrain\\5339\\\xE5\x9C\xB0.csv\r\nend\t2\r\n";
    struct Case { std::string bytes; bool ok; } cases[] = {
        { good, true },
        { head + "end\t0\r\n", true },
        { good.substr(0, good.size() - 2), false },                  // cut short
        { good.substr(0, good.rfind("end")), false },
        { head + "file\t7\tterrain\\a\r\nend\t2\r\n", false },       // a line missing
        { good + "file\t1\tterrain\\b\r\n", false },
        { "VORMEL installation record 2" + good.substr(28), false },
        { head + "file\t18446744073709551616\tterrain\\a\r\nend\t1\r\n", false },
        { head + "file\t-1\tterrain\\a\r\nend\t1\r\n", false },
        { head + "file\t1\tterrain\\a\r\nfile\t2\tTERRAIN\\A\r\nend\t2\r\n", false },
        { head + "link\tterrain\\a\r\nend\t1\r\n", false },
        { head + "file\t7\tterrain\\\xE5\x9C\r\nend\t1\r\n", false },  // not UTF-8
    };
    for (const Case& c : cases)
    {
        CInstallRecord record;
        CString strWhy;
        EXPECT_EQ(c.ok, record.Parse(c.bytes.data(), static_cast<int>(c.bytes.size()), strWhy)) << c.bytes;
        // Read back as written; nothing kept of a refused one.
        EXPECT_EQ(c.ok ? c.bytes : "VORMEL installation record 1\r\nedition\t\r\nroot\tfound\r\nend\t0\r\n", std::string(record.Format()));
    }
    for (const char* path : { "landuse", "1kmav_dem\\5339\\a.csv", "Terrain\\a b.csv" })
        EXPECT_TRUE(IsRecordablePath(path)) << path;
    for (const char* path : { "", "terrain\\..\\..\\x", "..\\terrain", "\\terrain\\a", "C:\\terrain", "terrain\\a:s",
                              "terrain\\a\\", "terrain\\\\a", "terrain/..", "terrain\\...", "terrain\\a.", "terrain\\a ",
                              "terrain\\nul.txt", "terrain\\COM1", "terrain\\a*", "terrain\\a\tb", "users\\a",
                              "\\\\server\\terrain", "terrain\\\xC0\xAF" })
        EXPECT_FALSE(IsRecordablePath(path)) << path;
    for (const char* edition : { "2027.1", "1.0.1.1", "0", "65535.1" })
        EXPECT_TRUE(IsEditionText(edition)) << edition;
    for (const char* edition : { "", "2027.", ".1", "1.2.3.4.5", "65536", "2027 .1", "v2027", "2027-1", "1..2" })
        EXPECT_FALSE(IsEditionText(edition)) << edition;
}

// Active Setup runs the StubPath again only for a higher Version, so it never goes back,
// also after a removal deleted the key or a clock set back; reg.exe must store the root as it
// is, not a quote of it.
TEST(DatabaseInstallTest, ActiveSetupVersionOnlyRisesAndStubPathQuotesTheRoot)
{
    SYSTEMTIME st = { 2026, 12, 2, 8, 3, 15, 12, 0 };
    struct Case { const char* old; const char* next; } cases[] = {
        { "", "2612,803,1512,0" },
        { "1,0,0,41", "2612,803,1512,0" },             // the counter of earlier launchers
        { "2612,803,1512,0", "2612,803,1512,1" },      // twice in one second
        { "2701,101,5,7", "2701,101,5,8" },            // the clock set back
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.next, NextActiveSetupVersion(c.old, st)) << c.old;
    const char kStub[] = "%SystemRoot%\\System32\\reg.exe add \"HKCU\\SOFTWARE\\BRANTIK\\VORMEL\\reri\\Path\" /v reriPath "
                         "/t REG_SZ /d \"";
    EXPECT_STREQ((kStub + std::string("D:\\data\\\\\" /f")).c_str(), ActiveSetupStubPath("D:\\data\\"));
    EXPECT_STREQ((kStub + std::string("C:\\\x95\x5C\\\\\" /f")).c_str(), ActiveSetupStubPath("C:\\\x95\x5C\\"));
    EXPECT_STREQ((kStub + std::string("D:\\\\\\\\\" /f")).c_str(), ActiveSetupStubPath("D:\\\\"));
}
