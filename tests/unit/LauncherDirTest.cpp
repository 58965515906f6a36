#include "app/LauncherDir.h"

#include <gtest/gtest.h>

TEST(LauncherDirTest, CutsTheLengthOfNameDotExe)
{
    struct Case { const char* modulePath; const char* exeName; const char* dir; } cases[] = {
        { "D:\\Setup.exe", "Setup", "D:\\" },
        { "D:\\cd\\SETUP.EXE", "SETUP", "D:\\cd\\" },
        { "C:\\media\\VORMEL\\VORMELSetup.exe", "VORMELSetup", "C:\\media\\VORMEL\\" },
        { "\\\\server\\share\\VORMELSetup.exe", "VORMELSetup", "\\\\server\\share\\" },
        { "D:\\cd\\setup.com", "setup", "D:\\cd\\" },        // only the length counts
        { "Z:\\tmp\\\x95\x5C\\Setup.exe", "Setup", "Z:\\tmp\\\x95\x5C\\" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.dir, LauncherDirFromModulePath(c.modulePath, c.exeName)) << c.modulePath;
}
