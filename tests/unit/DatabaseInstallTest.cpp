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
