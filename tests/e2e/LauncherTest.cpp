// The launcher started in a distribution folder of its own and worked from outside.
#include "Driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

const DWORD kTimeout = 15000;

// The message boxes of the installer stand-ins, in whatever process they are.
std::vector<HWND> InstallerStandInBoxes()
{
    return WindowsTitled(L"VORMEL Installer");
}

int CountLines(const std::string& text)
{
    int n = 0;
    for (char ch : text)
        n += ch == '\n';
    return n;
}

struct RunningLauncher
{
    Distribution dist;
    Process process;
    HWND hMain = nullptr;

    explicit RunningLauncher(const std::string& installList, const std::string& exeName = "VORMELSetup.exe")
        : dist(exeName)
    {
        dist.SetInstallList(installList);
    }

    void Start()
    {
        ASSERT_TRUE(process.Start(dist.exePath, dist.folder));
        hMain = process.WaitMainWindow(kTimeout);
        ASSERT_NE(nullptr, hMain) << "the launcher window did not appear";
    }
};

}  // namespace

TEST(LauncherTest, ScreenFollowsTheInstallList)
{
    struct Case
    {
        const char* what;
        std::string list;
        bool withInstaller;
        bool productShown, productEnabled, databaseShown;
    } cases[] = {
        { "database screen, even with an installer listed", "1\r\nDB\r\nInstaller\\VORMELInstall.exe\r\n", true, false, false, true },
        { "program screen with the installer present", "0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n", true, true, true, false },
        { "mode 2 is the program screen", "2\nVORMEL\nInstaller\\VORMELInstall.exe\n", true, true, true, false },
        { "installer named but missing", "0\nVORMEL\nInstaller\\VORMELInstall.exe\n", false, true, false, false },
        { "installer path naming a folder", "0\nVORMEL\nInstaller\n", true, true, true, false },
        { "no installer line", "0\nVORMEL\n", true, true, false, false },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        RunningLauncher launcher(c.list);
        if (c.withInstaller)
            launcher.dist.AddInstallerStandIn("Installer\\VORMELInstall.exe");
        launcher.Start();
        HWND hMain = launcher.hMain;
        ASSERT_NE(nullptr, hMain);

        EXPECT_EQ(c.productShown, IsVisible(Item(hMain, IDC_INSTALL_PRODUCT)));
        if (c.productShown)
        {
            EXPECT_EQ(c.productEnabled, IsEnabled(Item(hMain, IDC_INSTALL_PRODUCT)));
        }
        EXPECT_EQ(c.databaseShown, IsVisible(Item(hMain, IDC_INSTALL_DATABASE)));
        if (c.databaseShown)
        {
            EXPECT_TRUE(IsEnabled(Item(hMain, IDC_INSTALL_DATABASE)));
        }
        EXPECT_TRUE(IsVisible(Item(hMain, IDC_EXIT)));
        EXPECT_TRUE(IsEnabled(Item(hMain, IDC_EXIT)));
        EXPECT_EQ(L"Exit", WindowText(Item(hMain, IDC_EXIT)));

        // The focus starts on the first tab stop, Exit.
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return ::GetGUIThreadInfo(::GetWindowThreadProcessId(hMain, nullptr), &info) &&
                       info.hwndFocus == Item(hMain, IDC_EXIT);
            },
            kTimeout));
        // Nothing else came up.
        EXPECT_EQ(1u, launcher.process.TopWindows().size());
    }
}

TEST(LauncherTest, MissingInstallListIsReportedBeforeTheWindowShows)
{
    Distribution dist;
    Process process;
    ASSERT_TRUE(process.Start(dist.exePath, dist.folder));

    HWND hBox = process.WaitPopup(kTimeout, nullptr);
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(Wide("ファイルが開けません。\n[") + Wide(dist.folder + "InstallList.txt") + L"]", MessageText(hBox));
    EXPECT_EQ(L"VORMELSetup", WindowText(hBox));
    EXPECT_EQ(BoxIcon::Exclamation, IconOf(hBox));

    // The box belongs to the launcher window, which is not shown yet.
    HWND hOwner = ::GetWindow(hBox, GW_OWNER);
    ASSERT_NE(nullptr, hOwner);
    EXPECT_EQ(L"VORMEL setup luncher", WindowText(hOwner));
    EXPECT_FALSE(::IsWindowVisible(hOwner));

    Click(hBox, IDOK);
    HWND hMain = process.WaitMainWindow(kTimeout);
    ASSERT_EQ(hOwner, hMain);
    EXPECT_TRUE(IsVisible(Item(hMain, IDC_INSTALL_PRODUCT)));
    EXPECT_FALSE(IsEnabled(Item(hMain, IDC_INSTALL_PRODUCT)));
    EXPECT_FALSE(IsVisible(Item(hMain, IDC_INSTALL_DATABASE)));
}

TEST(LauncherTest, ProductButtonStartsTheInstallerAndStaysOpen)
{
    RunningLauncher launcher("0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n");
    launcher.dist.AddInstallerStandIn("Installer\\VORMELInstall.exe");
    launcher.Start();
    HWND hMain = launcher.hMain;
    ASSERT_NE(nullptr, hMain);
    EXPECT_EQ(L"Install VORMEL", WindowText(Item(hMain, IDC_INSTALL_PRODUCT)));
    std::string log = launcher.dist.folder + "Installer\\installer-started.log";

    // Each press starts one more installer; nothing stops a second one.
    for (int n = 1; n <= 2; ++n)
    {
        Click(hMain, IDC_INSTALL_PRODUCT);
        EXPECT_TRUE(WaitUntil([&] { return CountLines(ReadBytes(log)) == n; }, kTimeout)) << "press " << n;
        EXPECT_TRUE(launcher.process.Running());
        EXPECT_TRUE(IsVisible(hMain));
    }
    // Both installers are up at once; close them so that they end.
    EXPECT_TRUE(WaitUntil([&] { return InstallerStandInBoxes().size() == 2; }, kTimeout));
    for (HWND hBox : InstallerStandInBoxes())
        Click(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return InstallerStandInBoxes().empty(); }, kTimeout));
    EXPECT_TRUE(launcher.process.Running()) << "the launcher does not close after starting the installer";
}

TEST(LauncherTest, InstallerGoneAfterStartUpReportsFailure)
{
    RunningLauncher launcher("0\nVORMEL\nInstaller\\VORMELInstall.exe\n");
    launcher.dist.AddInstallerStandIn("Installer\\VORMELInstall.exe");
    launcher.Start();
    HWND hMain = launcher.hMain;
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(IsEnabled(Item(hMain, IDC_INSTALL_PRODUCT)));

    ASSERT_TRUE(::DeleteFileA((launcher.dist.folder + "Installer\\VORMELInstall.exe").c_str()));
    Click(hMain, IDC_INSTALL_PRODUCT);
    HWND hBox = launcher.process.WaitPopup(kTimeout, hMain);
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"The installation failed.", MessageText(hBox));
    EXPECT_EQ(L"VORMELSetup", WindowText(hBox));
    EXPECT_EQ(hMain, ::GetWindow(hBox, GW_OWNER));
    EXPECT_FALSE(IsEnabled(hMain)) << "the box is modal over the launcher";
    Click(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(hBox) && IsEnabled(hMain); }, kTimeout));
    EXPECT_TRUE(launcher.process.Running());
}

TEST(LauncherTest, EscapeAndEnterRightAfterStartDoNothing)
{
    RunningLauncher launcher("0\nVORMEL\nInstaller\\VORMELInstall.exe\n");
    launcher.dist.AddInstallerStandIn("Installer\\VORMELInstall.exe");
    launcher.Start();
    HWND hMain = launcher.hMain;
    ASSERT_NE(nullptr, hMain);

    PressKey(hMain, VK_ESCAPE);
    PressKey(hMain, VK_RETURN);
    // Posted messages of one thread are handled in order: once the About command posted
    // after the keys has opened its box, the keys have been handled, and did nothing.
    ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
    HWND hAbout = launcher.process.WaitWindowTitled(L"About VORMELSetup", kTimeout);
    ASSERT_NE(nullptr, hAbout) << "the launcher did not go on after the keys";
    EXPECT_TRUE(launcher.process.Running());
    EXPECT_TRUE(IsVisible(hMain));
    EXPECT_EQ(2u, launcher.process.TopWindows().size()) << "nothing but the About box was opened";
    EXPECT_EQ("", ReadBytes(launcher.dist.folder + "Installer\\installer-started.log"));
    Click(hAbout, IDOK);
}

TEST(LauncherTest, ExitAndTheCloseCommandEndTheProgram)
{
    enum How { ExitButton, CloseMessage, AltF4 };
    for (How how : { ExitButton, CloseMessage, AltF4 })
    {
        SCOPED_TRACE(how);
        RunningLauncher launcher("1\nDB\n\n");
        launcher.Start();
        ASSERT_NE(nullptr, launcher.hMain);
        switch (how)
        {
        case ExitButton:
            Click(launcher.hMain, IDC_EXIT);
            break;
        case CloseMessage:
            ::PostMessageW(launcher.hMain, WM_CLOSE, 0, 0);
            break;
        case AltF4:
            ::PostMessageW(launcher.hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        ASSERT_TRUE(launcher.process.WaitExit(kTimeout));
        EXPECT_EQ(0u, launcher.process.ExitCode());
    }
}

TEST(LauncherTest, AboutBoxFromTheSystemMenu)
{
    RunningLauncher launcher("1\nDB\n\n");
    launcher.Start();
    HWND hMain = launcher.hMain;
    ASSERT_NE(nullptr, hMain);

    ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
    HWND hAbout = launcher.process.WaitWindowTitled(L"About VORMELSetup", kTimeout);
    ASSERT_NE(nullptr, hAbout);
    EXPECT_EQ(hMain, ::GetWindow(hAbout, GW_OWNER));
    EXPECT_FALSE(IsEnabled(hMain)) << "the About box is modal over the launcher";
    EXPECT_EQ(L"OK", WindowText(Item(hAbout, IDOK)));

    Click(hAbout, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout) && IsEnabled(hMain); }, kTimeout));

    // Escape closes the About box, but not the launcher.
    ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
    hAbout = launcher.process.WaitWindowTitled(L"About VORMELSetup", kTimeout);
    ASSERT_NE(nullptr, hAbout);
    PressKey(hAbout, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout); }, kTimeout));
    EXPECT_TRUE(launcher.process.Running());
}

TEST(LauncherTest, RenamedExecutableStillFindsItsList)
{
    RunningLauncher launcher("1\nDB\n\n", "SETUP.EXE");
    launcher.Start();
    HWND hMain = launcher.hMain;
    ASSERT_NE(nullptr, hMain);
    EXPECT_TRUE(IsVisible(Item(hMain, IDC_INSTALL_DATABASE)));
    EXPECT_FALSE(IsVisible(Item(hMain, IDC_INSTALL_PRODUCT)));

    // The message-box caption follows the executable's name.
    ::DeleteFileA((launcher.dist.folder + "InstallList.txt").c_str());
    Process second;
    ASSERT_TRUE(second.Start(launcher.dist.exePath, launcher.dist.folder));
    HWND hBox = second.WaitPopup(kTimeout, nullptr);
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"SETUP", WindowText(hBox));
}

TEST(LauncherTest, LauncherFolderOfAnyNameFindsItsList)
{
    // Folders a user's media or download folder may have: a name ending in a double-byte
    // character whose second byte is 0x5C, and a path at MAX_PATH (an exe whose path is
    // longer cannot be started at all), where the list's own path is 259 characters too.
    struct Case { const char* what; size_t exePathLength; const char* leaf; } cases[] = {
        { "folder ending in 表", 0, "\x92\x6E\x90\x7D\x95\x5C" },
        { "exe path of 259 characters", 259, nullptr },
        { "folder ending in 表 at 259 characters", 259, "\x92\x6E\x90\x7D\x95\x5C" },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TempDir dir("deep");
        std::string folder = dir.Path();
        if (c.leaf != nullptr)
            folder += std::string(c.leaf) + "\\";
        while (folder.size() + 15 < c.exePathLength)
        {
            size_t room = c.exePathLength - 15 - folder.size();
            folder += std::string(room > 40 ? 39 : room - 1, 'd') + "\\";
        }
        std::string exePath = folder + "VORMELSetup.exe";
        if (c.exePathLength != 0)
        {
            ASSERT_EQ(c.exePathLength, exePath.size());
        }
        MakeDirs(folder);
        ASSERT_TRUE(CopyOneFile(LauncherExe(), exePath));
        WriteBytes(folder + "InstallList.txt", "1\r\nDB\r\n\r\n");

        Process process;
        ASSERT_TRUE(process.Start(exePath, dir.Path()));
        // The list is found: no message, and the database screen it asks for.
        HWND hFirst = process.WaitPopup(kTimeout, nullptr);
        ASSERT_NE(nullptr, hFirst);
        EXPECT_EQ(L"VORMEL setup luncher", WindowText(hFirst)) << Utf8(MessageText(hFirst));
        EXPECT_TRUE(IsVisible(Item(hFirst, IDC_INSTALL_DATABASE)));
        EXPECT_FALSE(IsVisible(Item(hFirst, IDC_INSTALL_PRODUCT)));
    }
}
