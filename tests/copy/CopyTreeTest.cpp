// The copying engine copies trees as the launcher needs: n-th source to n-th destination,
// merging, replacing, making missing folders, keeping times and attributes.
#include "CopyTestSupport.h"

#include "platform/CopyWithProgress.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace copytest;

namespace {

const FILETIME kOldTime = { 0x5A0B8000u, 0x01C8E6F1u };   // some day in 2008

// A tree with nested and empty folders, files of many sizes (one spanning several chunks),
// an empty file, a read-only and a hidden file, and an old file time.
void MakeSampleTree(const std::string& root, unsigned seed)
{
    MakeDir(root);
    MakeDir(root + "\\a");
    MakeDir(root + "\\a\\b");
    MakeDir(root + "\\a\\b\\c");
    MakeDir(root + "\\a\\b\\c\\empty-deep");
    MakeDir(root + "\\empty");
    MakeDir(root + "\\a\\empty too");
    MakeFile(root + "\\top.bin", 1000, seed);
    MakeFile(root + "\\zero.dat", 0, seed);
    MakeFile(root + "\\a\\one.bin", 4096, seed + 1);
    MakeFile(root + "\\a\\b\\two.bin", 65537, seed + 2);
    MakeFile(root + "\\a\\b\\c\\three chunks.bin", 3 * 1024 * 1024 + 17, seed + 3);
    MakeFile(root + "\\a\\b\\c\\exact-chunk.bin", 1024 * 1024, seed + 4);
    MakeFile(root + "\\readonly.txt", 300, seed + 5);
    ::SetFileAttributesA((root + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeFile(root + "\\hidden.txt", 200, seed + 6);
    ::SetFileAttributesA((root + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root + "\\a\\old.txt", 123, seed + 7);
    SetLastWriteTime(root + "\\a\\old.txt", kOldTime);
}

}  // namespace

TEST(CopyTreeTest, ThreeFoldersGoToThreeDestinationsWithMissingParentsMade)
{
    TempTree tmp("three");
    const char* names[] = { "landuse", "terrain", "1kmav_dem" };
    std::vector<std::string> sources, dests;
    MakeDir(tmp / "dist");
    for (unsigned i = 0; i < 3; ++i)
    {
        MakeSampleTree(tmp / std::string("dist\\") + names[i], i * 100);
        if (i == 0)
            MakeDir(tmp / "dist\\landuse\\only in landuse");
        sources.push_back(tmp / std::string("dist\\") + names[i]);
        dests.push_back(tmp / std::string("out\\data\\") + names[i]);   // out\data is missing
    }

    Watcher watcher;
    CopyRequest request(sources, dests);
    int result = request.Run();
    watcher.Stop();

    EXPECT_EQ(0, result);
    EXPECT_FALSE(request.op.fAnyOperationsAborted) << "written FALSE on success";
    EXPECT_TRUE(watcher.Boxes().empty());
    for (unsigned i = 0; i < 3; ++i)
        ExpectSameTree(sources[i], dests[i]);
    EXPECT_TRUE(IsDir(dests[0] + "\\only in landuse"));
    EXPECT_FALSE(Exists(dests[0] + "\\landuse")) << "no nesting";
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, Attributes(dests[1] + "\\readonly.txt") & FILE_ATTRIBUTE_READONLY);
    FILETIME ft = LastWriteTime(dests[2] + "\\a\\old.txt");
    EXPECT_EQ(kOldTime.dwLowDateTime, ft.dwLowDateTime);
    EXPECT_EQ(kOldTime.dwHighDateTime, ft.dwHighDateTime);
    EXPECT_EQ(nullptr, FindProgressWindow()) << "the progress window is gone when the call returns";
}

TEST(CopyTreeTest, ExistingDestinationFolderIsMergedInto)
{
    TempTree tmp("merge");
    std::string src = tmp / "dist\\landuse";
    std::string dst = tmp / "data\\landuse";
    MakeDir(tmp / "dist");
    MakeSampleTree(src, 7);
    MakeFile(src + "\\a\\same.txt", 5000, 70);
    // The destination holds files of its own, a folder of the source, and files that the
    // source replaces: a longer one, a shorter one.
    MakeDir(tmp / "data");
    MakeDir(dst);
    MakeDir(dst + "\\a");
    MakeDir(dst + "\\a\\mine");
    MakeFile(dst + "\\keep.txt", 77, 1);
    MakeFile(dst + "\\a\\mine\\keep2.txt", 99, 2);
    MakeFile(dst + "\\a\\same.txt", 90000, 3);
    MakeFile(dst + "\\top.bin", 10, 4);

    Watcher watcher;
    CopyRequest request({ src }, { dst });
    EXPECT_EQ(0, request.Run());
    watcher.Stop();
    EXPECT_FALSE(request.op.fAnyOperationsAborted);
    EXPECT_TRUE(watcher.Boxes().empty());

    EXPECT_FALSE(Exists(dst + "\\landuse")) << "merged, not nested";
    EXPECT_EQ(77u, FileSize(dst + "\\keep.txt"));
    EXPECT_EQ(99u, FileSize(dst + "\\a\\mine\\keep2.txt"));
    for (const auto& kv : ListTree(src))
    {
        std::string s = src + "\\" + kv.first, d = dst + "\\" + kv.first;
        ASSERT_TRUE(Exists(d)) << kv.first;
        if (!kv.second.bDir)
        {
            EXPECT_EQ(kv.second.ullSize, FileSize(d)) << kv.first;
            EXPECT_TRUE(SameContent(s, d)) << kv.first;
        }
    }
}

TEST(CopyTreeTest, ExistingReadOnlyAndHiddenFilesAreReplaced)
{
    TempTree tmp("replace");
    std::string src = tmp / "src";
    std::string dst = tmp / "dst";
    MakeDir(src);
    MakeFile(src + "\\ro.txt", 1234, 1);
    MakeFile(src + "\\hid.txt", 2345, 2);
    MakeFile(src + "\\plain.txt", 3456, 3);
    MakeDir(dst);
    MakeFile(dst + "\\ro.txt", 99999, 11);
    ::SetFileAttributesA((dst + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeFile(dst + "\\hid.txt", 10, 12);
    ::SetFileAttributesA((dst + "\\hid.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    MakeFile(dst + "\\plain.txt", 1, 13);

    {
        CopyRequest request({ src }, { dst });
        EXPECT_EQ(0, request.Run());
        EXPECT_FALSE(request.op.fAnyOperationsAborted);
    }
    ExpectSameTree(src, dst);

    // Again, over a copy whose files are now read-only themselves.
    for (const char* name : { "\\ro.txt", "\\hid.txt", "\\plain.txt" })
        ::SetFileAttributesA((src + name).c_str(), FILE_ATTRIBUTE_READONLY);
    {
        CopyRequest request({ src }, { dst });
        EXPECT_EQ(0, request.Run());
    }
    {
        CopyRequest request({ src }, { dst });
        EXPECT_EQ(0, request.Run()) << "read-only copies are replaced";
    }
    ExpectSameTree(src, dst);
    EXPECT_NE(0u, Attributes(dst + "\\plain.txt") & FILE_ATTRIBUTE_READONLY);
}

TEST(CopyTreeTest, AFileSourceGoesToItsDestinationPath)
{
    TempTree tmp("file");
    MakeFile(tmp / "one.bin", 2 * 1024 * 1024 + 5, 5);
    MakeDir(tmp / "folder");
    MakeFile(tmp / "folder\\x.txt", 5, 6);
    CopyRequest request({ tmp / "one.bin", tmp / "folder" }, { tmp / "new\\place\\renamed.bin", tmp / "folder2" });
    EXPECT_EQ(0, request.Run());
    EXPECT_TRUE(SameContent(tmp / "one.bin", tmp / "new\\place\\renamed.bin"));
    ExpectSameTree(tmp / "folder", tmp / "folder2");
}

TEST(CopyTreeTest, DoubleBytePathsAreNeverSplitOnATrailByte)
{
    if (::GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese ANSI code page (run with LANG=ja_JP.UTF-8)";
    // 表 is 95 5C and ソ is 83 5C: their trail byte is a backslash.
    const std::string hyo = "\x95\x5C", so = "\x83\x5C";
    TempTree tmp("dbcs");
    std::string src = tmp / ("src" + hyo);
    MakeDir(src);
    MakeDir(src + "\\" + so);
    MakeDir(src + "\\" + so + "\\" + hyo + so);
    MakeFile(src + "\\" + so + "\\" + hyo + ".txt", 4321, 1);
    MakeFile(src + "\\" + hyo + so + ".bin", 2 * 1024 * 1024 + 1, 2);
    // Missing parents whose names end in a trail byte 5C, and a path given with a trailing
    // backslash.
    std::string dst = tmp / ("out" + hyo + "\\deep" + so + "\\landuse" + so);
    CopyRequest request({ src + "\\" }, { dst });
    Watcher watcher;
    int result = request.Run();
    watcher.Stop();
    ASSERT_EQ(0, result) << (watcher.Boxes().empty() ? "" : watcher.Boxes()[0].strText);
    ExpectSameTree(src, dst);
    // Nothing else was made: no folder cut short at a trail byte.
    std::vector<std::string> expected = { "src" + hyo, "out" + hyo, "out" + hyo + "\\deep" + so,
                                          "out" + hyo + "\\deep" + so + "\\landuse" + so };
    for (const auto& kv : ListTree(src))
    {
        expected.push_back("src" + hyo + "\\" + kv.first);
        expected.push_back("out" + hyo + "\\deep" + so + "\\landuse" + so + "\\" + kv.first);
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> made;
    for (const auto& kv : ListTree(tmp.Path()))
        made.push_back(kv.first);
    EXPECT_EQ(expected, made);
    EXPECT_FALSE(Exists(tmp / "out\x95"));
}

TEST(CopyTreeTest, RequestsOtherThanTheLauncherCopyAreRefusedAtOnce)
{
    TempTree tmp("refuse");
    MakeDir(tmp / "src");
    MakeFile(tmp / "src\\f.txt", 10, 1);
    std::string dst = tmp / "dst";
    struct Case
    {
        const char* what;
        std::function<void(SHFILEOPSTRUCTA&)> change;
    } cases[] = {
        { "FO_MOVE", [](SHFILEOPSTRUCTA& op) { op.wFunc = FO_MOVE; } },
        { "FO_DELETE", [](SHFILEOPSTRUCTA& op) { op.wFunc = FO_DELETE; } },
        { "no FOF_MULTIDESTFILES", [](SHFILEOPSTRUCTA& op) { op.fFlags = 0x210; } },
        { "FOF_ALLOWUNDO", [](SHFILEOPSTRUCTA& op) { op.fFlags |= FOF_ALLOWUNDO; } },
        { "FOF_RENAMEONCOLLISION", [](SHFILEOPSTRUCTA& op) { op.fFlags |= FOF_RENAMEONCOLLISION; } },
        { "no source list", [](SHFILEOPSTRUCTA& op) { op.pFrom = nullptr; } },
        { "no destination list", [](SHFILEOPSTRUCTA& op) { op.pTo = nullptr; } },
        { "empty lists", [](SHFILEOPSTRUCTA& op) { op.pFrom = "\0"; op.pTo = "\0"; } },
        { "more sources", [](SHFILEOPSTRUCTA&) {} },
    };
    for (const Case& c : cases)
    {
        bool more = std::string(c.what) == "more sources";
        CopyRequest request(more ? std::vector<std::string>{ tmp / "src", tmp / "src" } : std::vector<std::string>{ tmp / "src" },
                            { dst });
        c.change(request.op);
        Watcher watcher;
        EXPECT_EQ(ERROR_INVALID_PARAMETER, request.Run()) << c.what;
        watcher.Stop();
        EXPECT_FALSE(request.op.fAnyOperationsAborted) << c.what;
        EXPECT_FALSE(watcher.SawProgressWindow()) << c.what;
        EXPECT_TRUE(watcher.Boxes().empty()) << c.what;
        EXPECT_FALSE(Exists(dst)) << c.what;
    }
    CopyRequest fewer({ tmp / "src" }, { dst, dst + "2" });
    EXPECT_EQ(ERROR_INVALID_PARAMETER, fewer.Run());
    EXPECT_FALSE(fewer.op.fAnyOperationsAborted);
    EXPECT_FALSE(Exists(dst));
}
