// Work through held folders (CHeldFolder) on real folders under the temporary folder, with
// Unix symbolic links standing in for links and junctions, as Wine shows them.
#include "TempTree.h"

#include "platform/copy/HeldFolder.h"

#include <gtest/gtest.h>

#include <string>

using support::ReadBytes;
using support::TempTree;
using support::WidePath;

// Catches: a removal that enters a link (deleting what it leads to), joins a "best fit"
// ANSI name to its path (U+00A5 listed as '\' in code page 932 leads to the folder beside),
// clears read-only on a hard link whose other name lies outside, or leaves a read-only
// file; and a relative deletion that climbs out with "..", goes through a link on the way
// or takes a folder that still holds something.
TEST(HeldFolderTest, RemovalStaysInsideWhatItHolds)
{
    TempTree tmp("held");
    tmp.Write("outside\\o.txt", "o");
    tmp.Write("outside\\ro.txt", "ro");
    ::SetFileAttributesA((tmp / "outside\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    for (const char* name : { "a.txt", "sub\\b.txt", "sub\\deeper\\c.txt", "ro.txt" })
        tmp.Write(std::string("marked\\") + name, name);
    ::SetFileAttributesA((tmp / "marked\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    // "..¥outside": listed through the ANSI code page as "..\outside".
    ASSERT_TRUE(::CreateDirectoryW((WidePath(tmp / "marked\\") + L"..\u00A5outside").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((WidePath(tmp / "marked\\") + L"..\u00A5outside\\x").c_str(), nullptr));
    ASSERT_TRUE(::CreateHardLinkA((tmp / "marked\\hard.txt").c_str(), (tmp / "outside\\ro.txt").c_str(), nullptr));
    ASSERT_TRUE(tmp.MakeLink(tmp / "outside", tmp / "marked\\link"));
    ASSERT_TRUE(tmp.MakeLink(tmp / "outside", tmp / "linked"));

    CHeldFolder root, linked;
    ASSERT_EQ(0u, root.Open(tmp.Path().substr(0, tmp.Path().size() - 1).c_str(), false));
    EXPECT_EQ(CHeldFolder::kErrorLink, linked.Open((tmp / "linked").c_str(), false));
    EXPECT_EQ(CHeldFolder::kErrorLink, linked.OpenChild(root, L"linked"));
    EXPECT_EQ(0u, linked.Open((tmp / "linked").c_str(), true)) << "a folder that a person chose may be a link";
    linked.Close();
    const struct { const char* rel; DWORD dwResult; bool bAbsent; } deletions[] = {
        { "marked\\..\\outside\\o.txt", ERROR_INVALID_NAME, false },
        { "marked\\link\\o.txt", CHeldFolder::kErrorLink, false },
        { "marked\\sub", ERROR_DIR_NOT_EMPTY, false },
        { "marked\\sub\\deeper\\c.txt", 0, true },
        { "marked\\sub\\deeper", 0, true },
        { "marked\\missing\\x.txt", ERROR_PATH_NOT_FOUND, true },
    };
    for (const auto& d : deletions)
    {
        EXPECT_EQ(d.dwResult, root.DeleteBelow(d.rel)) << d.rel;
        EXPECT_EQ(d.bAbsent, ::GetFileAttributesA((tmp / d.rel).c_str()) == INVALID_FILE_ATTRIBUTES) << d.rel;
    }

    // Under Wine the link and the hard link stay (see CHeldFolder): the removal says so.
    EXPECT_NE(0u, root.RemoveChild(L"marked"));
    EXPECT_EQ("o", ReadBytes(tmp / "outside\\o.txt"));
    EXPECT_EQ("ro", ReadBytes(tmp / "outside\\ro.txt"));
    EXPECT_NE(0u, ::GetFileAttributesA((tmp / "outside\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    for (const char* gone : { "marked\\a.txt", "marked\\sub", "marked\\ro.txt" })
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((tmp / gone).c_str())) << gone;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((WidePath(tmp / "marked\\") + L"..\u00A5outside").c_str()));
}
