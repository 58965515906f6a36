// The launcher started in a distribution folder of its own and worked from outside.
#include "Distribution.h"
#include "Process.h"
#include "Wait.h"
#include "Window.h"

#include "res/resource.h"

#include <gtest/gtest.h>

using namespace support;

// The screen, its buttons and the window's size follow the install list, wherever the
// launcher lies and whatever it is called.
TEST(LauncherTest, ScreenFollowsTheInstallListFromAnyFolder)
{
    const std::string kTable = "\x92\x6E\x90\x7D\x95\x5C";  // 地図表: ends in the byte 0x5C
    struct Case
    {
        const char* what;
        std::string list;
        bool bInstaller;
        const char* exeName;
        std::string subfolder;
        size_t nExePathLength;  // the subfolder padded so that the exe's path has this length
        bool bProductShown, bProductEnabled, bDatabaseShown;
    } cases[] = {
        { "database screen, even with an installer listed", "1\r\nDB\r\nInstaller\\VORMELInstall.exe\r\n", true, "VORMELSetup.exe", "", 0, false, false, true },
        { "program screen with its installer", "0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "mode 2 is the program screen", "2\nVORMEL\nInstaller\\VORMELInstall.exe\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "installer listed but missing", "0\nVORMEL\nInstaller\\VORMELInstall.exe\n", false, "VORMELSetup.exe", "", 0, true, false, false },
        { "installer path naming a folder", "0\nVORMEL\nInstaller\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "no installer line", "0\nVORMEL\n", true, "VORMELSetup.exe", "", 0, true, false, false },
        { "renamed exe", "1\nDB\n", false, "SETUP.EXE", "", 0, false, false, true },
        { "folder ending in 0x5C", "1\nDB\n", false, "VORMELSetup.exe", kTable, 0, false, false, true },
        { "exe path of 259 characters", "1\nDB\n", false, "VORMELSetup.exe", kTable, 259, false, false, true },
    };
    // The picture as the exe carries it: the window must show it whole, with no strip of
    // dialog face beside it.
    BITMAP picture = {};
    HMODULE hExe = ::LoadLibraryExA((BuildDir() + "\\VORMELSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ::GetObjectA(::LoadImageA(hExe, MAKEINTRESOURCEA(IDB_LAUNCHER_PICTURE), IMAGE_BITMAP, 0, 0, 0), sizeof(picture), &picture);
    ASSERT_GT(picture.bmWidth, 0) << "no picture in the exe";
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string subfolder = c.subfolder;
        if (c.nExePathLength != 0)
            subfolder += "\\" + std::string(c.nExePathLength - TempTree("dist").Path().size() - subfolder.size() - 2 - strlen(c.exeName), 'd');
        Distribution dist(c.exeName, subfolder);
        ASSERT_TRUE(c.nExePathLength == 0 || dist.exePath.size() == c.nExePathLength) << dist.exePath;
        dist.SetInstallList(c.list);
        if (c.bInstaller)
            dist.AddInstaller("Installer\\VORMELInstall.exe");
        Process launcher;
        HWND hMain = launcher.StartLauncher(dist.exePath, dist.tree.Path());
        ASSERT_NE(nullptr, hMain) << "no launcher window, or a message came first";

        EXPECT_EQ(c.bProductShown, ::IsWindowVisible(Item(hMain, IDC_INSTALL_PRODUCT)) != FALSE);
        EXPECT_EQ(c.bProductEnabled, ::IsWindowEnabled(Item(hMain, IDC_INSTALL_PRODUCT)) && c.bProductShown);
        EXPECT_EQ(c.bDatabaseShown, ::IsWindowVisible(Item(hMain, IDC_INSTALL_DATABASE)) != FALSE);
        EXPECT_TRUE(::IsWindowVisible(Item(hMain, IDC_EXIT)) && ::IsWindowEnabled(Item(hMain, IDC_EXIT)));
        EXPECT_EQ(1u, launcher.TopWindows().size()) << "nothing but the launcher came up";
        RECT rc;
        ::GetClientRect(hMain, &rc);
        EXPECT_NEAR(picture.bmWidth, rc.right, 1);
        EXPECT_NEAR(picture.bmHeight, rc.bottom, 1);
    }
}

// A missing list is said in Japanese (code page 932) before the window shows, and the
// program screen follows with nothing to start.
TEST(LauncherTest, MissingInstallListIsReportedFirst)
{
    Distribution dist;
    Process launcher;
    ASSERT_TRUE(launcher.Start(dist.exePath, dist.folder));
    ASSERT_TRUE(WaitUntil([&] { return !WindowsTitled(L"VORMELSetup").empty(); }));
    HWND hBox = WindowsTitled(L"VORMELSetup")[0];
    EXPECT_EQ(Wide(u8"ファイルが開けません。\n[") + Wide(dist.folder + "InstallList.txt") + L"]",
              WindowText(Item(hBox, 0xFFFF)));
    HWND hOwner = ::GetWindow(hBox, GW_OWNER);
    EXPECT_EQ(L"VORMEL setup luncher", WindowText(hOwner));
    EXPECT_FALSE(::IsWindowVisible(hOwner));

    Click(hBox, IDOK);
    HWND hMain = launcher.WaitMainWindow();
    ASSERT_EQ(hOwner, hMain);
    EXPECT_TRUE(::IsWindowVisible(Item(hMain, IDC_INSTALL_PRODUCT)));
    EXPECT_FALSE(::IsWindowEnabled(Item(hMain, IDC_INSTALL_PRODUCT)));
}

// Each press starts the installer and the launcher stays; an installer gone since the
// start is reported over the launcher.
TEST(LauncherTest, ProductButtonStartsTheInstallerOrSaysItFailed)
{
    Distribution dist;
    dist.SetInstallList("0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n");
    dist.AddInstaller("Installer\\VORMELInstall.exe");
    Process launcher;
    HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
    ASSERT_NE(nullptr, hMain);
    EXPECT_EQ(L"Install VORMEL", WindowText(Item(hMain, IDC_INSTALL_PRODUCT)));

    for (size_t nStarts = 1; nStarts <= 2; ++nStarts)
    {
        Click(hMain, IDC_INSTALL_PRODUCT);
        EXPECT_TRUE(WaitUntil([&] { return WindowsTitled(L"VORMEL Installer").size() == nStarts; }));
    }
    EXPECT_EQ("started", ReadBytes(dist.folder + "Installer\\installer-started.log").substr(0, 7));
    for (HWND hInstaller : WindowsTitled(L"VORMEL Installer"))
        Click(hInstaller, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return WindowsTitled(L"VORMEL Installer").empty(); }));
    EXPECT_FALSE(launcher.WaitExit(0));

    ASSERT_TRUE(WaitUntil([&] { return ::DeleteFileA((dist.folder + "Installer\\VORMELInstall.exe").c_str()) != FALSE; }));
    Click(hMain, IDC_INSTALL_PRODUCT);
    HWND hBox = launcher.WaitPopup(hMain, L"VORMELSetup");
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"The installation failed.", WindowText(Item(hBox, 0xFFFF)));
    EXPECT_FALSE(::IsWindowEnabled(hMain)) << "the box is modal over the launcher";
    Click(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hBox) && ::IsWindowEnabled(hMain); }));
    EXPECT_FALSE(launcher.WaitExit(0));
}

// Escape and Enter do not close the launcher; the About box opens modally over it from
// the system menu and closes with OK or Escape.
TEST(LauncherTest, KeysAreIgnoredAndTheAboutBoxIsModal)
{
    Distribution dist;
    dist.SetInstallList("1\nDB\n");
    Process launcher;
    HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
    ASSERT_NE(nullptr, hMain);

    for (UINT vkClose : { VK_RETURN, VK_ESCAPE })
    {
        PressKey(hMain, VK_ESCAPE);
        PressKey(hMain, VK_RETURN);
        // Posted messages are handled in order: once the About box is up, the keys were
        // handled before it, and did nothing.
        ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
        HWND hAbout = launcher.WaitPopup(hMain, L"About VORMELSetup");
        ASSERT_NE(nullptr, hAbout);
        EXPECT_FALSE(::IsWindowEnabled(hMain));
        EXPECT_EQ(2u, launcher.TopWindows().size());
        PressKey(hAbout, vkClose);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout) && ::IsWindowEnabled(hMain); }));
    }
    EXPECT_FALSE(launcher.WaitExit(0));
}

// Exit, the close command and Alt+F4 each end the program.
TEST(LauncherTest, ExitAndTheCloseCommandEndTheProgram)
{
    for (int nWay = 0; nWay < 3; ++nWay)
    {
        SCOPED_TRACE(nWay);
        Distribution dist;
        dist.SetInstallList("1\nDB\n");
        Process launcher;
        HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
        ASSERT_NE(nullptr, hMain);
        if (nWay == 0)
            Click(hMain, IDC_EXIT);
        else
            ::PostMessageW(hMain, nWay == 1 ? WM_CLOSE : WM_SYSCOMMAND, nWay == 1 ? 0 : SC_CLOSE, 0);
        EXPECT_TRUE(launcher.WaitExit());
    }
}
