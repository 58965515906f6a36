#include "dbinstall/UnattendedInstall.h"

#include "dbinstall/ActiveSetup.h"
#include "dbinstall/DatabaseEdition.h"
#include "dbinstall/DatabaseInstall.h"
#include "dbinstall/InstallRecorder.h"
#include "dbinstall/UninstallRegistration.h"
#include "launcher/InstallList.h"
#include "platform/SessionEndGuard.h"
#include "platform/SystemError.h"
#include "platform/copy/CopyPath.h"
#include "platform/copy/FileTreeCopier.h"
#include "platform/copy/QuietRetries.h"

#include <cstring>

namespace {

const ULONGLONG kMegabyte = 1024ull * 1024;

bool IsFolder(const CString& strPath)
{
    DWORD dwAttributes = ::GetFileAttributesA(strPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether the copy's report names a file or folder on the media.
bool NamesMedia(const CString& strReport, const CString& strLauncherDir)
{
    for (const char* pszFolder : g_rgszDatabaseFolders)
    {
        CString strQuoted = "\"" + strLauncherDir + pszFolder;
        if (std::strstr(strReport, strQuoted) != nullptr)
            return true;
    }
    return false;
}

unsigned long Megabytes(ULONGLONG ullBytes)
{
    return static_cast<unsigned long>((ullBytes + kMegabyte - 1) / kMegabyte);
}

// The bytes of the files beneath a folder.
ULONGLONG TreeBytes(const CString& strFolder)
{
    ULONGLONG ullBytes = 0;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA(strFolder + "\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    do
    {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ullBytes += CCopyPath::IsDotEntry(fd.cFileName) ? 0 : TreeBytes(strFolder + "\\" + fd.cFileName);
        else
            ullBytes += (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return ullBytes;
}

}  // namespace

void LogSpace(const CString& strLauncherDir, const CString& strRoot, CLogFile& log)
{
    if (!log.IsOpen())
        return;
    ULONGLONG ullData = 0;
    for (const char* pszFolder : g_rgszDatabaseFolders)
        ullData += TreeBytes(strLauncherDir + pszFolder);
    CString strVolume = CCopyPath::RootOf(strRoot);
    ULARGE_INTEGER free, total, freeTotal;
    CString strLine;
    if (::GetDiskFreeSpaceExA(strVolume, &free, &total, &freeTotal))
        strLine.Format("Free space: the data need %lu MB, %lu MB are free on %s", Megabytes(ullData),
                       static_cast<unsigned long>(free.QuadPart / kMegabyte), static_cast<LPCSTR>(strVolume));
    else
        strLine.Format("Free space: the data need %lu MB; the free space of %s is not known", Megabytes(ullData),
                       static_cast<LPCSTR>(strVolume));
    log.Write(strLine);
}

CString LogEdition(const CString& strLauncherDir, CLogFile& log)
{
    bool bFromMedia = false;
    CString strEdition = DatabaseEdition(strLauncherDir, &bFromMedia);
    log.Write("Database edition: " + strEdition
              + (bFromMedia ? " (the install list's fourth line)" : " (the launcher's version: the media names none)"));
    return strEdition;
}

bool RegisterDestination(const CString& strRoot, bool bAllUsers, CLogFile& log)
{
    bool bWritten = RegisterDatabasePath(strRoot) != FALSE;
    log.Write(CString(bWritten ? "Wrote " : "Could not write ") + DATABASE_PATH_VALUE " = \"" + strRoot
              + "\" under HKEY_CURRENT_USER\\" DATABASE_PATH_KEY ".");
    if (!bAllUsers)
        return bWritten;
    CString strVersion;
    LONG lResult = RegisterActiveSetup(strRoot, strVersion);
    if (lResult == ERROR_SUCCESS)
        log.Write("Registered for every user at their next logon: HKEY_LOCAL_MACHINE\\" ACTIVE_SETUP_KEY
                  ", Version " + strVersion + ", StubPath " + ActiveSetupStubPath(strRoot));
    else
        log.Write(SystemErrorLine("Could not write HKEY_LOCAL_MACHINE\\" ACTIVE_SETUP_KEY
                            " (run as an administrator or as LocalSystem)", static_cast<DWORD>(lResult)));
    return bWritten && lResult == ERROR_SUCCESS;
}

int InstallDatabaseUnattended(const CString& strDir, bool bAllUsers, RunWindow window, const CString& strLauncherDir,
                              CLogFile& log)
{
    int nMode = 0;
    CString strInstaller;
    CString strList = strLauncherDir + INSTALL_LIST_NAME;
    if (!ReadInstallListFile(strList, strLauncherDir, nMode, strInstaller))
    {
        log.Write("Cannot open the install list \"" + strList + "\".");
        return exitMediaUnreadable;
    }
    if (nMode != 1)
    {
        log.Write("This media installs the product, not the database; its installer has switches of its own: \""
                  + strInstaller + "\".");
        return exitBadCommandLine;
    }
    for (const char* pszFolder : g_rgszDatabaseFolders)
    {
        if (!IsFolder(strLauncherDir + pszFolder))
        {
            DWORD dwError = ::GetLastError();
            log.Write(SystemErrorLine("The media lacks the data folder \"" + strLauncherDir + pszFolder + "\"", dwError));
            return exitMediaUnreadable;
        }
    }

    CString strRoot = MakeDestinationRoot(strDir);
    log.Write("Destination: " + strRoot);
    LogSpace(strLauncherDir, strRoot, log);
    // Found out before 426 MB are copied rather than after.
    bAllUsers = bAllUsers || IsLocalSystem();
    LONG lWritable = bAllUsers ? CheckActiveSetupWritable() : ERROR_SUCCESS;
    if (lWritable != ERROR_SUCCESS)
    {
        log.Write(SystemErrorLine("Cannot write HKEY_LOCAL_MACHINE\\" ACTIVE_SETUP_KEY
                            " (run as an administrator or as LocalSystem); nothing was copied",
                            static_cast<DWORD>(lWritable)));
        return exitFailed;
    }
    CInstallRecorder recorder;
    recorder.Prepare(strLauncherDir, strRoot, LogEdition(strLauncherDir, log), log);

    CFileTreeCopier copier;
    CQuietRetries retries(log);
    copier.SetAnswerer(&retries);
    for (const char* pszFolder : g_rgszDatabaseFolders)
        copier.AddCopyJob(strLauncherDir + pszFolder, strRoot + pszFolder);
    DWORD dwResult = RunUnattended(copier, "Copying...", window);

    if (dwResult == ERROR_SUCCESS)
    {
        CString strLine;
        strLine.Format("Copied the database: %lu MB.", Megabytes(copier.GetTotalBytes()));
        log.Write(strLine);
        if (recorder.Commit(log) != ERROR_SUCCESS)
            return exitFailed;
        // The entry last: it tells a deployment tool that everything before it was done.
        return RegisterDestination(strRoot, bAllUsers, log)
                && RegisterUninstall(strLauncherDir, strRoot, bAllUsers, recorder.GetRecord(), log)
            ? exitInstalled
            : exitFailed;
    }
    if (dwResult == ERROR_CANCELLED && CSessionEndGuard::HasSessionEnded())
    {
        log.Write("Windows is shutting down or the user is logging off: the copy was cancelled, every file is whole "
                  "or absent, and the registry was not touched.");
        return exitCancelled;
    }
    if (dwResult == ERROR_CANCELLED)
    {
        log.Write("Cancelled with the progress window's Cancel; the registry was not touched.");
        return exitCancelled;
    }
    log.Write(SystemErrorLine("The copy failed: " + copier.GetErrorDescription(), dwResult));
    if (dwResult == ERROR_DISK_FULL || dwResult == ERROR_HANDLE_DISK_FULL)
        return exitDiskFull;
    if (retries.GaveUpOnHeldFile())
        return exitFileInUse;
    return NamesMedia(copier.GetErrorDescription(), strLauncherDir) ? exitMediaUnreadable : exitFailed;
}
