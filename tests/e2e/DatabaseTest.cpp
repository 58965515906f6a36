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

#include <set>

#include <sddl.h>
#include <shlobj.h>
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

const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VORMELDatabase";

std::string Today()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char sz[16];
    ::wsprintfA(sz, "%04u%02u%02u", st.wYear, st.wMonth, st.wDay);
    return sz;
}

// The Programs and Features entry's values (a DWORD as its number), HKCU's or HKLM's.
std::map<std::string, std::string> EntryValues(bool bAllUsers)
{
    std::map<std::string, std::string> values;
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(bAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kEntry, 0, KEY_READ | KEY_WOW64_64KEY, &hKey);
    char szName[256], value[2048] = "";
    for (DWORD i = 0, cchName = sizeof(szName), cb = sizeof(value), dwType = 0; hKey != nullptr
         && ::RegEnumValueA(hKey, i, szName, &cchName, nullptr, &dwType, reinterpret_cast<BYTE*>(value), &cb) == 0;
         ++i, cchName = sizeof(szName), cb = sizeof(value))
        values[szName] = dwType == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(value)) : std::string(value);
    ::RegCloseKey(hKey);
    return values;
}

// The entry of an installation in root (ending in '\') begun on the day given, and its
// uninstaller, a copy of the launcher: in the root, or for every user in Program Files.
void ExpectEntry(const std::string& root, const std::string& edition, const std::string& exe, bool bAllUsers,
                 const std::string& day)
{
    std::map<std::string, std::string> values = EntryValues(bAllUsers);
    EXPECT_TRUE(values["InstallDate"] == day || values["InstallDate"] == Today()) << values["InstallDate"];
    ULONGLONG ullBytes = 0;
    std::string record = ReadBytes(root + "VORMELInstallRecord.txt");
    for (size_t at = record.find("\nfile\t"); at != std::string::npos; at = record.find("\nfile\t", at + 1))
        ullBytes += std::stoull(record.substr(at + 6));
    char szFolder[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, szFolder);
    std::string uninstaller = (bAllUsers ? szFolder + std::string("\\BRANTIK\\VORMEL database\\") : root)
        + "VORMELUninstall.exe";
    std::string command = "\"" + uninstaller + "\" /UNINSTALL /DIR=\"" + root.substr(0, root.size() - 1) + "\""
        + (bAllUsers ? " /ALLUSERS" : "");
    std::map<std::string, std::string> expected = {
        { "DisplayName", "VORMEL terrain and land-use database" }, { "DisplayVersion", edition },
        { "Publisher", "BRANTIK" }, { "InstallLocation", root }, { "InstallDate", values["InstallDate"] },
        { "EstimatedSize", std::to_string((ullBytes + 1023) / 1024) }, { "DisplayIcon", "\"" + uninstaller + "\",0" },
        { "UninstallString", command }, { "QuietUninstallString", command + " /VERYSILENT" },
        { "NoModify", "1" }, { "NoRepair", "1" } };
    EXPECT_EQ(expected, values);
    std::string bytes = ReadBytes(uninstaller);
    EXPECT_TRUE(!bytes.empty() && bytes == ReadBytes(exe)) << uninstaller;
    ::DeleteFileA(uninstaller.c_str());
}

// A key (the product's, unless named) with an empty protected access list: it can be neither
// opened nor created, until this object opens it to everyone again through the handle it keeps.
struct LockedKey
{
    HKEY hKey = nullptr;
    explicit LockedKey(HKEY hRoot = HKEY_CURRENT_USER, const char* pszKey = kKey)
    {
        ::RegCreateKeyExA(hRoot, pszKey, 0, nullptr, 0, WRITE_DAC | KEY_WOW64_64KEY, nullptr, &hKey, nullptr);
        SetAccess("D:P");
    }
    ~LockedKey() { SetAccess("D:(A;;GA;;;WD)"); ::RegCloseKey(hKey); }
    void SetAccess(const char* pszSddl)
    {
        PSECURITY_DESCRIPTOR pSecurity = nullptr;
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

enum Fault { None, MissingSource, CancelCopy, LockedRegistry, LockedEntry, ScratchedRetry, ScratchedCancel };

// A data file whose reads fail as a scratched disc's do (Wine says ERROR_NOT_READY): a link
// to the memory of the process that reads it, whose first page is never there. Cleaned, it
// leads to an empty file, as the copy's scan saw it. Made from Unix: the disc is read-only.
enum Disc { Scratched, Cleaned, Removed };
// Runs a Unix command line as Wine starts Unix programs; what it does is awaited by its effect.
void RunUnix(const std::string& command)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string line = command;
    ASSERT_TRUE(::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * PFN_UNIXNAME)(LPCWSTR);
    PFN_UNIXNAME pfnUnixName = reinterpret_cast<PFN_UNIXNAME>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* pszUnix = pfnUnixName(std::wstring(path.begin(), path.end()).c_str());
    std::string unix(pszUnix);
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return unix;
}

void Scratch(const std::string& path, Disc disc)
{
    const char* commands[] = { "/bin/ln -sf /proc/self/mem ", "/bin/ln -sf /dev/null ", "/bin/rm -f " };
    RunUnix(commands[disc] + UnixPath(path));
    EXPECT_TRUE(WaitUntil([&] {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char c;
        DWORD n = 0;
        bool bReads = h != INVALID_HANDLE_VALUE && ::ReadFile(h, &c, 1, &n, nullptr);
        ::CloseHandle(h);
        return disc == Removed ? h == INVALID_HANDLE_VALUE : bReads == (disc == Cleaned);
    }));
}

// The three folders as on the media, the install record naming each of their files with its
// size and each folder, and nothing else (no temporary file or folder).
// A recorded folder that held a user's own file ("old" in mine.txt) stays with it, recorded.
void ExpectCopied(const std::string& folder, const std::string& destRoot, const std::string& edition, bool bRootMade,
                  const std::string& keptFolder = "")
{
    std::map<std::string, std::string> expected;
    std::multiset<std::string> lines = { "VORMEL installation record 1", "edition\t" + edition,
                                         bRootMade ? "root\tmade" : "root\tfound" };
    if (!keptFolder.empty())
    {
        expected[keptFolder] = "<dir>";
        expected[keptFolder + "\\mine.txt"] = "old";
        lines.insert("folder\t" + keptFolder);
    }
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
    {
        expected[name] = "<dir>";
        lines.insert("folder\t" + std::string(name));
        for (const auto& entry : Snapshot(folder + name))
        {
            std::string path = name + ("\\" + entry.first), size = std::to_string(entry.second.size());
            expected[path] = entry.second;
            if (entry.second[0] == '<')
                size = entry.second.substr(1, entry.second.find(' ') - 1);
            lines.insert(entry.second == "<dir>" ? "folder\t" + path : "file\t" + size + "\t" + path);
        }
    }
    lines.insert("end\t" + std::to_string(lines.size() - 3));
    std::map<std::string, std::string> copied = Snapshot(destRoot);
    std::string record = copied["VORMELInstallRecord.txt"];
    copied.erase("VORMELInstallRecord.txt");
    EXPECT_EQ(expected, copied);
    std::multiset<std::string> recorded;
    for (size_t at = 0, end; (end = record.find("\r\n", at)) != std::string::npos; at = end + 2)
        recorded.insert(record.substr(at, end - at));
    EXPECT_EQ(lines, recorded) << record;
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
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kEntry);
    std::unique_ptr<LockedKey> pLock(c.fault == LockedRegistry ? new LockedKey
                                     : c.fault == LockedEntry  ? new LockedKey(HKEY_CURRENT_USER, kEntry)
                                                               : nullptr);
    std::string day = Today();
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
    std::string edition = folder == "R:\\" ? "2027.1" : "1.0.1.1";
    if (c.bRegistered && c.fault != LockedEntry)
        ExpectEntry(destRoot + "\\", edition, folder + "VORMELSetup.exe", false, day);
    EXPECT_TRUE((c.bRegistered && c.fault != LockedEntry) || EntryValues(false).empty()) << "an entry of a failure";
    // The uninstaller is placed before the entry, which failed.
    EXPECT_TRUE(c.fault != LockedEntry || ::DeleteFileA((destRoot + "\\VORMELUninstall.exe").c_str()));
    if (c.bCopied)
        ExpectCopied(folder, destRoot, edition, false);
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
        { "entry key locked", IDYES, true, IDYES, LockedEntry,
          L"Installation completed, but the database path could not be registered.", true, true },
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

namespace {

// A deployment tool's run: the launcher started with switches, watched from outside.
enum Silent { Clean, BadSwitch, ProgramMedia, DiskSmall, NoTerrain, Locked, NoLogFolder, Running, Cancel, NoCancel,
              Unreadable, AllUsers, FromShare, AllUsersLocked, LogLink, SessionEnd, InUse, DamagedRecord, Upgrade,
              CancelUpgrade, EntryLocked, Moved };

struct SilentCase
{
    const char* args;    // %D: the destination, %L: the log, %F: a folder for the log
    Silent fault;
    DWORD dwCode;
    bool bCopied, bRegistered;
};

const char kActiveSetup[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\"
                            "{30FDFA2E-158D-49BC-8CBB-9AF2674E7704}";

std::string ActiveSetupValue(const char* pszName)
{
    char szValue[1024] = "";
    DWORD cb = sizeof(szValue), dwType = 0;
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveSetup, 0, KEY_READ | KEY_WOW64_64KEY, &hKey);
    LONG lResult = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue), &cb);
    ::RegCloseKey(hKey);
    DWORD dwValue = 0;
    ::CopyMemory(&dwValue, szValue, sizeof(dwValue));
    char szExpanded[1024] = "";   // as Windows reads a REG_EXPAND_SZ, and only that
    ::ExpandEnvironmentStringsA(szValue, szExpanded, sizeof(szExpanded));
    return lResult != ERROR_SUCCESS ? "<none>" : dwType == REG_DWORD ? std::to_string(dwValue)
        : dwType == REG_EXPAND_SZ ? szExpanded : szValue;
}

void RunSilent(const SilentCase& c)
{
    SCOPED_TRACE(c.args + std::string(" / fault ") + std::to_string(c.fault));
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
    ::SHSetValueA(HKEY_CURRENT_USER, kKey, "reriPath", REG_SZ, "C:\\older\\", 11);
    Distribution dist;
    dist.SetInstallList(c.fault == ProgramMedia ? "0\r\nVORMEL\r\nInstaller\\Setup.exe\r\n" : "1\r\nDB\r\n\r\n");
    dist.AddDataFolders();
    TempTree dest("dest");
    std::string root = dest.Path() + "new\\\x92\x6E\x90\x7D\x95\x5C";  // new\地図表, made with its parent
    std::string log = dest.Path() + "install.log", logs = dest.Path() + "logs\\";
    ::CreateDirectoryA(logs.c_str(), nullptr);
    std::string args = c.args;
    for (auto place : { std::make_pair("%D", root), std::make_pair("%L", log), std::make_pair("%F", logs) })
    {
        for (size_t at = args.find(place.first); at != std::string::npos; at = args.find(place.first))
            args.replace(at, 2, place.second);
    }

    // An earlier entry: of this root, of a folder that stays (Moved), or of one long gone.
    const bool bAllUsers = args.find("/ALLUSERS") != std::string::npos;
    const std::string day = Today(), firstRoot = dest.Path() + "first\\";
    const std::map<std::string, std::string> earlierEntry = { { "DisplayVersion", "2025.1" },
        { "InstallLocation", c.fault == Moved ? firstRoot : c.fault == Clean ? "C:\\gone\\" : root + "\\" } };
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kEntry);
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kEntry);
    if (c.fault == Moved || c.fault == Clean || c.fault == Upgrade || c.fault == CancelUpgrade)
        for (const auto& value : earlierEntry)
            ::SHSetValueA(HKEY_CURRENT_USER, kEntry, value.first.c_str(), REG_SZ, value.second.c_str(),
                          static_cast<DWORD>(value.second.size() + 1));
    if (c.fault == Moved)
        for (const char* file : { "VORMELInstallRecord.txt", "VORMELUninstall.exe", "terrain\\a.csv" })
            dest.Write("first\\" + std::string(file), file);
    std::unique_ptr<LockedKey> pLock(c.fault == Locked ? new LockedKey
                                     : c.fault == AllUsersLocked ? new LockedKey(HKEY_LOCAL_MACHINE, kActiveSetup)
                                     : c.fault == EntryLocked    ? new LockedKey(HKEY_CURRENT_USER, kEntry)
                                                                 : nullptr);
    std::string exe = dist.exePath;
    Process first;
    HWND hFirst = nullptr;
    if (c.fault == DiskSmall)
    {
        ULARGE_INTEGER free;
        ::GetDiskFreeSpaceExA(dest.Path().c_str(), &free, nullptr, nullptr);
        WriteSparse(dist.folder + "terrain\\huge.bin", static_cast<LONGLONG>(free.QuadPart * 2 + (1 << 30)));
    }
    if (c.fault == NoTerrain)
        ::MoveFileA((dist.folder + "terrain").c_str(), (dist.folder + "terrain.old").c_str());
    // Long enough to see a window that should not be there, and to press Cancel.
    // An earlier edition recorded terrain\old.csv and terrain\gone\, which this media lacks,
    // and terrain\README.txt, which it has.
    const std::string earlier = "VORMEL installation record 1\r\nedition\t2025.1\r\nroot\tmade\r\nfolder\tterrain\r\n"
                                "folder\tterrain\\gone\r\nfile\t3\tterrain\\old.csv\r\nfile\t3\tterrain\\gone\\x.csv\r\n"
                                "file\t42\tterrain\\README.txt\r\nend\t5\r\n";
    bool bEarlier = c.fault == Upgrade || c.fault == CancelUpgrade, bCancel = c.fault == Cancel || c.fault == CancelUpgrade;
    for (const char* file : { "terrain\\old.csv", "terrain\\gone\\x.csv", "terrain\\gone\\mine.txt", "VORMELUninstall.exe",
                              "VORMELInstallRecord.txt" })
    {
        if (bEarlier)
            dest.Write(root.substr(dest.Path().size()) + "\\" + file, file[0] == 'V' ? earlier : "old");
    }
    if (bCancel || c.fault == NoCancel || c.fault == Clean || c.fault == SessionEnd)
        WriteSparse(dist.folder + "terrain\\large.bin", (c.fault == Clean ? 200 : 400) << 20);
    if (c.fault == Unreadable)
        Scratch(dist.folder + "terrain\\scratched.bin", Scratched);
    if (c.fault == AllUsers)
        ::SHSetValueA(HKEY_LOCAL_MACHINE, kActiveSetup, "Version", REG_SZ, "9912,3123,5959,7", 17);
    const std::string target = dest.Path() + "target.txt";
    if (c.fault == LogLink)
    {
        // A hard link that a user planted where the log goes, to a file the log must not
        // overwrite (Wine opens a symbolic link to a file as the file, reparse flag or not).
        dest.Write("target.txt", "precious");
        RunUnix("/bin/ln " + UnixPath(target) + " " + UnixPath(log));
        ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(log.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    }
    HANDLE hHeld = INVALID_HANDLE_VALUE;
    if (c.fault == InUse)
    {
        // A file of an earlier installation that a running program holds.
        WriteSparse(dist.folder + "terrain\\held.bin", 3, "new");
        MakeDirs(root + "\\terrain");
        WriteSparse(root + "\\terrain\\held.bin", 3, "old");
        hHeld = ::CreateFileA((root + "\\terrain\\held.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (c.fault == DamagedRecord)  // a user's edit: taken as no record, and replaced
        dest.Write("new\\\x92\x6E\x90\x7D\x95\x5C\\VORMELInstallRecord.txt",
                   "VORMEL installation record 1\r\nedition\t1\r\nroot\tmade\r\nfile\t1\tterrain\\..\\..\\x\r\nend\t1\r\n");
    if (c.fault == FromShare)
    {
        // \\vormelsrv\share is the distribution folder, as Wine serves shares.
        exe = "\\\\vormelsrv\\share\\VORMELSetup.exe";
        RunUnix("/bin/sh -c \"mkdir -p \\\"$WINEPREFIX/dosdevices/unc/vormelsrv\\\" && ln -sfn \\\""
                + UnixPath(dist.folder) + "\\\" \\\"$WINEPREFIX/dosdevices/unc/vormelsrv/share\\\"\"");
        ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(exe.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    }
    if (c.fault == Running)
    {
        hFirst = first.StartLauncher(dist.exePath, dist.folder);
        ASSERT_TRUE(hFirst != nullptr && first.WaitIdle());
        ::ShowWindow(hFirst, SW_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(hFirst) != FALSE; }));
    }

    Process launcher;
    ASSERT_TRUE(launcher.Start(exe, dest.Path(), args));
    HWND hProgress = nullptr;
    if (bCancel || c.fault == NoCancel)
    {
        hProgress = launcher.WaitPopup(nullptr, L"Copying...");
        ASSERT_NE(nullptr, hProgress);
        EXPECT_EQ(bCancel, ::IsWindowVisible(Item(hProgress, IDCANCEL)) != FALSE);
        if (bCancel)
            Click(hProgress, IDCANCEL);
        else
            PressKey(hProgress, VK_ESCAPE);
    }
    if (c.fault == SessionEnd)
    {
        // What Windows sends a log-off's top-level windows: asked first, the copy asks it to wait.
        HWND hGuard = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (hGuard = ::FindWindowA("VORMELSessionEnd", nullptr)) != nullptr; }));
        DWORD_PTR dwAnswer = 1;
        EXPECT_TRUE(::SendMessageTimeoutA(hGuard, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                                          &dwAnswer));
        EXPECT_EQ(0u, dwAnswer);
        ::PostMessageA(hGuard, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    }
    // No window at all under /VERYSILENT, and no box beside the progress window under /SILENT.
    std::vector<HWND> shown;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND h : launcher.TopWindows())
        {
            if (h != hProgress)
                shown.push_back(h);
        }
        return launcher.WaitExit(0);
    }, 90000));
    EXPECT_EQ(0u, shown.size()) << "a window or box in a silent run";
    EXPECT_EQ(c.dwCode, launcher.ExitCode());
    pLock.reset();

    EXPECT_EQ(c.bRegistered ? root + "\\" : "C:\\older\\", RegisteredPath());
    // A cancelled upgrade leaves the earlier record and its files.
    if (c.fault == CancelUpgrade)
    {
        EXPECT_EQ(earlier + "old", ReadBytes(root + "\\VORMELInstallRecord.txt") + ReadBytes(root + "\\terrain\\old.csv"));
    }
    // The entry only when everything else was done; a failed run leaves an earlier one as it was.
    if (c.dwCode == 0)
        ExpectEntry(root + "\\", "1.0.1.1", exe, bAllUsers, day);
    EXPECT_TRUE(c.dwCode == 0 || EntryValues(bAllUsers) == (c.fault == CancelUpgrade ? earlierEntry : decltype(earlierEntry)()));
    // The uninstaller is placed before the entry, which failed.
    EXPECT_TRUE(c.fault != EntryLocked || ::DeleteFileA((root + "\\VORMELUninstall.exe").c_str()));
    // The rule a deployment tool's detection script runs: the entry's DisplayVersion is there.
    Process query;
    ASSERT_TRUE(query.Start("C:\\windows\\system32\\reg.exe", dest.Path(), std::string("query \"") + (bAllUsers ? "HKLM\\" : "HKCU\\")
                            + kEntry + "\" /v DisplayVersion" + (bAllUsers ? " /reg:64" : "")) && query.WaitExit());
    EXPECT_EQ(c.dwCode == 0 || c.fault == CancelUpgrade ? 0u : 1u, query.ExitCode()) << "detected as installed";
    if (c.bCopied)
        ExpectCopied(dist.folder, root, "1.0.1.1", c.fault != DamagedRecord, bEarlier ? "terrain\\gone" : "");
    if (hHeld != INVALID_HANDLE_VALUE)
        ::CloseHandle(hHeld);
    bool bUntouched = !c.bCopied && !bCancel && c.fault != Unreadable && c.fault != SessionEnd && c.fault != InUse;
    EXPECT_TRUE(!bUntouched || Snapshot(dest.Path() + "new").empty()) << "written though the run failed";
    // A log folder gets a new file of its own, named for the run.
    if (args.find(logs) != std::string::npos && Snapshot(logs).size() == 1)
        log = logs + Snapshot(logs).begin()->first;
    EXPECT_TRUE(args.find(logs) == std::string::npos || log.find("\\VORMELSetup-") != std::string::npos) << log;
    std::string text = ReadBytes(log);
    EXPECT_TRUE(c.fault != Moved || Snapshot(firstRoot).size() == 4) << "the earlier installation was touched";
    EXPECT_TRUE(c.fault != Moved || ReadBytes(firstRoot + "terrain\\a.csv") == "terrain\\a.csv");
    EXPECT_TRUE(c.fault != Moved || text.find("The earlier installation in \"" + firstRoot + "\" stays") != std::string::npos);
    if (c.dwCode != 1622)
    {
        // UTF-8 with a byte-order mark and CR LF; the last line gives the exit code.
        EXPECT_EQ(0u, text.find("\xEF\xBB\xBF"));
        size_t lineFeeds = 0, lineEnds = 0;
        for (size_t i = 0; i < text.size(); ++i)
        {
            lineFeeds += text[i] == '\n';
            lineEnds += text.compare(i, 2, "\r\n") == 0;
        }
        EXPECT_EQ(lineFeeds, lineEnds);
        std::string lastLine = text.substr(text.rfind("\r\n", text.size() - 3) + 2);
        EXPECT_NE(std::string::npos, lastLine.find("  Exit code " + std::to_string(c.dwCode) + " (")) << lastLine;
        EXPECT_EQ(")\r\n", lastLine.substr(lastLine.size() - 3));
        EXPECT_TRUE(!c.bCopied || text.find("\xE5\x9C\xB0\xE5\x9B\xB3\xE8\xA1\xA8\\") != std::string::npos)
            << "地図表 in UTF-8";
    }
    EXPECT_TRUE(c.fault != ProgramMedia || text.find("Installer\\Setup.exe\"") != std::string::npos) << text;
    EXPECT_TRUE(c.fault != AllUsersLocked || text.find("LocalSystem); nothing was copied") != std::string::npos) << text;
    EXPECT_TRUE(c.fault != SessionEnd || text.find("the copy was cancelled") != std::string::npos) << text;
    EXPECT_TRUE(c.fault != LogLink || ReadBytes(target) == "precious") << "written through the link";
    EXPECT_TRUE(c.fault != InUse || ReadBytes(root + "\\terrain\\held.bin") == "old");
    EXPECT_TRUE(args.find("/?") == std::string::npos || text.find("  1639 the command line is not valid\r\n") != std::string::npos);
    EXPECT_TRUE(c.fault != DamagedRecord || text.find("(line 4 names a path outside") != std::string::npos) << text;
    if (c.fault == Unreadable)
    {
        EXPECT_NE(std::string::npos, text.find("(5 of 5)")) << text;
        Scratch(dist.folder + "terrain\\scratched.bin", Removed);
    }
    EXPECT_TRUE(c.fault != Running || (::IsIconic(hFirst) && !first.WaitExit(0))) << "the running launcher was touched";
    if (c.fault == AllUsers)
    {
        EXPECT_EQ("9912,3123,5959,8", ActiveSetupValue("Version"));
        EXPECT_EQ("1", ActiveSetupValue("IsInstalled"));
        // At a user's next logon Windows runs the StubPath in their session.
        ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
        std::string stubPath = ActiveSetupValue("StubPath");
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(::CreateProcessA(nullptr, &stubPath[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        EXPECT_TRUE(WaitUntil([&] { return RegisteredPath() == root + "\\"; })) << stubPath;
        if (::WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
            ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetup);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
}

}  // namespace

// Each exit code from a real fault, as a deployment tool sees it: the code, no window or box
// that nobody could answer, nothing written when the run fails before the copy, and a log
// for the help desk whose last line names the code.
TEST(SilentTest, EachFaultEndsWithItsExitCodeAndNoBox)
{
    const SilentCase cases[] = {
        { "/VERYSILENT /DIR=\"%D.\" /LOG=\"%L\"", Clean, 0, true, true },
        { "-verysilent /DIR=\"%D\" /LOG=\"%L\" /BOGUS", BadSwitch, 1639, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\" /?", BadSwitch, 1639, false, false },
        { "/LOG=\"%L\" /DIR=\"%D /VERYSILENT", BadSwitch, 1639, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", LogLink, 1622, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", SessionEnd, 1602, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", InUse, 32, false, false },
        { "/SILENT /DIR=\"%D\" /LOG=\"%L\"", ProgramMedia, 1639, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", DiskSmall, 112, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", NoTerrain, 1612, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", Unreadable, 1612, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", Locked, 1603, true, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%D\\install.log\"", NoLogFolder, 1622, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", Running, 1618, false, false },
        { "/SILENT /DIR=\"%D\" /LOG=\"%L\"", Cancel, 1602, false, false },
        { "/SILENT /NOCANCEL /DIR=\"%D\" /LOG=\"%L\"", NoCancel, 0, true, true },
        { "/VERYSILENT /ALLUSERS /DIR=\"%D\\\\\" /LOG=\"%L\"", AllUsers, 0, true, true },
        { "/SP- /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /DIR=\"%D\" /LOG=\"%F\"", FromShare, 0, true, true },
        { "/VERYSILENT /ALLUSERS /DIR=\"%D\" /LOG=\"%L\"", AllUsersLocked, 1603, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", DamagedRecord, 0, true, true },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", Upgrade, 0, true, true },
        { "/SILENT /DIR=\"%D\" /LOG=\"%L\"", CancelUpgrade, 1602, false, false },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", EntryLocked, 1603, true, true },
        { "/VERYSILENT /DIR=\"%D\" /LOG=\"%L\"", Moved, 0, true, true },
    };
    for (const SilentCase& c : cases)
        RunSilent(c);
}
