// The copying engine (CopyWithProgress over CFileTreeCopier) on real folders under the
// temporary folder, with its progress window and error box driven from a second thread.
// The run (FileRun: Retry, Cancel, one question per fault) is tested through the copy:
// ErrorsThatGoAway and AFaultThatFourWriters. CopyScan: Refused. CopyDestinations and
// CopyLeftovers: OnlyTheEnginesOwnLeftovers. CopyFiles: Merges, AKilledCopy, CopyMediaTest.
// CopyNewTrees: TwoCopiesIntoOneFolder, CancelPlacesNoHalfFile.
#include "Process.h"
#include "TempTree.h"
#include "TreeSnapshot.h"
#include "Wait.h"

#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"
#include "platform/copy/CopyWithProgress.h"
#include "platform/copy/FileTreeCopier.h"
#include "platform/copy/HeldFolder.h"
#include "platform/copy/OwnFolders.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

using support::ReadBytes;
using support::Snapshot;
using support::TempTree;
using support::WidePath;
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

// The error box: owned by the progress window, captioned with the title as it is.
HWND FindErrorBox()
{
    for (HWND h : support::WindowsTitled(L"Copying..."))
    {
        if (::GetWindow(h, GW_OWNER) != nullptr)
            return h;
    }
    return nullptr;
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
            if (HWND hBox = FindErrorBox())
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

// Gives at most 1000 bytes a call, as a network share or a scratched disc may.
BOOL WINAPI ShortReads(HANDLE h, LPVOID pBuffer, DWORD dwWanted, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    return ::ReadFile(h, pBuffer, dwWanted < 1000 ? dwWanted : 1000, pdwRead, pOverlapped);
}

std::string Pattern(size_t nSize, const std::string& seed)
{
    std::string content;
    for (int i = 0; content.size() < nSize; ++i)
        content += seed + std::to_string(i) + ' ';
    return content;
}

}  // namespace

// Catches: an existing folder not merged into, a replaced file (read-only, hidden or
// system included) keeping old content or attributes, a temporary file left behind, or a
// short read taken for the end of a file (a truncated copy and no error).
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
    tmp.Write("src\\big.bin", Pattern(3 << 20, "new"));
    tmp.Write("dst\\big.bin", Pattern(3 << 20, "old"));
    CFileTreeCopier::s_pfnReadFile = &ShortReads;
    Watcher watcher;
    Outcome outcome = Copy(tmp / "src", tmp / "dst");
    watcher.Stop();
    CFileTreeCopier::s_pfnReadFile = &::ReadFile;
    EXPECT_EQ("", watcher.m_strBox);
    EXPECT_TRUE(ReadBytes(tmp / "src\\big.bin") == ReadBytes(tmp / "dst\\big.bin"));
    EXPECT_EQ(0, outcome.nResult);
    EXPECT_FALSE(outcome.bAborted);
    Tree expected = Snapshot(tmp / "src");
    expected["keep.txt"] = "kept";
    EXPECT_EQ(expected, Snapshot(tmp / "dst"));
    for (const auto& f : files)
        EXPECT_EQ(::GetFileAttributesA((tmp / "src\\" + f.name).c_str()),
                  ::GetFileAttributesA((tmp / "dst\\" + f.name).c_str())) << f.name;
}


// Catches: an error that trying again cannot mend not returned or not shown in its box
// (OK alone), and anything made before the copy is refused: a folder path past
// CreateDirectoryA's limit (MAX_PATH - 12) must be found before the first folder.
TEST(CopyTest, RefusedCopiesSayWhyAndMakeNothing)
{
    TempTree tmp("error");
    tmp.Write("src\\sub\\a.txt", "a");
    std::string deep = tmp.Path() + std::string(MAX_PATH - 12 - tmp.Path().size() - 4, 'd');  // + "\\sub": 248
    const struct { const char* what; std::string src, dst; int nResult; std::string boxNames; } cases[] = {
        { "a missing source", tmp / "missing", tmp / "out", ERROR_FILE_NOT_FOUND, tmp / "missing" },
        { "the destination inside the source", tmp / "src", tmp / "SRC\\out", ERROR_BAD_PATHNAME, tmp / "SRC\\out" },
        { "a folder path of 248 bytes", tmp / "src", deep, ERROR_FILENAME_EXCED_RANGE, deep + "\\sub" },
    };
    Tree before = Snapshot(tmp.Path());
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
}


namespace {

// Faults that go away: each seam fails while its count lasts, halfway through the one
// file of more than a megabyte.
std::atomic<int> g_nReadFaults{0}, g_nWriteFaults{0};
ULONGLONG g_ullFreeBytes = 0;

bool PastFirstMegabyte(HANDLE h)
{
    LARGE_INTEGER zero = {}, pos = {};
    return ::SetFilePointerEx(h, zero, &pos, FILE_CURRENT) && pos.QuadPart >= (1 << 20);
}

BOOL WINAPI ScratchedRead(HANDLE h, LPVOID pBuffer, DWORD dwWanted, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    if (PastFirstMegabyte(h) && g_nReadFaults.fetch_sub(1) > 0)
        return ::SetLastError(ERROR_CRC), FALSE;
    return ::ReadFile(h, pBuffer, dwWanted, pdwRead, pOverlapped);
}

// A write past the first megabyte of a file goes first to the test's hook, which may fail it.
std::function<DWORD(HANDLE)> g_pastFirstMegabyte;

BOOL WINAPI HookedWrite(HANDLE h, LPCVOID pBuffer, DWORD dwSize, LPDWORD pdwWritten, LPOVERLAPPED pOverlapped)
{
    DWORD dwError = PastFirstMegabyte(h) && g_pastFirstMegabyte ? g_pastFirstMegabyte(h) : 0;
    return dwError != 0 ? (::SetLastError(dwError), FALSE) : ::WriteFile(h, pBuffer, dwSize, pdwWritten, pOverlapped);
}

BOOL WINAPI SeamFreeSpace(LPCSTR, PULARGE_INTEGER pFree, PULARGE_INTEGER pTotal, PULARGE_INTEGER pTotalFree)
{
    pFree->QuadPart = pTotal->QuadPart = pTotalFree->QuadPart = g_ullFreeBytes;
    return TRUE;
}

// Answers each question as the test says, after clearing its cause or not.
class AnsweringCopier : public CFileTreeCopier
{
public:
    std::function<Recovery()> answer;
    std::vector<std::string> questions;

protected:
    Recovery OnRecoverableError(const CString& strText, DWORD) override
    {
        questions.push_back(static_cast<LPCSTR>(strText));
        return answer();
    }
};

}  // namespace

// Catches: an error that trying again can mend ending the copy at once; a retry that does
// not start the file again, counts its bytes twice or leaves a temporary file; a question
// that does not name the file or say what happened; a file in use or a full disk found
// only after the bytes were copied; a Cancel there that leaves a half file; and the free
// space counted without the room that a replacement needs beside the file it replaces
// (3 MB over 3 MB does not fit in 2 MB).
TEST(CopyTest, ErrorsThatGoAwayAreAskedAboutAndRetriedOrCancelled)
{
    enum Fault { Scratched, DiskFills, FileHeld, ShortDisk, FileInTheWay };
    const struct { const char* what; Fault fault; const char* says; const char* names; size_t nQuestions; } cases[] = {
        { "a scratched disc", Scratched, "If it is on a disc, clean the disc", "src\\big.bin", 2 },
        { "a disk that fills", DiskFills, ": the disk is full.", "dst\\big.bin", 1 },
        { "a file in use", FileHeld, "is in use by another program. Close that program", "dst\\big.bin", 1 },
        { "a short disk", ShortDisk, ". The copy needs 4 MB; 2 MB are free.", "There is not enough free space on drive", 1 },
        { "a file in the way", FileInTheWay, "\": a file of that name is in the way.", "dst\\sub", 1 },
    };
    CFileTreeCopier::s_pfnReadFile = &ScratchedRead;
    CFileTreeCopier::s_pfnWriteFile = &HookedWrite;
    g_pastFirstMegabyte = [](HANDLE) { return g_nWriteFaults.fetch_sub(1) > 0 ? DWORD(ERROR_DISK_FULL) : 0; };
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &SeamFreeSpace;
    for (const auto& c : cases)
    {
        for (bool bRetry : { true, false })
        {
            SCOPED_TRACE(std::string(c.what) + (bRetry ? ", Retry" : ", Cancel"));
            TempTree tmp("retry");
            Tree earlier;
            for (const char* name : { "a.txt", "big.bin", "sub\\b.txt" })
            {
                tmp.Write(std::string("src\\") + name, Pattern(strcmp(name, "big.bin") ? 10 : 3 << 20, "new"));
                std::string old = c.fault == FileInTheWay && name[0] == 's' ? "sub" : name;
                earlier[old] = Pattern(strcmp(name, "big.bin") ? 10 : 3 << 20, "old");
                tmp.Write("dst\\" + old, earlier[old]);
            }
            Tree before = Snapshot(tmp / "dst");
            g_nReadFaults = c.fault == Scratched ? 2 : 0;
            g_nWriteFaults = c.fault == DiskFills ? 1 : 0;
            g_ullFreeBytes = c.fault == ShortDisk ? 2 << 20 : 1ull << 40;
            HANDLE hHeld = ::CreateFileA((tmp / "dst\\big.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         c.fault == FileHeld ? OPEN_EXISTING : 0, 0, nullptr);
            AnsweringCopier copier;
            copier.AddCopyJob((tmp / "src").c_str(), (tmp / "dst").c_str());
            copier.answer = [&] {
                EXPECT_TRUE((c.fault != ShortDisk && c.fault != FileInTheWay) || before == Snapshot(tmp / "dst"))
                    << "changed before the question";
                EXPECT_TRUE(c.fault != FileHeld || g_nReadFaults == 0) << "the file in use was found after its copy";
                if (!bRetry)
                    return CFileTreeCopier::recoverCancel;
                ::CloseHandle(std::exchange(hHeld, INVALID_HANDLE_VALUE));
                g_ullFreeBytes = 1ull << 40;
                if (c.fault == FileInTheWay)
                    ::DeleteFileA((tmp / "dst\\sub").c_str());
                return CFileTreeCopier::recoverRetry;
            };
            DWORD dwResult = copier.Run();
            ::CloseHandle(hHeld);
            ASSERT_EQ(bRetry ? c.nQuestions : 1u, copier.questions.size());
            EXPECT_NE(std::string::npos, copier.questions[0].find(c.says)) << copier.questions[0];
            EXPECT_NE(std::string::npos, copier.questions[0].find(c.names)) << copier.questions[0];
            EXPECT_EQ(bRetry ? 0u : ERROR_CANCELLED, dwResult);
            EXPECT_TRUE(!bRetry || copier.GetTotalBytes() == copier.GetBytesDone()) << "bytes counted twice";
            // Every file whole, the new one or (after Cancel) the earlier one, and no other.
            Tree after = Snapshot(tmp / "dst");
            EXPECT_EQ((bRetry ? Snapshot(tmp / "src") : before).size(), after.size());
            for (const auto& entry : after)
            {
                std::string content = ReadBytes(tmp / "dst\\" + entry.first);
                EXPECT_TRUE(entry.second == "<dir>" || content == ReadBytes(tmp / "src\\" + entry.first)
                            || (!bRetry && content == earlier[entry.first])) << entry.first;
            }
        }
    }
    CFileTreeCopier::s_pfnReadFile = &::ReadFile;
    CFileTreeCopier::s_pfnWriteFile = &::WriteFile;
    CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
}

// Catches: a file under its own name before it is whole (after a kill, the right size with
// a tail of zeros), in a new tree or in an earlier installation, and temporary files or
// folders of a killed copy that stay for good.
TEST(CopyTest, AKilledCopyLeavesWholeFilesAndTheNextCopyTidiesUp)
{
    // The copy is killed in a child process (a death test), which runs this test afresh:
    // it takes the parent's tree from the environment.
    TempTree tmp("kill");
    const char* pszParentTree = std::getenv("VORMEL_KILLED_TREE");
    const std::string root = pszParentTree != nullptr ? pszParentTree : tmp.Path();
    if (pszParentTree == nullptr)
    {
        for (const char* name : { "a.txt", "big.bin", "sub\\huge.bin" })
            tmp.Write(std::string("src\\") + name, Pattern(name[0] == 'a' ? 10 : 3 << 20, "new"));
        tmp.Write("earlier\\big.bin", "old");
        _putenv(("VORMEL_KILLED_TREE=" + root).c_str());
    }
    EXPECT_EXIT({
        CFileTreeCopier::s_pfnWriteFile = &HookedWrite;
        g_pastFirstMegabyte = [](HANDLE) -> DWORD { ::TerminateProcess(::GetCurrentProcess(), 3); return 0; };
        CFileTreeCopier copier;
        for (const char* dest : { "earlier", "new" })
            copier.AddCopyJob((root + "src").c_str(), (root + dest).c_str());
        copier.Run();
    }, ::testing::ExitedWithCode(3), "");
    _putenv("VORMEL_KILLED_TREE=");

    int nLeftovers = 0;
    for (const auto& entry : Snapshot(tmp.Path()))
    {
        std::string name = entry.first.substr(entry.first.rfind('\\') + 1), sub = entry.first.substr(entry.first.find('\\') + 1);
        if (CCopyTempFile::IsTempName(name.c_str()))
            ++nLeftovers;
        else if (entry.second != "<dir>" && entry.first != "earlier\\big.bin" && entry.first.find("~vm") == std::string::npos)
        {
            EXPECT_TRUE(ReadBytes(tmp / "src\\" + sub) == ReadBytes(tmp / entry.first)) << entry.first;
        }
    }
    EXPECT_LE(1, nLeftovers) << "the kill came before any file was begun";
    std::string big = ReadBytes(tmp / "earlier\\big.bin");
    EXPECT_TRUE(big == "old" || big == ReadBytes(tmp / "src\\big.bin"));
    for (const char* dest : { "earlier", "new" })
        EXPECT_EQ(0, Copy(tmp / "src", tmp / dest).nResult);
    Tree src = Snapshot(tmp / "src");
    Tree expected = { { "src", "<dir>" }, { "earlier", "<dir>" }, { "new", "<dir>" } };
    for (const char* folder : { "src\\", "earlier\\", "new\\" })
        for (const auto& entry : src)
            expected[folder + entry.first] = entry.second;
    EXPECT_EQ(expected, Snapshot(tmp.Path()));
}

namespace {

std::atomic<int> g_nReading{0}, g_nMostReading{0};
std::atomic<bool> g_bFirstRead{true};

// Counts the reads under way at once; the first read waits a while for a second one.
BOOL WINAPI CountedRead(HANDLE h, LPVOID pBuffer, DWORD dwWanted, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    int n = ++g_nReading;
    for (int nMost = g_nMostReading; n > nMost && !g_nMostReading.compare_exchange_weak(nMost, n);)
    {
    }
    if (g_bFirstRead.exchange(false))
        support::WaitUntil([] { return g_nMostReading > 1; }, 5000);
    BOOL bRead = ::ReadFile(h, pBuffer, dwWanted, pdwRead, pOverlapped);
    --g_nReading;
    return bRead;
}

}  // namespace

// Catches: a copy from a CD-ROM that reads with more than one thread (the drive would seek
// back and forth), or one from a disk that lost its parallel readers.
TEST(CopyMediaTest, OneReaderFromTheCdRomSeveralFromADisk)
{
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeA("R:\\"));
    TempTree tmp("readers");
    CFileTreeCopier::s_pfnReadFile = &CountedRead;
    for (const std::string& from : { std::string("R:\\"), tmp / "cd\\" })
    {
        g_nMostReading = 0;
        g_bFirstRead = true;
        CFileTreeCopier copier;
        for (const char* name : { "landuse", "terrain", "1kmav_dem" })
            copier.AddCopyJob((from + name).c_str(), (tmp / (from[0] == 'R' ? "cd\\" : "disk\\") + name).c_str());
        EXPECT_EQ(0u, copier.Run()) << from;
        EXPECT_EQ(from[0] == 'R', g_nMostReading == 1) << from << ": " << g_nMostReading << " reads at once";
    }
    CFileTreeCopier::s_pfnReadFile = &::ReadFile;
}

namespace {

std::string g_leftover;   // a file of a killed copy's leftover, on a disk with room for the copy only without it
std::map<std::string, std::string> g_foldersMade;   // each folder the copy made -> the access list it was made with

BOOL WINAPI RecordedCreateDirectory(LPCSTR pszPath, LPSECURITY_ATTRIBUTES pSecurity)
{
    LPSTR pszSddl = nullptr;
    if (pSecurity != nullptr)
        ::ConvertSecurityDescriptorToStringSecurityDescriptorA(pSecurity->lpSecurityDescriptor, SDDL_REVISION_1,
                                                               DACL_SECURITY_INFORMATION, &pszSddl, nullptr);
    g_foldersMade[pszPath] = pszSddl != nullptr ? pszSddl : "";
    ::LocalFree(pszSddl);
    return ::CreateDirectoryA(pszPath, pSecurity);
}


BOOL WINAPI FreeSpaceBesideLeftover(LPCSTR, PULARGE_INTEGER pFree, PULARGE_INTEGER pTotal, PULARGE_INTEGER pTotalFree)
{
    bool bThere = ::GetFileAttributesA(g_leftover.c_str()) != INVALID_FILE_ATTRIBUTES;
    pFree->QuadPart = pTotal->QuadPart = pTotalFree->QuadPart = bThere ? 1 << 20 : 4 << 20;
    return TRUE;
}

}  // namespace

// Catches: a clean-up that goes through a link named like the engine's temporary folder
// (deleting what it leads to), into a link inside a leftover, or to a "best fit" ANSI
// name's look-alike ("..\\..\\elsewhere" for "..¥..¥elsewhere" in code page 932); one that
// takes a user's own folder or file of the engine's name; leftovers counted against the
// free space before they are removed (no copy on a small disk for good); a copy that writes
// through a link where a data folder goes; and a privileged run whose new folders inherit
// what users may do in the folder above.
TEST(CopyTest, OnlyTheEnginesOwnLeftoversGoAndTheCopyCompletes)
{
    enum Kind { Link, UsersFolder, UsersFile, LeftoverOnASmallDisk, BestFitName, LinkInLeftover, LinkAtDataFolder };
    for (Kind kind : { Link, UsersFolder, UsersFile, LeftoverOnASmallDisk, BestFitName, LinkInLeftover, LinkAtDataFolder })
    {
        SCOPED_TRACE(kind);
        TempTree tmp("leftover");
        tmp.Write("src\\landuse\\a.bin", Pattern(2 << 20, "a"));
        const std::string mine = kind == UsersFolder ? "dst\\~vm0002.tmp\\mine.txt" : kind == UsersFile ? "dst\\~vm0001.tmp" : "elsewhere\\mine.txt";
        tmp.Write(mine, "mine");
        g_leftover = tmp / "none";
        support::MakeDirs(tmp / "dst\\");
        // Unix symbolic links, which Wine shows as folders with the reparse-point attribute.
        const std::string link = tmp / (kind == Link ? "dst\\~vm0001.tmp" : kind == LinkAtDataFolder ? "dst\\landuse" : "");
        if (kind == Link || kind == LinkAtDataFolder)
        {
            ASSERT_TRUE(tmp.MakeLink(tmp / "elsewhere", link));
        }
        else if (kind == LeftoverOnASmallDisk || kind == BestFitName || kind == LinkInLeftover)
        {
            CCopyTempFolder killed;
            ASSERT_EQ(0u, killed.Create((tmp / "dst").c_str()));
            const std::string leftover(killed.GetPath());
            g_leftover = leftover + "\\big.bin";
            tmp.Write(g_leftover.substr(tmp.Path().size()), Pattern(3 << 20, "x"));
            bool bPlanted = kind == BestFitName ? ::CreateDirectoryW((WidePath(leftover) + L"\\..\u00A5..\u00A5elsewhere").c_str(), nullptr)
                : kind != LinkInLeftover || tmp.MakeLink(tmp / "elsewhere", leftover + "\\link");
            ASSERT_TRUE(bPlanted);
            killed.Release();
        }
        CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &FreeSpaceBesideLeftover;
        COwnFolders::s_pfnCreateDirectory = &RecordedCreateDirectory;
        g_foldersMade.clear();
        AnsweringCopier copier;
        copier.answer = [] { return CFileTreeCopier::recoverCancel; };
        copier.AddCopyJob((tmp / "src\\landuse").c_str(), (tmp / "dst\\landuse").c_str());
        DWORD dwResult = copier.Run();
        CFileTreeCopier::s_pfnGetDiskFreeSpaceEx = &::GetDiskFreeSpaceExA;
        COwnFolders::s_pfnCreateDirectory = &::CreateDirectoryA;
        EXPECT_EQ("mine", ReadBytes(tmp / mine));
        if (kind == LinkAtDataFolder)
        {
            EXPECT_EQ(CHeldFolder::kErrorLink, dwResult);
            EXPECT_NE(std::string::npos, std::string(copier.GetErrorDescription()).find(link)) << copier.GetErrorDescription();
            EXPECT_EQ(Tree({ { "mine.txt", "mine" } }), Snapshot(tmp / "elsewhere"));
            continue;
        }
        EXPECT_EQ(0u, dwResult) << (copier.questions.empty() ? "" : copier.questions[0]);
        EXPECT_EQ(Snapshot(tmp / "src\\landuse"), Snapshot(tmp / "dst\\landuse"));
        EXPECT_TRUE(g_leftover == tmp / "none" || ::GetFileAttributesA(g_leftover.c_str()) == INVALID_FILE_ATTRIBUTES);
        // Wine keeps no access lists: what each folder was made with is what can be seen.
        EXPECT_FALSE(g_foldersMade.empty());
        for (const auto& made : g_foldersMade)
            EXPECT_EQ(COwnFolders::IsPrivilegedRun() ? COwnFolders::kSddl : "", made.second) << made.first;
    }
}

namespace {

std::atomic<int> g_nFullWriters{0};
std::atomic<bool> g_bFirstCopyWaiting{false}, g_bSecondCopyDone{false};

}  // namespace

// Catches: a box for each thread that met the fault before the answer (after Retry the
// others try again unasked).
TEST(CopyTest, AFaultThatFourWritersMeetIsAskedOnce)
{
    TempTree tmp("four");
    for (const char* name : { "a.bin", "b.bin", "c.bin", "d.bin" })
        tmp.Write(std::string("src\\") + name, Pattern(2 << 20, name));
    // A full disk, met by four threads at once: each waits for the others to meet it too.
    std::atomic<bool> bDiskFull{true};
    g_pastFirstMegabyte = [&](HANDLE) {
        DWORD dwError = bDiskFull ? ERROR_DISK_FULL : 0;
        ++g_nFullWriters;
        support::WaitUntil([] { return g_nFullWriters >= 4; }, 10000);
        return dwError;
    };
    CFileTreeCopier::s_pfnWriteFile = &HookedWrite;
    AnsweringCopier copier;
    copier.answer = [&] { return bDiskFull = false, CFileTreeCopier::recoverRetry; };
    copier.AddCopyJob((tmp / "src").c_str(), (tmp / "dst").c_str());
    EXPECT_EQ(0u, copier.Run());
    CFileTreeCopier::s_pfnWriteFile = &::WriteFile;
    EXPECT_EQ(1u, copier.questions.size());
    EXPECT_EQ(Snapshot(tmp / "src"), Snapshot(tmp / "dst"));
}

// Catches: a second copy into the same folder (another medium, another user) that takes
// the first one's tree in progress for a leftover, and a first copy that then reports
// success with files missing or refuses the folder that the second one placed first.
TEST(CopyTest, TwoCopiesIntoOneFolderBothComplete)
{
    TempTree tmp("two");
    for (const char* media : { "cd1\\", "cd2\\" })
        for (const char* name : { "landuse\\a.txt", "landuse\\sub\\b.txt" })
            tmp.Write(std::string(media) + name, Pattern(100, name));
    tmp.Write("cd1\\landuse\\big.bin", Pattern(2 << 20, "big"));
    // The first copy's one large file waits past its first megabyte until the second copy is done.
    g_pastFirstMegabyte = [](HANDLE) {
        g_bFirstCopyWaiting = true;
        return support::WaitUntil([] { return g_bSecondCopyDone.load(); }, 30000), DWORD(0);
    };
    CFileTreeCopier::s_pfnWriteFile = &HookedWrite;
    CFileTreeCopier first, second;
    first.AddCopyJob((tmp / "cd1\\landuse").c_str(), (tmp / "dst\\landuse").c_str());
    second.AddCopyJob((tmp / "cd2\\landuse").c_str(), (tmp / "dst\\landuse").c_str());
    DWORD dwFirst = ERROR_GEN_FAILURE;
    std::thread running([&] { dwFirst = first.Run(); });
    EXPECT_TRUE(support::WaitUntil([] { return g_bFirstCopyWaiting.load(); }));
    EXPECT_EQ(0u, second.Run());
    g_bSecondCopyDone = true;
    running.join();
    CFileTreeCopier::s_pfnWriteFile = &::WriteFile;
    EXPECT_EQ(0u, dwFirst);
    EXPECT_EQ(Snapshot(tmp / "cd1\\landuse"), Snapshot(tmp / "dst\\landuse"));
}

// Catches: a new tree moved into place at Cancel with a half file that could not be removed.
TEST(CopyTest, CancelPlacesNoHalfFile)
{
    TempTree tmp("half");
    tmp.Write("src\\big.bin", Pattern(3 << 20, "big"));
    CFileTreeCopier copier;
    // Past the first megabyte a scanner opens the file being written, and the user cancels.
    HANDLE hScanner = nullptr;
    g_pastFirstMegabyte = [&](HANDLE h) {
        if (hScanner == nullptr)
            ::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &hScanner, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return copier.RequestCancel(), DWORD(0);
    };
    CFileTreeCopier::s_pfnWriteFile = &HookedWrite;
    copier.AddCopyJob((tmp / "src").c_str(), (tmp / "dst").c_str());
    EXPECT_EQ(ERROR_CANCELLED, copier.Run());
    CFileTreeCopier::s_pfnWriteFile = &::WriteFile;
    ::CloseHandle(hScanner);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((tmp / "dst").c_str()));
}
