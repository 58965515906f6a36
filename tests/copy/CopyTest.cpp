// The copying engine (CopyWithProgress over CFileTreeCopier) on real folders under the
// temporary folder, with its progress window and error box driven from a second thread.
#include "Process.h"
#include "TempTree.h"
#include "TreeSnapshot.h"
#include "Wait.h"

#include "platform/copy/CopyWithProgress.h"
#include "platform/copy/FileTreeCopier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using support::ReadBytes;
using support::Snapshot;
using support::TempTree;
using Tree = std::map<std::string, std::string>;

namespace {

struct Outcome
{
    int nResult;
    BOOL bAborted;
};

// The launcher's request for one source and its destination, flags 0x211.
Outcome Copy(std::string from, std::string to)
{
    from += '\0';
    to += '\0';
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_COPY;
    op.pFrom = from.c_str();   // std::string adds the list's closing NUL
    op.pTo = to.c_str();
    op.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    op.fAnyOperationsAborted = TRUE;
    int nResult = CopyWithProgress(&op);
    return { nResult, op.fAnyOperationsAborted };
}

// The progress window (no owner) or the error box (owned), both captioned with the title.
HWND FindOwnWindow(bool bOwned)
{
    for (HWND h : support::WindowsTitled(L"Copying..."))
    {
        if ((::GetWindow(h, GW_OWNER) != nullptr) == bOwned)
            return h;
    }
    return nullptr;
}

BOOL WINAPI EightMegabytesFree(LPCSTR, PULARGE_INTEGER pFree, PULARGE_INTEGER pTotal, PULARGE_INTEGER pTotalFree)
{
    pFree->QuadPart = pTotal->QuadPart = pTotalFree->QuadPart = 8 << 20;
    return TRUE;
}

std::atomic<LONGLONG> g_llBytesRead{0};
std::atomic<bool> g_bCancelPressed{false};
std::atomic<bool> g_bCloseBox{false};
std::atomic<bool> g_bGaveUp{false};

// Past the first megabyte, reads press the progress window's Cancel button (or its close
// box) and wait until that has taken: the copy cannot end before the cancel, however fast
// the machine.
BOOL WINAPI ReadsUntilCancel(HANDLE h, LPVOID pBuffer, DWORD dwWanted, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    if (g_llBytesRead.load() >= (1 << 20) && !g_bGaveUp)
    {
        HWND hProgress = FindOwnWindow(false);
        HWND hCancel = ::GetDlgItem(hProgress, IDCANCEL);
        if (!g_bCancelPressed.exchange(true))
            ::PostMessageA(g_bCloseBox ? hProgress : hCancel, g_bCloseBox ? WM_CLOSE : BM_CLICK, 0, 0);
        // No cancel took: the copy goes on to its end, and the test fails.
        g_bGaveUp = !support::WaitUntil([&] { return !::IsWindowEnabled(hCancel); });
    }
    BOOL bRead = ::ReadFile(h, pBuffer, dwWanted, pdwRead, pOverlapped);
    g_llBytesRead += bRead ? *pdwRead : 0;
    return bRead;
}

// Watches the copy from a second thread and closes its error box (owned by the progress
// window), keeping its text.
class Watcher
{
public:
    Watcher() : m_thread([this] { Run(); }) {}
    ~Watcher() { Stop(); }
    void Stop()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string m_strBox;

private:
    void Run()
    {
        support::WaitUntil([this] {
            if (HWND hBox = FindOwnWindow(true))
            {
                char text[1024] = "";
                ::GetDlgItemTextA(hBox, 0xFFFF, text, sizeof(text));
                m_strBox = text;
                ::PostMessageA(::GetDlgItem(hBox, IDOK), BM_CLICK, 0, 0);
            }
            return m_bStop.load();
        }, 120000);
    }
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

}  // namespace

// Catches: an existing folder not merged into, a replaced file (read-only, hidden or
// system included) keeping old content or attributes, a temporary file left behind, or a
// reinstallation refused for the room that the files it replaces give back.
TEST(CopyTest, MergesIntoAFolderAndReplacesFilesWithTheSourcesAttributes)
{
    TempTree tmp("merge");
    const struct { const char* name; DWORD dwOld; DWORD dwNew; } files[] = {
        { "plain.txt", FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE },
        { "ro.txt", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_ARCHIVE },
        { "hidsys.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_READONLY },
        { "sub\\new.txt", 0, FILE_ATTRIBUTE_HIDDEN },
    };
    tmp.Write("dst\\keep.txt", "kept");
    for (const auto& f : files)
    {
        tmp.Write(std::string("src\\") + f.name, std::string("new ") + f.name);
        ::SetFileAttributesA((tmp / "src\\" + f.name).c_str(), f.dwNew);
        if (f.dwOld == 0)
            continue;
        tmp.Write(std::string("dst\\") + f.name, "old");
        ::SetFileAttributesA((tmp / "dst\\" + f.name).c_str(), f.dwOld);
    }
    support::MakeDirs(tmp / "src\\empty");
    support::WriteSparse(tmp / "src\\big.bin", 60 << 20, "new big");   // 60 MB over 60 MB: fits in 8 MB
    support::WriteSparse(tmp / "dst\\big.bin", 60 << 20, "old big");
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &EightMegabytesFree;
    Watcher watcher;
    Outcome outcome = Copy(tmp / "src", tmp / "dst");
    watcher.Stop();
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
    EXPECT_EQ("", watcher.m_strBox);
    EXPECT_EQ("new big", ReadBytes(tmp / "dst\\big.bin").substr(0, 7));
    EXPECT_EQ(0, outcome.nResult);
    EXPECT_FALSE(outcome.bAborted);
    Tree expected = Snapshot(tmp / "src");
    expected["keep.txt"] = "kept";
    EXPECT_EQ(expected, Snapshot(tmp / "dst"));
    for (const auto& f : files)
        EXPECT_EQ(::GetFileAttributesA((tmp / "src\\" + f.name).c_str()),
                  ::GetFileAttributesA((tmp / "dst\\" + f.name).c_str())) << f.name;
}

// Catches: a cancel that leaves a half file, truncates or deletes a file it was replacing,
// or leaves its temporary file; a cancel not reported as one.
TEST(CopyTest, CancelLeavesEveryFileWholeTheEarlierOneOrTheNewOne)
{
    for (bool bReinstall : { false, true })
    {
        SCOPED_TRACE(bReinstall ? "over an earlier installation, by the close box" : "into a new folder, by Cancel");
        TempTree tmp("cancel");
        Tree earlier;
        for (const char* name : { "a.txt", "b\\c.txt", "big.bin", "z.txt" })
        {
            tmp.Write(std::string("src\\") + name, std::string("new ") + name);
            earlier[name] = std::string("old ") + name;
            if (bReinstall)
                tmp.Write(std::string("dst\\") + name, earlier[name]);
        }
        support::WriteSparse(tmp / "src\\big.bin", 256 << 20, "new big");
        g_bCancelPressed = false;
        g_bCloseBox = bReinstall;
        g_bGaveUp = false;
        g_llBytesRead = 0;
        CFileTreeCopier::s_pfnReadFile = &ReadsUntilCancel;
        Watcher watcher;
        Outcome outcome = Copy(tmp / "src", tmp / "dst");
        watcher.Stop();
        CFileTreeCopier::s_pfnReadFile = &::ReadFile;
        ASSERT_TRUE(g_bCancelPressed);
        EXPECT_EQ("", watcher.m_strBox) << "a cancel is no error";
        EXPECT_EQ(ERROR_CANCELLED, outcome.nResult);
        EXPECT_TRUE(outcome.bAborted);
        EXPECT_TRUE(ReadBytes(tmp / "dst\\big.bin") == (bReinstall ? earlier["big.bin"] : ""));
        for (const auto& entry : Snapshot(tmp / "dst"))
        {
            if (entry.second == "<dir>")
                continue;
            ASSERT_EQ(1u, earlier.count(entry.first)) << entry.first << " is no file of the source";
            if (entry.second != earlier[entry.first] || !bReinstall)
            {
                EXPECT_TRUE("new " + entry.first == entry.second) << entry.first << " is not whole";
            }
        }
    }
}

namespace {

// Gives at most 1000 bytes a call, as a network share or a scratched disc may.
BOOL WINAPI ShortReads(HANDLE h, LPVOID pBuffer, DWORD dwWanted, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    return ::ReadFile(h, pBuffer, dwWanted < 1000 ? dwWanted : 1000, pdwRead, pOverlapped);
}

}  // namespace

// Catches: an error not returned or not shown in the box, and anything made before the
// copy is refused: a disk too small or a folder path past CreateDirectoryA's limit
// (MAX_PATH - 12) must be found before the first folder, not halfway.
TEST(CopyTest, RefusedCopiesSayWhyAndMakeNothing)
{
    TempTree tmp("error");
    tmp.Write("src\\sub\\a.txt", "a");
    tmp.Write("blocker", "a file in the way");
    tmp.Write("big\\sub\\big.bin", "");
    support::WriteSparse(tmp / "big\\sub\\big.bin", (60 << 20) - (64 << 10), "big");   // 60 MB with the clusters
    std::string deep = tmp.Path() + std::string(MAX_PATH - 12 - tmp.Path().size() - 4, 'd');  // + "\\sub": 248
    const struct { const char* what; std::string src, dst; int nResult; std::string boxNames; } cases[] = {
        { "a missing source", tmp / "missing", tmp / "out", ERROR_FILE_NOT_FOUND, tmp / "missing" },
        { "a file in the way", tmp / "src", tmp / "blocker\\out", ERROR_PATH_NOT_FOUND, tmp / "blocker\\out" },
        { "the destination inside the source", tmp / "src", tmp / "SRC\\out", ERROR_BAD_PATHNAME, tmp / "SRC\\out" },
        { "a folder path of 248 bytes", tmp / "src", deep, ERROR_FILENAME_EXCED_RANGE, deep + "\\sub" },
        { "a disk with 8 MB free", tmp / "big", tmp / "dst\\db", ERROR_DISK_FULL, "There is not enough free space on drive "
          + tmp.Path().substr(0, 2) + ". The copy needs 60 MB; 8 MB are free." },
    };
    Tree before = Snapshot(tmp.Path());
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &EightMegabytesFree;
    for (const auto& c : cases)
    {
        Watcher watcher;
        Outcome outcome = Copy(c.src, c.dst);
        watcher.Stop();
        EXPECT_EQ(c.nResult, outcome.nResult) << c.what;
        EXPECT_FALSE(outcome.bAborted) << c.what;
        EXPECT_NE(std::string::npos, watcher.m_strBox.find(c.boxNames)) << c.what << ": " << watcher.m_strBox;
        EXPECT_EQ(before, Snapshot(tmp.Path())) << c.what;
    }
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
}

// Catches: a short read taken for the end of the file (a truncated copy and no error).
TEST(CopyTest, ShortReadsStillCopyTheWholeFile)
{
    TempTree tmp("short");
    std::string content;
    for (int i = 0; content.size() < (3u << 20); ++i)
        content += std::to_string(i) + ' ';
    tmp.Write("src\\f.bin", content);
    CFileTreeCopier::s_pfnReadFile = &ShortReads;
    Outcome outcome = Copy(tmp / "src", tmp / "dst");
    CFileTreeCopier::s_pfnReadFile = &::ReadFile;
    EXPECT_EQ(0, outcome.nResult);
    EXPECT_TRUE(ReadBytes(tmp / "dst\\f.bin") == content) << "copied " << ReadBytes(tmp / "dst\\f.bin").size();
}
