#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseInstall.h"

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
