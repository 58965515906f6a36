// A second start of the launcher, as AutoPlay and a double-click together give.
#include "Distribution.h"
#include "Process.h"
#include "TempTree.h"
#include "Wait.h"

#include <gtest/gtest.h>

using namespace support;

// Catches: two launchers of one medium side by side (two copies racing into one folder),
// also when the second is started through another spelling of the folder (Wine's drive Z:
// for the same folder), a second start that shows a window or leaves the first minimised
// behind others, and launchers of different media kept from running together; a scale
// change while minimised that sizes the window by its icon, not by its picture.
TEST(SecondStartTest, SameFolderShowsTheFirstLauncherOtherFoldersRunSideBySide)
{
    Distribution dist, other;
    for (const Distribution* pDist : { &dist, &other })
        pDist->SetInstallList("0\r\nVORMEL\r\n\r\n");
    Process first, again, elsewhere;
    HWND hFirst = first.StartLauncher(dist.exePath, dist.folder);
    ASSERT_NE(nullptr, hFirst);
    ::ShowWindow(hFirst, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(hFirst) != FALSE; }));
    // The screen's scale becomes 150 % meanwhile (Wine 8 sends no such message itself).
    DWORD_PTR dwAnswer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(hFirst, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), 0, SMTO_ABORTIFHUNG,
                                      5000, &dwAnswer));
    std::string otherSpelling = "Z:" + UnixPath(dist.exePath);
    for (char& c : otherSpelling)
        c = c == '/' ? '\\' : c;
    ASSERT_TRUE(again.Start(otherSpelling, other.folder));
    EXPECT_TRUE(again.WaitExit()) << "a second launcher with a window of its own";
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(hFirst) && ::GetForegroundWindow() == hFirst; }));
    // The restore can show the window a moment before its layout at the new scale lands.
    RECT rcClient = {};
    EXPECT_TRUE(WaitUntil([&] { return ::GetClientRect(hFirst, &rcClient) && rcClient.right == 750; }))
        << rcClient.right << ": laid out by the minimised window's size, not its restored one";
    EXPECT_NE(nullptr, elsewhere.StartLauncher(other.exePath, other.folder));
    EXPECT_FALSE(first.WaitExit(0));
}
