#include "app/LauncherDir.h"

#include <gtest/gtest.h>

#include <string>

// A wrong launcher folder loses the install list and the data beside the exe, also when
// the launcher is started from a share or through the long-path prefix.
TEST(LauncherDirTest, CutsTheLengthOfNameDotExe)
{
    struct Case { std::string modulePath, exeName, dir; } cases[] = {
        { "D:\\Setup.exe", "Setup", "D:\\" },
        { "D:\\cd\\SETUP.EXE", "SETUP", "D:\\cd\\" },
        { "C:\\media\\VORMEL\\VORMELSetup.exe", "VORMELSetup", "C:\\media\\VORMEL\\" },
        { "\\\\server\\share\\VORMELSetup.exe", "VORMELSetup", "\\\\server\\share\\" },
        { "D:\\cd\\setup.com", "setup", "D:\\cd\\" },        // only the length counts
        { "UNC\\server\\share\\dvd\\VORMELSetup.exe", "VORMELSetup", "\\\\server\\share\\dvd\\" },  // Wine
        { "\\\\?\\UNC\\server\\share\\VORMELSetup.exe", "VORMELSetup", "\\\\server\\share\\" },
        { "\\\\?\\C:\\media\\Setup.exe", "Setup", "C:\\media\\" },
        // Other device forms stay whole: cut short they would be relative paths.
        { "\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\dvd\\Setup.exe", "Setup",
          "\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\dvd\\" },
        { "\\\\?\\GLOBALROOT\\Device\\CdRom0\\Setup.exe", "Setup", "\\\\?\\GLOBALROOT\\Device\\CdRom0\\" },
        { "Z:\\tmp\\\x95\x5C\\Setup.exe", "Setup", "Z:\\tmp\\\x95\x5C\\" },
        { "C:\\" + std::string(300, 'd') + "\\Setup.exe", "Setup", "C:\\" + std::string(300, 'd') + "\\" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.dir.c_str(), LauncherDirFromModulePath(c.modulePath.c_str(), c.exeName.c_str())) << c.modulePath;
}
