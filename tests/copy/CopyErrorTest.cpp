// The copying engine reports its errors to the user in a message box that names the file
// and gives the system's text, returns the error, and writes the abort flag FALSE.
#include "CopyTestSupport.h"

#include "platform/CopyWithProgress.h"

#include <gtest/gtest.h>

using namespace copytest;

namespace {

struct Outcome
{
    int result;
    BOOL aborted;
    std::vector<Watcher::Box> boxes;
};

Outcome RunWatched(const std::vector<std::string>& sources, const std::vector<std::string>& dests)
{
    Watcher watcher;
    CopyRequest request(sources, dests);
    Outcome outcome;
    outcome.result = request.Run();
    watcher.Stop();
    outcome.aborted = request.op.fAnyOperationsAborted;
    outcome.boxes = watcher.Boxes();
    return outcome;
}

std::string SystemText(DWORD code)
{
    char buf[512] = "";
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                               sizeof(buf), nullptr);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

// One error box: captioned with the title, owned by the progress window, naming what it
// should name and ending with the system's text for the result.
void ExpectOneErrorBox(const Outcome& o, const std::string& named)
{
    ASSERT_EQ(1u, o.boxes.size());
    const Watcher::Box& box = o.boxes[0];
    EXPECT_EQ("Copying...", box.strCaption);
    EXPECT_NE(std::string::npos, box.strText.find(named)) << box.strText;
    std::string sys = SystemText(static_cast<DWORD>(o.result));
    EXPECT_FALSE(sys.empty());
    EXPECT_NE(std::string::npos, box.strText.find(sys)) << box.strText;
    EXPECT_NE(nullptr, box.hOwner) << "owned by the progress window";
    EXPECT_EQ(box.hProgressAtTheTime, box.hOwner);
    EXPECT_EQ(nullptr, ::GetWindow(box.hOwner, GW_OWNER)) << "the progress window itself has no owner";
}

void MakeSmallTree(const std::string& root)
{
    MakeDir(root);
    MakeDir(root + "\\sub");
    MakeFile(root + "\\a.txt", 100, 1);
    MakeFile(root + "\\sub\\b.txt", 200, 2);
}

}  // namespace

TEST(CopyErrorTest, MissingSourceIsReportedAndNothingIsCopied)
{
    TempTree tmp("missing");
    MakeDir(tmp / "dist");
    MakeSmallTree(tmp / "dist\\landuse");
    MakeSmallTree(tmp / "dist\\1kmav_dem");
    std::string missing = tmp / "dist\\terrain";
    MakeDir(tmp / "data");
    Outcome o = RunWatched({ tmp / "dist\\landuse", missing, tmp / "dist\\1kmav_dem" },
                           { tmp / "data\\landuse", tmp / "data\\terrain", tmp / "data\\1kmav_dem" });
    EXPECT_TRUE(o.result == ERROR_FILE_NOT_FOUND || o.result == ERROR_PATH_NOT_FOUND) << o.result;
    EXPECT_FALSE(o.aborted) << "written FALSE on failure";
    ExpectOneErrorBox(o, missing);
    EXPECT_TRUE(ListTree(tmp / "data").empty()) << "nothing copied";
}

TEST(CopyErrorTest, DestinationInsideOrEqualToItsSourceIsRefused)
{
    TempTree tmp("inside");
    std::string src = tmp / "src";
    MakeSmallTree(src);
    std::string upper = src;
    for (char& c : upper)
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    const std::string dests[] = {
        src + "\\sub\\copy",
        src,
        src + "\\",
        upper + "\\SUB\\copy",              // the file system does not tell case apart
        src + "\\..\\src\\deeper\\copy",
    };
    auto before = ListTree(tmp.Path());
    for (const std::string& dst : dests)
    {
        Outcome o = RunWatched({ src }, { dst });
        EXPECT_EQ(ERROR_BAD_PATHNAME, o.result) << dst;
        EXPECT_FALSE(o.aborted);
        ExpectOneErrorBox(o, src);
        auto after = ListTree(tmp.Path());
        EXPECT_EQ(before.size(), after.size()) << dst << ": nothing copied";
    }
    // A sibling whose name starts with the source's name is not inside it.
    Outcome ok = RunWatched({ src }, { src + "2" });
    EXPECT_EQ(0, ok.result);
    EXPECT_TRUE(ok.boxes.empty());
}

TEST(CopyErrorTest, UnwritableDestinationIsReportedNamingTheFolder)
{
    TempTree tmp("blocked");
    std::string src = tmp / "landuse";
    MakeSmallTree(src);
    MakeFile(tmp / "blocker", 10, 9);
    std::string dst = tmp / "blocker\\landuse";   // a path under an existing FILE
    Outcome o = RunWatched({ src }, { dst });
    EXPECT_NE(0, o.result);
    EXPECT_NE(ERROR_CANCELLED, o.result);
    EXPECT_FALSE(o.aborted);
    ExpectOneErrorBox(o, dst);
    EXPECT_EQ(10u, FileSize(tmp / "blocker"));
}

TEST(CopyErrorTest, DestinationThatIsAFileIsReported)
{
    TempTree tmp("isfile");
    std::string src = tmp / "landuse";
    MakeSmallTree(src);
    MakeDir(tmp / "data");
    MakeFile(tmp / "data\\landuse", 10, 9);
    Outcome o = RunWatched({ src }, { tmp / "data\\landuse" });
    EXPECT_EQ(ERROR_ALREADY_EXISTS, o.result);
    EXPECT_FALSE(o.aborted);
    ExpectOneErrorBox(o, tmp / "data\\landuse");
}

TEST(CopyErrorTest, LockedFileStopsTheCopyWithoutAHalfFile)
{
    TempTree tmp("locked");
    std::string src = tmp / "src";
    MakeDir(src);
    for (int i = 0; i < 6; ++i)
        MakeFile(src + "\\f" + std::to_string(i) + ".bin", 300000, i);
    std::string locked = src + "\\f3.bin";
    HANDLE h = ::CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    Outcome o = RunWatched({ src }, { tmp / "dst" });
    ::CloseHandle(h);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, o.result);
    EXPECT_FALSE(o.aborted);
    ExpectOneErrorBox(o, locked);
    EXPECT_FALSE(Exists(tmp / "dst\\f3.bin"));
    for (const auto& kv : ListTree(tmp / "dst"))
        EXPECT_TRUE(SameContent(src + "\\" + kv.first, tmp / "dst\\" + kv.first)) << kv.first << " is whole";
}

TEST(CopyErrorTest, PathsTooLongAreReportedBeforeAnythingIsCopied)
{
    TempTree tmp("long");
    std::string src = tmp / "src";
    MakeDir(src);
    MakeDir(src + "\\folder");
    MakeFile(src + "\\folder\\a-file-with-a-rather-long-name-to-pass-the-limit.txt", 10, 1);
    MakeFile(src + "\\short.txt", 10, 2);
    // The destination itself fits; the file beneath it does not.
    ASSERT_LT(tmp.Path().size(), 150u);
    std::string dst = tmp / std::string(215 - tmp.Path().size() - 1, 'x');
    ASSERT_EQ(215u, dst.size());
    Outcome o = RunWatched({ src }, { dst });
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, o.result);
    EXPECT_FALSE(o.aborted);
    ExpectOneErrorBox(o, "a-file-with-a-rather-long-name");
    EXPECT_FALSE(Exists(dst)) << "nothing copied";

    // A destination too long by itself.
    Outcome o2 = RunWatched({ src }, { tmp / std::string(MAX_PATH, 'y') });
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, o2.result);
    EXPECT_EQ(1u, o2.boxes.size());
}

TEST(CopyErrorTest, RelativePathsAreRefused)
{
    TempTree tmp("relative");
    MakeSmallTree(tmp / "src");
    Outcome o = RunWatched({ tmp / "src" }, { "\\landuse" });   // a chooser path that came back empty
    EXPECT_EQ(ERROR_BAD_PATHNAME, o.result);
    EXPECT_FALSE(o.aborted);
    ExpectOneErrorBox(o, "\\landuse");
    Outcome o2 = RunWatched({ "landuse" }, { tmp / "dst" });
    EXPECT_EQ(ERROR_BAD_PATHNAME, o2.result);
    EXPECT_FALSE(Exists(tmp / "dst"));
}
