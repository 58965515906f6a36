#include "dbinstall/DatabaseInstall.h"

#include <gtest/gtest.h>

#include <string>

TEST(DatabaseInstallTest, DestinationRootEndsInExactlyOneBackslash)
{
    ASSERT_EQ(932u, ::GetACP()) << "the tests run under LANG=ja_JP.UTF-8";
    struct Case { const char* folder; const char* root; } cases[] = {
        { "D:\\data", "D:\\data\\" },
        { "E:\\", "E:\\" },
        { "\\\\server\\share\\db", "\\\\server\\share\\db\\" },
        { "C:\\\x95\x5C", "C:\\\x95\x5C\\" },         // 表: its second byte is not a backslash
        { "C:\\\x95\x5C\\", "C:\\\x95\x5C\\" },
        { "C:\\a\\\x83\x5C", "C:\\a\\\x83\x5C\\" },   // ソ
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.root, MakeDestinationRoot(CString(c.folder))) << c.folder;
}

TEST(DatabaseInstallTest, CopyListsAreMultiStringsInCopyOrder)
{
    CString list = BuildCopyList(CString("D:\\data\\"));
    std::string bytes(static_cast<LPCSTR>(list), static_cast<size_t>(list.GetLength()));
    const char expected[] = "D:\\data\\landuse\0D:\\data\\terrain\0D:\\data\\1kmav_dem\0";
    EXPECT_EQ(std::string(expected, sizeof(expected)), bytes);
    // The string's own terminator follows as well, so the list ends in NUL NUL whichever
    // way it is read.
    EXPECT_EQ('\0', static_cast<LPCSTR>(list)[list.GetLength()]);

    CString fromRoot = BuildCopyList(CString("E:\\"));
    const char expectedRoot[] = "E:\\landuse\0E:\\terrain\0E:\\1kmav_dem\0";
    EXPECT_EQ(std::string(expectedRoot, sizeof(expectedRoot)),
              std::string(static_cast<LPCSTR>(fromRoot), static_cast<size_t>(fromRoot.GetLength())));
}

namespace {

std::string ReadDatabasePath(DWORD* pType = nullptr, DWORD* pSize = nullptr)
{
    char buffer[1024] = "";
    DWORD type = 0, size = sizeof(buffer);
    LONG r = ::RegGetValueA(HKEY_CURRENT_USER, DATABASE_PATH_KEY, DATABASE_PATH_VALUE, RRF_RT_ANY, &type, buffer, &size);
    if (pType != nullptr)
        *pType = type;
    if (pSize != nullptr)
        *pSize = size;
    return r == ERROR_SUCCESS ? std::string(buffer) : std::string("<none>");
}

}  // namespace

TEST(DatabaseInstallTest, RegistryRecordCreatesOrOverwrites)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
    ASSERT_EQ("<none>", ReadDatabasePath());

    // Missing key and parents: created.
    EXPECT_TRUE(RegisterDatabasePath("D:\\data\\"));
    DWORD type = 0, size = 0;
    EXPECT_EQ("D:\\data\\", ReadDatabasePath(&type, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(9u, size) << "length + 1 bytes";

    // An older value: overwritten.
    EXPECT_TRUE(RegisterDatabasePath("E:\\"));
    EXPECT_EQ("E:\\", ReadDatabasePath());

    ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
}
