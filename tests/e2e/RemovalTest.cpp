// The removal of an installation, driven as Programs and Features and a deployment tool
// drive it: the entry's own command string started as a process, its exit code read, the
// folder and the registry looked at afterwards, with the media gone.
#include "Distribution.h"
#include "Process.h"
#include "TreeSnapshot.h"
#include "Wait.h"
#include "Window.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdlib>
#include <vector>

using namespace support;

namespace {

const char kPathKey[] = "SOFTWARE\\BRANTIK\\VORMEL\\reri\\Path";
const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VORMELDatabase";
const char kActiveSetup[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\"
                            "{30FDFA2E-158D-49BC-8CBB-9AF2674E7704}";

std::string Value(HKEY hRoot, const char* pszKey, const char* pszName)
{
    char szValue[2048] = "";
    DWORD cb = sizeof(szValue);
    return ::SHGetValueA(hRoot, pszKey, pszName, nullptr, szValue, &cb) == ERROR_SUCCESS ? szValue : "<none>";
}

// Starts a command line as Windows starts an entry's string; its exit code, or STILL_ACTIVE.
DWORD RunCommand(std::string line, DWORD timeoutMs = 90000)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ::GetLastError();
    DWORD dwCode = STILL_ACTIVE;
    if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(pi.hProcess, &dwCode);
    else
        ::TerminateProcess(pi.hProcess, 99);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return dwCode;
}

// An Active Setup Version, "a,b,c,d", as the numbers Windows compares.
std::vector<int> VersionParts(const std::string& version)
{
    std::vector<int> parts;
    for (size_t at = 0; at < version.size(); at = version.find(',', at) + 1)
    {
        parts.push_back(std::atoi(version.c_str() + at));
        if (version.find(',', at) == std::string::npos)
            break;
    }
    return parts;
}

// The path in a command line's leading quotes.
std::string QuotedProgram(const std::string& line)
{
    return line.size() > 1 && line[0] == '"' ? line.substr(1, line.find('"', 1) - 1) : std::string();
}

enum Kind { Quiet, AllUsers, NotInstalled, Held, OtherEntry, AskYes, AskNo, BadRecord };

struct RemovalCase
{
    const char* what;
    Kind kind;
    DWORD dwCode;
};

// A message box of the removal's copy (a process of its own), by its caption.
HWND WaitBox()
{
    HWND hBox = nullptr;
    WaitUntil([&] {
        std::vector<HWND> boxes = WindowsTitled(L"VORMELUninstall");
        hBox = boxes.empty() ? nullptr : boxes[0];
        return hBox != nullptr && Item(hBox, 0xFFFF) != nullptr;
    });
    return hBox;
}

void RunRemoval(const RemovalCase& c)
{
    SCOPED_TRACE(c.what);
    bool bAllUsers = c.kind == AllUsers;
    Distribution dist("VORMELSetup.exe", "media");
    dist.SetInstallList("1\r\nDB\r\n\r\n");
    dist.AddDataFolders();
    TempTree dest("dest");
    // Made by the installation. Wine's cmd.exe reads the double-byte characters of reg.exe's
    // output as '?', so the logon's command is tried on a root of single-byte characters.
    std::string root = dest.Path() + (bAllUsers ? "db\\all users" : "db\\\x92\x6E\x90\x7D\x95\x5C");  // db\地図表
    std::string log = dest.Path() + "removal.log";
    if (c.kind != NotInstalled)
    {
        ASSERT_EQ(0u, RunCommand("\"" + dist.exePath + "\" /VERYSILENT /DIR=\"" + root + "\""
                                 + (bAllUsers ? " /ALLUSERS" : "")));
        if (!bAllUsers)
            dest.Write("db\\\x92\x6E\x90\x7D\x95\x5C\\terrain\\mine.txt", "mine");
    }
    const std::string installedVersion = Value(HKEY_LOCAL_MACHINE, kActiveSetup, "Version");
    // With the media gone, as it is when Programs and Features starts the removal.
    std::string away = dist.tree.Path() + "away";
    std::string media = dist.folder.substr(0, dist.folder.size() - 1);
    ASSERT_TRUE(::MoveFileA(media.c_str(), away.c_str()));
    // The entry's own string, as the installation wrote it; where nothing is installed, the
    // media's launcher asked to remove from the folder.
    HKEY hRoot = bAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    std::string line = c.kind == NotInstalled ? "\"" + away + "\\VORMELSetup.exe\" /UNINSTALL /VERYSILENT /DIR=\"" + root + "\""
        : Value(hRoot, kEntry, c.kind != AskYes && c.kind != AskNo ? "QuietUninstallString" : "UninstallString");
    line += " /LOG=\"" + log + "\"";
    const std::string uninstaller = QuotedProgram(line);
    const std::string uninstallerFolder = uninstaller.substr(0, uninstaller.rfind('\\'));
    EXPECT_EQ(bAllUsers, uninstallerFolder.find("\\BRANTIK\\VORMEL database") != std::string::npos) << line;
    if (bAllUsers)
        ::SHSetValueA(HKEY_CURRENT_USER, kPathKey, "reriPath", REG_SZ, "C:\\other\\", 11);
    if (c.kind == OtherEntry)
        ::SHSetValueA(HKEY_CURRENT_USER, kEntry, "InstallLocation", REG_SZ, "C:\\other\\", 11);
    if (c.kind == BadRecord)  // a user's edit: nothing is removed on its word
        dest.Write(root.substr(dest.Path().size()) + "\\VORMELInstallRecord.txt",
                   "VORMEL installation record 1\r\nedition\t1\r\nroot\tmade\r\nfile\t1\tterrain\\..\\..\\x\r\nend\t1\r\n");
    std::map<std::string, std::string> before = Snapshot(dest.Path());
    HANDLE hHeld = c.kind != Held ? INVALID_HANDLE_VALUE
        : ::CreateFileA((root + "\\terrain\\5339\\G04-d-5339.csv").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, 0, nullptr);

    DWORD dwCode = STILL_ACTIVE;
    if (c.kind == AskYes || c.kind == AskNo)
    {
        Process first;
        ASSERT_TRUE(first.Start(uninstaller, dest.Path(), line.substr(line.find("\" ") + 2)));
        HWND hBox = WaitBox();
        ASSERT_NE(nullptr, hBox);
        EXPECT_EQ(Wide("Remove the VORMEL terrain and land-use database from \"") + WidePath(root)
                      + L"\\\"?", WindowText(Item(hBox, 0xFFFF)));
        Click(hBox, c.kind == AskYes ? IDYES : IDNO);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hBox); }));
        if (c.kind == AskYes)
        {
            ASSERT_NE(nullptr, hBox = WaitBox());
            EXPECT_EQ(Wide("The database was removed, except files that are not part of it, in:\n") + WidePath(root)
                          + L"\\terrain", WindowText(Item(hBox, 0xFFFF)));
            Click(hBox, IDOK);
        }
        ASSERT_TRUE(first.WaitExit(30000));
        dwCode = first.ExitCode();
    }
    else
        dwCode = RunCommand(line);
    EXPECT_EQ(c.dwCode, dwCode);
    std::string text = ReadBytes(log);
    EXPECT_NE(std::string::npos, text.find("  Exit code " + std::to_string(c.dwCode) + " (")) << text;

    bool bRemoved = c.dwCode == 0;
    if (c.kind == Held)
    {
        // The held file stays, and the record names it and its folders, nothing else.
        EXPECT_EQ(root + "\\", Value(hRoot, kEntry, "InstallLocation"));
        EXPECT_EQ(root + "\\", Value(HKEY_CURRENT_USER, kPathKey, "reriPath"));
        std::string record = ReadBytes(root + "\\VORMELInstallRecord.txt");
        EXPECT_NE(std::string::npos, record.find("\r\nfile\t")) << record;
        EXPECT_EQ(record.find("\r\nfile\t"), record.rfind("\r\nfile\t")) << record;
        EXPECT_NE(std::string::npos, record.find("\tterrain\\5339\\G04-d-5339.csv\r\n")) << record;
        EXPECT_EQ(std::string::npos, record.find("landuse")) << record;
        EXPECT_TRUE(::PathFileExistsA(uninstaller.c_str()));
        ::CloseHandle(hHeld);
        EXPECT_EQ(0u, RunCommand(line)) << "a later removal finishes";
        bRemoved = true;
    }
    if (bRemoved)
    {
        // Nothing of ours: the user's file stays with its folder; the uninstaller goes once it has ended.
        std::map<std::string, std::string> left = { { "db", "<dir>" }, { "removal.log", text } };
        if (!bAllUsers)
        {
            left.insert({ { "db\\\x92\x6E\x90\x7D\x95\x5C", "<dir>" }, { "db\\\x92\x6E\x90\x7D\x95\x5C\\terrain", "<dir>" },
                          { "db\\\x92\x6E\x90\x7D\x95\x5C\\terrain\\mine.txt", "mine" } });
            if (c.kind == OtherEntry)  // the entry that names it stays
                left["db\\\x92\x6E\x90\x7D\x95\x5C\\VORMELUninstall.exe"] = before["db\\\x92\x6E\x90\x7D\x95\x5C\\VORMELUninstall.exe"];
        }
        EXPECT_TRUE(WaitUntil([&] { left["removal.log"] = ReadBytes(log); return Snapshot(dest.Path()) == left; }, 60000))
            << [&] { std::string keys; for (const auto& e : Snapshot(dest.Path())) keys += e.first + " "; return keys; }();
        // For every user the uninstaller's own folders go with it.
        EXPECT_TRUE(!bAllUsers || WaitUntil([&] {
            return !::PathFileExistsA(uninstallerFolder.substr(0, uninstallerFolder.rfind('\\')).c_str()); }, 60000));
        EXPECT_EQ(c.kind == OtherEntry ? "C:\\other\\" : "<none>", Value(hRoot, kEntry, "InstallLocation"));
        EXPECT_EQ(bAllUsers ? "C:\\other\\" : "<none>", Value(HKEY_CURRENT_USER, kPathKey, "reriPath"));
    }
    else if (c.kind != Held)
    {
        std::map<std::string, std::string> now = Snapshot(dest.Path());
        now.erase("removal.log");
        EXPECT_EQ(before, now) << "touched though nothing was to be removed";
        EXPECT_EQ(c.kind == NotInstalled ? "<none>" : root + "\\", Value(hRoot, kEntry, "InstallLocation"));
        EXPECT_TRUE(c.kind != BadRecord || text.find("(line 4 names a path outside") != std::string::npos) << text;
    }
    if (bAllUsers)
    {
        // At each user's next logon: a value naming this root goes, one naming another folder stays.
        std::string stub = Value(HKEY_LOCAL_MACHINE, kActiveSetup, "StubPath");
        for (const std::string& other : { root + "\\", std::string("C:\\other\\") })
        {
            ::SHSetValueA(HKEY_CURRENT_USER, kPathKey, "reriPath", REG_SZ, other.c_str(),
                          static_cast<DWORD>(other.size() + 1));
            EXPECT_EQ(0u, RunCommand(stub, 30000)) << stub;
            EXPECT_EQ(other == root + "\\" ? "<none>" : other, Value(HKEY_CURRENT_USER, kPathKey, "reriPath")) << stub;
        }
    }
    ::MoveFileA(away.c_str(), media.c_str());
    if (bAllUsers)
    {
        // Every registration raises the Version, the removal's too, so that each user's logon runs it.
        std::string removedVersion = Value(HKEY_LOCAL_MACHINE, kActiveSetup, "Version");
        EXPECT_EQ(0u, RunCommand("\"" + dist.exePath + "\" /VERYSILENT /ALLUSERS /DIR=\"" + root + "\""));
        std::string againVersion = Value(HKEY_LOCAL_MACHINE, kActiveSetup, "Version");
        EXPECT_LT(VersionParts(installedVersion), VersionParts(removedVersion)) << installedVersion << " " << removedVersion;
        EXPECT_LT(VersionParts(removedVersion), VersionParts(againVersion)) << removedVersion << " " << againVersion;
        ::DeleteFileA(uninstaller.c_str());
        ::RemoveDirectoryA(uninstallerFolder.c_str());
        ::RemoveDirectoryA(uninstallerFolder.substr(0, uninstallerFolder.rfind('\\')).c_str());
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kEntry);
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kEntry);
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kActiveSetup);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\BRANTIK");
}

}  // namespace

// Each way a removal ends, from the entry's command strings, with the media gone: what
// stays in the folder and the registry, and the exit code a deployment tool reads.
TEST(RemovalTest, RemovesExactlyWhatWasInstalled)
{
    const RemovalCase cases[] = {
        { "quiet removal", Quiet, 0 },
        { "installed for every user", AllUsers, 0 },
        { "nothing installed there", NotInstalled, 1605 },
        { "a recorded file held open", Held, 32 },
        { "the entry names another folder", OtherEntry, 0 },
        { "asked, Yes", AskYes, 0 },
        { "asked, No", AskNo, 1602 },
        { "a damaged record", BadRecord, 1603 },
    };
    for (const RemovalCase& c : cases)
        RunRemoval(c);
}
