// The database screen end to end, with the real exe under Wine: the questions, the folder
// browser, the copy, the registry record and the one result message.
#include "Distribution.h"
#include "FolderBrowser.h"
#include "Process.h"
#include "TreeSnapshot.h"
#include "Wait.h"
#include "Window.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlwapi.h>

using namespace support;

namespace {

const char kKey[] = "SOFTWARE\\BRANTIK\\VORMEL\\reri\\Path";
const wchar_t kSpaceQuestion[] = L"The installation requires available disk space of \"426MB\".\nDoes it install?";
const wchar_t kStartQuestion[] = L"The installation is started. Is it all right?";
const int kEscape = -1;

std::string RegisteredPath()
{
    char szValue[1024] = "";
    DWORD cb = sizeof(szValue);
    return ::SHGetValueA(HKEY_CURRENT_USER, kKey, "reriPath", nullptr, szValue, &cb) == ERROR_SUCCESS ? szValue : "<none>";
}

// The product's key with an empty protected access list: it can be neither opened nor
// created, until this object opens it to everyone again through the handle it keeps.
struct LockedKey
{
    HKEY hKey = nullptr;
    LockedKey() { SetAccess("D:P"); }
    ~LockedKey() { SetAccess("D:(A;;GA;;;WD)"); ::RegCloseKey(hKey); }
    void SetAccess(const char* pszSddl)
    {
        PSECURITY_DESCRIPTOR pSecurity = nullptr;
        if (hKey == nullptr)
            ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, WRITE_DAC, nullptr, &hKey, nullptr);
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &pSecurity, nullptr);
        EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pSecurity));
        ::LocalFree(pSecurity);
    }
};

void Answer(HWND hBox, int nAnswer)
{
    if (nAnswer == kEscape)
        PressKey(hBox, VK_ESCAPE);
    else
        Click(hBox, nAnswer);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hBox); }));
}

bool ButtonsEnabled(HWND hMain)
{
    return ::IsWindowEnabled(Item(hMain, IDC_INSTALL_DATABASE)) && ::IsWindowEnabled(Item(hMain, IDC_EXIT));
}

enum Fault { None, MissingSource, CancelCopy, LockedRegistry, ScratchedRetry, ScratchedCancel };

// A data file whose reads fail as a scratched disc's do (Wine says ERROR_NOT_READY): a link
// to the memory of the process that reads it, whose first page is never there. Cleaned, it
// leads to an empty file, as the copy's scan saw it. Made from Unix: the disc is read-only.
enum Disc { Scratched, Cleaned, Removed };
void Scratch(const std::string& path, Disc disc)
{
    typedef char*(CDECL * PFN_UNIXNAME)(LPCWSTR);
    PFN_UNIXNAME pfnUnixName = reinterpret_cast<PFN_UNIXNAME>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* pszUnix = pfnUnixName(std::wstring(path.begin(), path.end()).c_str());
    const char* commands[] = { "/bin/ln -sf /proc/self/mem ", "/bin/ln -sf /dev/null ", "/bin/rm -f " };
    std::string command = commands[disc] + std::string(pszUnix);
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_TRUE(WaitUntil([&] {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char c;
        DWORD n = 0;
        bool bReads = h != INVALID_HANDLE_VALUE && ::ReadFile(h, &c, 1, &n, nullptr);
        ::CloseHandle(h);
        return disc == Removed ? h == INVALID_HANDLE_VALUE : bReads == (disc == Cleaned);
    }));
}

struct Case
{
    const char* what;
    int nFirst;                // answer to the disk-space question
    bool bChoose;              // a folder chosen, or the browser cancelled
    int nSecond;               // answer to the start question
    Fault fault;
    const wchar_t* pszResult;  // the launcher's result message; none when it stops early
    bool bCopied, bRegistered;
};

// Runs the launcher in the folder, answers as the case says, and checks what the user is
// told, what is copied and what is registered.
void RunInstallation(const Case& c, const std::string& folder)
{
    SCOPED_TRACE(c.what);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
    ::SHSetValueA(HKEY_CURRENT_USER, kKey, "reriPath", REG_SZ, "C:\\older\\", 11);
    std::unique_ptr<LockedKey> pLock(c.fault == LockedRegistry ? new LockedKey : nullptr);
    TempTree dest("dest");
    std::string destRoot = dest.Path() + "\x92\x6E\x90\x7D\x95\x5C";  // 地図表: ends in the byte 0x5C
    MakeDirs(destRoot);

    const std::string scratched = folder + "terrain\\scratched.bin";
    bool bScratched = c.fault == ScratchedRetry || c.fault == ScratchedCancel;
    if (bScratched)
        Scratch(scratched, Scratched);
    Process launcher;
    HWND hMain = launcher.StartLauncher(folder + "VORMELSetup.exe", folder);
    ASSERT_NE(nullptr, hMain);
    Click(hMain, IDC_INSTALL_DATABASE);
    HWND hBox = launcher.WaitPopup(hMain, L"VORMELSetup");
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(kSpaceQuestion, WindowText(Item(hBox, 0xFFFF)));
    Answer(hBox, c.nFirst);
    if (c.nFirst == IDYES)
    {
        HWND hBrowse = launcher.WaitPopup(hMain);
        ASSERT_NE(nullptr, hBrowse);
        if (!c.bChoose)
            Click(hBrowse, IDCANCEL);
        else
            ASSERT_TRUE(ChooseFolder(hBrowse, destRoot));
    }
    if (c.bChoose)
    {
        hBox = launcher.WaitPopup(hMain, L"VORMELSetup");
        ASSERT_NE(nullptr, hBox);
        EXPECT_EQ(kStartQuestion, WindowText(Item(hBox, 0xFFFF)));
        Answer(hBox, c.nSecond);
    }
    if (c.pszResult != nullptr)
    {
        if (c.fault == CancelCopy || c.fault == MissingSource || bScratched)
        {
            // Owned by nobody: the launcher stays live beside the copy.
            HWND hProgress = launcher.WaitPopup(nullptr, L"Copying...");
            ASSERT_NE(nullptr, hProgress);
            EXPECT_FALSE(ButtonsEnabled(hMain));
            if (c.fault == CancelCopy)
            {
                Click(hProgress, IDCANCEL);
            }
            else if (bScratched)
            {
                // Asked over the progress window, which goes on beneath: Retry or Cancel.
                HWND hQuestion = launcher.WaitPopup(hProgress, L"Copying...");
                ASSERT_NE(nullptr, hQuestion);
                std::wstring text = WindowText(Item(hQuestion, 0xFFFF));
                EXPECT_NE(std::wstring::npos, text.find(Wide(scratched + "\". If it is on a disc, clean the disc")))
                    << std::string(text.begin(), text.end());
                EXPECT_TRUE(Item(hQuestion, IDRETRY) != nullptr && Item(hQuestion, IDOK) == nullptr);
                if (c.fault == ScratchedRetry)
                    Scratch(scratched, Cleaned);
                Click(hQuestion, c.fault == ScratchedRetry ? IDRETRY : IDCANCEL);
            }
            else
            {
                // A failed copy's own report, naming what failed, comes first.
                HWND hReport = launcher.WaitPopup(hProgress, L"Copying...");
                ASSERT_NE(nullptr, hReport);
                EXPECT_NE(std::wstring::npos, WindowText(Item(hReport, 0xFFFF)).find(L"terrain"));
                Click(hReport, IDOK);
            }
        }
        hBox = launcher.WaitPopup(hMain, L"VORMELSetup");
        ASSERT_NE(nullptr, hBox);
        EXPECT_EQ(c.pszResult, WindowText(Item(hBox, 0xFFFF)));
        EXPECT_FALSE(ButtonsEnabled(hMain)) << "the buttons stay off while the result is up";
        Click(hBox, IDOK);
    }
    // Posted now, the About command is handled once the command has ended: its box must
    // then be the only window beside the launcher, whose buttons are on again. Twice: a
    // window being made when the first came shows before the second.
    for (int nCheck = 0; nCheck < 2; ++nCheck)
    {
        ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
        HWND hAbout = launcher.WaitPopup(hMain, L"About VORMELSetup");
        ASSERT_NE(nullptr, hAbout);
        EXPECT_EQ(2u, launcher.TopWindows().size());
        EXPECT_TRUE(ButtonsEnabled(hMain));
        Click(hAbout, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout); }));
    }
    pLock.reset();
    EXPECT_EQ(c.bRegistered ? destRoot + "\\" : "C:\\older\\", RegisteredPath());
    if (c.bCopied)
    {
        // The three folders as on the media, and nothing else (no temporary file or folder).
        std::map<std::string, std::string> expected;
        for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        {
            expected[name] = "<dir>";
            for (const auto& entry : Snapshot(folder + name))
                expected[name + ("\\" + entry.first)] = entry.second;
        }
        EXPECT_EQ(expected, Snapshot(destRoot));
    }
    else if (c.fault != CancelCopy && c.fault != ScratchedCancel)
    {
        EXPECT_TRUE(Snapshot(destRoot).empty());
    }
    if (bScratched)
        Scratch(scratched, Removed);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
}

}  // namespace

// Each way a database installation can end: what the user is told, what is copied, and
// whether the product's registered path is written.
TEST(DatabaseTest, EveryOutcomeShowsItsMessageAndChangesOnlyWhatItShould)
{
    const Case cases[] = {
        { "No to the space question", IDNO, false, 0, None, nullptr, false, false },
        { "Escape at the space question", kEscape, false, 0, None, nullptr, false, false },
        { "browser cancelled", IDYES, false, 0, None, nullptr, false, false },
        { "No to the start question", IDYES, true, IDNO, None, nullptr, false, false },
        { "Escape at the start question", IDYES, true, kEscape, None, nullptr, false, false },
        { "completed", IDYES, true, IDYES, None, L"Installation completed.", true, true },
        { "a data folder missing", IDYES, true, IDYES, MissingSource, L"Installation went wrong.", false, false },
        { "cancelled in the progress window", IDYES, true, IDYES, CancelCopy,
          L"Installation was interrupted by the user.", false, false },
        { "registry key locked", IDYES, true, IDYES, LockedRegistry,
          L"Installation completed, but the database path could not be registered.", true, false },
        { "a data file unreadable, Cancel", IDYES, true, IDYES, ScratchedCancel,
          L"Installation was interrupted by the user.", false, false },
    };
    for (const Case& c : cases)
    {
        Distribution dist;
        dist.SetInstallList("1\r\nTerrain and landuse database\r\n\r\n");
        dist.AddDataFolders();
        if (c.fault == MissingSource)
            ::MoveFileA((dist.folder + "terrain").c_str(), (dist.folder + "terrain.old").c_str());
        if (c.fault == CancelCopy)
            WriteSparse(dist.folder + "terrain\\large.bin", 400 << 20);  // long enough that Cancel comes first
        RunInstallation(c, dist.folder);
    }
}

// A distribution image built by scripts/make-media.sh, served as Wine's CD-ROM drive R:,
// installs the database: names, list and data come off the disc as the launcher needs them,
// and a file that cannot be read is read again once the disc is clean.
TEST(MediaTest, DatabaseInstallsFromTheCdRomImage)
{
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeA("R:\\"));
    RunInstallation({ "from the CD-ROM, a read retried", IDYES, true, IDYES, ScratchedRetry, L"Installation completed.",
                      true, true }, "R:\\");
}
