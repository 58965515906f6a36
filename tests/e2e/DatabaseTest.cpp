// The database screen end to end: the questions, the folder browser, the copy, the
// registry record and the result message, with the real exe under Wine.
#include "Driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sddl.h>
#include <shlobj.h>

using namespace driver;

namespace {

const DWORD kTimeout = 20000;
const char kKey[] = "SOFTWARE\\BRANTIK\\VORMEL\\reri\\Path";
const std::wstring kSpaceQuestion =
    L"The installation requires available disk space of \"426MB\".\nDoes it install?";
const std::wstring kStartQuestion = L"The installation is started. Is it all right?";

std::string ReadRegistryPath()
{
    char buffer[1024] = "";
    DWORD size = sizeof(buffer);
    if (::RegGetValueA(HKEY_CURRENT_USER, kKey, "reriPath", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "<none>";
    return buffer;
}

void SetRegistryPath(const char* value)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    ::RegSetValueExA(hKey, "reriPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    ::RegCloseKey(hKey);
}

// A sparse file: made at once, yet the copy has to write all of it.
void AddLargeFile(const std::string& path, LONGLONG size)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER li;
    li.QuadPart = size;
    ::SetFilePointerEx(h, li, nullptr, FILE_BEGIN);
    ::SetEndOfFile(h);
    ::CloseHandle(h);
}

bool SameTree(const std::string& a, const std::string& b)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((a + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    bool same = true;
    do
    {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            same = same && SameTree(a + "\\" + name, b + "\\" + name);
        else if (fd.nFileSizeLow < 1024 * 1024)
            same = same && Exists(b + "\\" + name) && ReadBytes(a + "\\" + name) == ReadBytes(b + "\\" + name);
        else
            same = same && Exists(b + "\\" + name);
    } while (same && ::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return same;
}

LONGLONG FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Every file found in the copy has the size of its original: none was left half-written.
bool EveryCopiedFileIsWhole(const std::string& source, const std::string& copy)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((copy + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return true;
    bool whole = true;
    do
    {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            whole = whole && EveryCopiedFileIsWhole(source + "\\" + name, copy + "\\" + name);
        else
            whole = whole && FileSize(copy + "\\" + name) == FileSize(source + "\\" + name);
    } while (whole && ::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return whole;
}

bool IsEmptyFolder(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((path + "*").c_str(), &fd);
    int n = 0;
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
            n += std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..";
        while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    return n == 0;
}

struct DatabaseRun
{
    Distribution dist;
    TempDir dest{ "dest" };
    Process process;
    HWND hMain = nullptr;
    std::vector<HWND> seen;

    DatabaseRun()
    {
        dist.SetInstallList("1\r\nTerrain and landuse database\r\n\r\n");
        dist.AddDataFolders();
    }

    void Start()
    {
        ASSERT_TRUE(process.Start(dist.exePath, dist.folder));
        hMain = process.WaitMainWindow(kTimeout);
        ASSERT_NE(nullptr, hMain);
        seen.push_back(hMain);
    }

    // The next dialog of the launcher that was not seen before: a message box, the
    // folder browser or the progress window.
    HWND NextWindow()
    {
        HWND hFound = nullptr;
        WaitUntil(
            [&] {
                for (HWND h : process.TopWindows())
                {
                    if (std::find(seen.begin(), seen.end(), h) == seen.end() && ClassName(h) == L"#32770")
                    {
                        hFound = h;
                        return true;
                    }
                }
                return false;
            },
            kTimeout);
        if (hFound != nullptr)
            seen.push_back(hFound);
        return hFound;
    }

    HWND ExpectBox(const std::wstring& text)
    {
        HWND hBox = NextWindow();
        EXPECT_NE(nullptr, hBox);
        if (hBox == nullptr)
            return nullptr;
        EXPECT_EQ(text, MessageText(hBox));
        EXPECT_EQ(L"VORMELSetup", WindowText(hBox));
        EXPECT_EQ(hMain, ::GetWindow(hBox, GW_OWNER));
        return hBox;
    }

    HWND ExpectBrowser()
    {
        HWND hBrowse = NextWindow();
        EXPECT_NE(nullptr, hBrowse);
        if (hBrowse != nullptr)
        {
            EXPECT_NE(nullptr, FindChildWithText(hBrowse, L"Please choose a folder."));
            EXPECT_EQ(hMain, ::GetWindow(hBrowse, GW_OWNER));
        }
        return hBrowse;
    }

    bool ButtonsEnabled() const
    {
        return IsEnabled(Item(hMain, IDC_INSTALL_DATABASE)) && IsEnabled(Item(hMain, IDC_EXIT));
    }
    bool ButtonsDisabled() const
    {
        return !IsEnabled(Item(hMain, IDC_INSTALL_DATABASE)) && !IsEnabled(Item(hMain, IDC_EXIT));
    }

    // Up to the start of the copy: both questions answered Yes and the folder chosen.
    void RunUpToCopy(const std::string& folder)
    {
        MakeDirs(folder);
        Click(hMain, IDC_INSTALL_DATABASE);
        HWND hBox = ExpectBox(kSpaceQuestion);
        ASSERT_NE(nullptr, hBox);
        Click(hBox, IDYES);
        HWND hBrowse = ExpectBrowser();
        ASSERT_NE(nullptr, hBrowse);
        ASSERT_TRUE(ChooseFolder(hBrowse, folder));
        hBox = ExpectBox(kStartQuestion);
        ASSERT_NE(nullptr, hBox);
        Click(hBox, IDYES);
    }

    // Starts a copy big enough to be watched (a sparse file of the given size in
    // "terrain") into folder, and returns its progress window once it is up.
    HWND StartLongCopy(const std::string& folder, LONGLONG size)
    {
        AddLargeFile(dist.folder + "terrain\\large.bin", size);
        Start();
        if (hMain == nullptr)
            return nullptr;
        RunUpToCopy(folder);
        HWND hProgress = process.WaitWindowTitled(L"Copying...", kTimeout);
        if (hProgress != nullptr)
            seen.push_back(hProgress);
        return hProgress;
    }

    // Answers the copy engine's own error report, then expects the launcher's result.
    HWND ExpectResultAfterCopy(const std::wstring& text)
    {
        HWND hBox = NextWindow();
        while (hBox != nullptr && WindowText(hBox) == L"Copying...")
        {
            if (!MessageText(hBox).empty())
            {
                // The engine's own error report: shown in the log, then answered.
                std::printf("copy engine reported: %s\n", Utf8(MessageText(hBox)).c_str());
                Click(hBox, IDOK);
            }
            hBox = NextWindow();
        }
        EXPECT_NE(nullptr, hBox);
        if (hBox != nullptr)
        {
            EXPECT_EQ(text, MessageText(hBox));
            EXPECT_EQ(L"VORMELSetup", WindowText(hBox));
        }
        return hBox;
    }
};

}  // namespace

TEST(DatabaseTest, WholeInstallationCopiesRecordsAndReports)
{
    DatabaseRun run;
    SetRegistryPath("C:\\older\\");
    std::string folder = run.dest.Path() + "data";

    // While the copy runs its progress window is up, unowned, and the launcher's database
    // and Exit buttons are off.
    HWND hProgress = run.StartLongCopy(folder, 400LL * 1024 * 1024);
    ASSERT_NE(nullptr, hProgress);
    EXPECT_EQ(nullptr, ::GetWindow(hProgress, GW_OWNER));
    EXPECT_TRUE(run.ButtonsDisabled());
    EXPECT_TRUE(IsEnabled(run.hMain)) << "the launcher itself stays live";

    HWND hResult = run.ExpectResultAfterCopy(L"Installation completed.");
    ASSERT_NE(nullptr, hResult);
    EXPECT_EQ(BoxIcon::Information, IconOf(hResult));
    EXPECT_TRUE(run.ButtonsDisabled()) << "still off while the result is up";
    EXPECT_EQ(folder + "\\", ReadRegistryPath());
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        EXPECT_TRUE(SameTree(run.dist.folder + name, folder + "\\" + name)) << name;

    Click(hResult, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return run.ButtonsEnabled(); }, kTimeout));
    EXPECT_TRUE(run.process.Running());
}

TEST(DatabaseTest, AnswersThatStopChangeNothing)
{
    enum Stop { NoToSpace, EscapeAtSpace, CancelInBrowser, NoToStart, EscapeAtStart };
    for (Stop stop : { NoToSpace, EscapeAtSpace, CancelInBrowser, NoToStart, EscapeAtStart })
    {
        SCOPED_TRACE(stop);
        DatabaseRun run;
        SetRegistryPath("C:\\older\\");
        run.Start();
        ASSERT_NE(nullptr, run.hMain);

        Click(run.hMain, IDC_INSTALL_DATABASE);
        HWND hBox = run.ExpectBox(kSpaceQuestion);
        ASSERT_NE(nullptr, hBox);
        if (stop == NoToSpace || stop == EscapeAtSpace)
        {
            if (stop == NoToSpace)
                Click(hBox, IDNO);
            else
                PressKey(hBox, VK_ESCAPE);
        }
        else
        {
            Click(hBox, IDYES);
            HWND hBrowse = run.ExpectBrowser();
            ASSERT_NE(nullptr, hBrowse);
            if (stop == CancelInBrowser)
            {
                Click(hBrowse, IDCANCEL);
            }
            else
            {
                MakeDirs(run.dest.Path() + "x");
                ASSERT_TRUE(ChooseFolder(hBrowse, run.dest.Path() + "x"));
                hBox = run.ExpectBox(kStartQuestion);
                ASSERT_NE(nullptr, hBox);
                if (stop == NoToStart)
                    Click(hBox, IDNO);
                else
                    PressKey(hBox, VK_ESCAPE);
            }
        }
        // Back to the launcher with nothing further shown, copied or recorded.
        EXPECT_TRUE(WaitUntil([&] { return run.process.TopWindows().size() == 1 && IsEnabled(run.hMain); }, kTimeout));
        EXPECT_EQ(nullptr, run.process.WaitWindowTitled(L"Copying...", 500));
        EXPECT_EQ(1u, run.process.TopWindows().size());
        EXPECT_TRUE(run.ButtonsEnabled());
        EXPECT_TRUE(IsEmptyFolder(run.dest.Path() + (stop == NoToStart || stop == EscapeAtStart ? "x\\" : "")));
        EXPECT_EQ("C:\\older\\", ReadRegistryPath());
    }
}

TEST(DatabaseTest, DestinationRootsGetExactlyOneBackslash)
{
    // A drive root keeps its one backslash; a folder whose name ends in 表 (0x95 0x5C)
    // gets one appended. The key is missing with its parents, and is created.
    // The test run has a Wine prefix of its own, so its drive C: may take the data.
    const std::string driveRoot = "C:\\";
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        RemoveTree(driveRoot + name);
    TempDir parent("jp");
    std::string japanese = parent.Path() + "\x92\x6E\x90\x7D\x95\x5C";  // 地図表
    MakeDirs(japanese);

    struct Case { std::string folder; std::string recorded; } cases[] = {
        { driveRoot, driveRoot },
        { japanese, japanese + "\\" },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.folder);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
        DatabaseRun run;
        run.Start();
        ASSERT_NE(nullptr, run.hMain);
        run.RunUpToCopy(c.folder);
        HWND hResult = run.ExpectResultAfterCopy(L"Installation completed.");
        ASSERT_NE(nullptr, hResult);
        EXPECT_EQ(c.recorded, ReadRegistryPath());
        EXPECT_TRUE(SameTree(run.dist.folder + "1kmav_dem", c.recorded + "1kmav_dem"));
        Click(hResult, IDOK);
    }
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        RemoveTree(driveRoot + name);
}

TEST(DatabaseTest, FailedOrCancelledCopyLeavesTheRegistryAlone)
{
    {
        SCOPED_TRACE("a data folder missing beside the launcher");
        DatabaseRun run;
        RemoveTree(run.dist.folder + "terrain");
        SetRegistryPath("C:\\older\\");
        run.Start();
        ASSERT_NE(nullptr, run.hMain);
        run.RunUpToCopy(run.dest.Path() + "data");
        HWND hResult = run.ExpectResultAfterCopy(L"Installation went wrong.");
        ASSERT_NE(nullptr, hResult);
        EXPECT_EQ("C:\\older\\", ReadRegistryPath());
        Click(hResult, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return run.ButtonsEnabled(); }, kTimeout));
    }
    {
        SCOPED_TRACE("Cancel in the progress window");
        DatabaseRun run;
        SetRegistryPath("C:\\older\\");
        HWND hProgress = run.StartLongCopy(run.dest.Path() + "data", 1024LL * 1024 * 1024);
        ASSERT_NE(nullptr, hProgress);
        Click(hProgress, IDCANCEL);
        HWND hResult = run.ExpectResultAfterCopy(L"Installation was interrupted by the user.");
        ASSERT_NE(nullptr, hResult);
        EXPECT_EQ("C:\\older\\", ReadRegistryPath());
        for (const char* name : { "landuse", "terrain", "1kmav_dem" })
            EXPECT_TRUE(EveryCopiedFileIsWhole(run.dist.folder + name, run.dest.Path() + "data\\" + name)) << name;
        EXPECT_FALSE(Exists(run.dest.Path() + "data\\terrain\\large.bin")) << "the file being written when Cancel came";
        Click(hResult, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return run.ButtonsEnabled(); }, kTimeout));
    }
}

TEST(DatabaseTest, UnwritableRegistryKeyIsReportedAndTheFilesStay)
{
    // The key exists but nobody may open it or create it again.
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | WRITE_DAC,
                                               nullptr, &hKey, nullptr));
    PSECURITY_DESCRIPTOR pLocked = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P", SDDL_REVISION_1, &pLocked, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pLocked));
    ::LocalFree(pLocked);

    DatabaseRun run;
    run.Start();
    ASSERT_NE(nullptr, run.hMain);
    std::string folder = run.dest.Path() + "data";
    run.RunUpToCopy(folder);
    HWND hResult = run.ExpectResultAfterCopy(L"Installation completed, but the database path could not be registered.");
    ASSERT_NE(nullptr, hResult);
    EXPECT_EQ(BoxIcon::Exclamation, IconOf(hResult));
    EXPECT_TRUE(SameTree(run.dist.folder + "landuse", folder + "\\landuse"));
    Click(hResult, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return run.ButtonsEnabled(); }, kTimeout));

    // No DACL at all opens the key to everybody again, for the tests that follow.
    SECURITY_DESCRIPTOR open;
    ::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &open));
    ::RegCloseKey(hKey);
    EXPECT_EQ(ERROR_SUCCESS, ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK"));
}

TEST(DatabaseTest, ClosingTheLauncherDuringTheCopyLetsTheCommandFinish)
{
    DatabaseRun run;
    SetRegistryPath("C:\\older\\");
    std::string folder = run.dest.Path() + "data";
    HWND hProgress = run.StartLongCopy(folder, 400LL * 1024 * 1024);
    ASSERT_NE(nullptr, hProgress);

    ::PostMessageW(run.hMain, WM_CLOSE, 0, 0);
    HWND hResult = run.ExpectResultAfterCopy(L"Installation completed.");
    ASSERT_NE(nullptr, hResult);
    EXPECT_EQ(folder + "\\", ReadRegistryPath());
    EXPECT_TRUE(Exists(folder + "\\terrain\\large.bin"));
    EXPECT_TRUE(run.process.Running()) << "the program waits for the result to be read";
    Click(hResult, IDOK);
    EXPECT_TRUE(run.process.WaitExit(kTimeout)) << "then it ends, as the user asked";
}

TEST(DatabaseTest, CopyFaultsEndInOneReportAndALauncherReadyAgain)
{
    enum Fault { DestinationCannotBeMade, SourceLocked, DestinationInsideLauncherFolder };
    for (Fault fault : { DestinationCannotBeMade, SourceLocked, DestinationInsideLauncherFolder })
    {
        SCOPED_TRACE(fault);
        DatabaseRun run;
        SetRegistryPath("C:\\older\\");
        std::string folder = run.dest.Path() + "data";
        HANDLE hLocked = INVALID_HANDLE_VALUE;
        switch (fault)
        {
        case DestinationCannotBeMade:
            // A file stands where the "terrain" folder has to go.
            MakeDirs(folder);
            WriteBytes(folder + "\\terrain", "not a folder");
            break;
        case SourceLocked:
            // Another program holds a data file open and shares it with nobody.
            hLocked = ::CreateFileA((run.dist.folder + "terrain\\README.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, hLocked);
            break;
        case DestinationInsideLauncherFolder:
            folder = run.dist.folder + "landuse";
            break;
        }
        run.Start();
        ASSERT_NE(nullptr, run.hMain);
        run.RunUpToCopy(folder);

        // The engine names the problem, then the launcher gives its one outcome.
        HWND hReport = run.NextWindow();
        while (hReport != nullptr && WindowText(hReport) == L"Copying..." && MessageText(hReport).empty())
            hReport = run.NextWindow();  // the progress window itself
        ASSERT_NE(nullptr, hReport);
        EXPECT_EQ(L"Copying...", WindowText(hReport));
        EXPECT_FALSE(MessageText(hReport).empty());
        Click(hReport, IDOK);
        HWND hResult = run.NextWindow();
        ASSERT_NE(nullptr, hResult);
        EXPECT_EQ(L"Installation went wrong.", MessageText(hResult));
        Click(hResult, IDOK);

        EXPECT_TRUE(WaitUntil([&] { return run.ButtonsEnabled() && run.process.TopWindows().size() == 1; }, kTimeout));
        EXPECT_EQ("C:\\older\\", ReadRegistryPath());
        // Usable again: the command starts afresh.
        Click(run.hMain, IDC_INSTALL_DATABASE);
        HWND hAgain = run.ExpectBox(kSpaceQuestion);
        ASSERT_NE(nullptr, hAgain);
        Click(hAgain, IDNO);
        EXPECT_TRUE(WaitUntil([&] { return run.process.TopWindows().size() == 1; }, kTimeout));
        if (hLocked != INVALID_HANDLE_VALUE)
            ::CloseHandle(hLocked);
    }
}
