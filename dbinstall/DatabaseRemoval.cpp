#include "dbinstall/DatabaseRemoval.h"

#include "dbinstall/ActiveSetup.h"
#include "dbinstall/InstallRecorder.h"
#include "dbinstall/RecordedRemoval.h"
#include "dbinstall/RemovalRegistry.h"
#include "dbinstall/RemovalRun.h"
#include "platform/SessionEndGuard.h"
#include "platform/SystemError.h"
#include "platform/copy/QuietRetries.h"

#include <cstring>

namespace {

const int kListedFolders = 10;

// The recorded folders that stayed and hold no other folder that stayed: where the files
// that are not ours lie.
CString StayedFolders(const CString& strRoot, const CInstallRecord& stayed)
{
    CString strList;
    int nListed = 0;
    for (const CRecordedItem& item : stayed.m_items)
    {
        bool bInnermost = item.bFolder;
        for (const CRecordedItem& other : stayed.m_items)
        {
            bInnermost = bInnermost
                && !(other.bFolder && other.strPath.GetLength() > item.strPath.GetLength()
                     && other.strPath.GetAt(item.strPath.GetLength()) == '\\'
                     && std::strncmp(other.strPath, item.strPath, static_cast<size_t>(item.strPath.GetLength())) == 0);
        }
        if (bInnermost && nListed++ < kListedFolders)
            strList += "\n" + strRoot + RecordedPathText(item.strPath);
    }
    return nListed > kListedFolders ? strList + "\n..." : strList;
}

int Finish(int nExitCode, LPCSTR pszOutcome, const RemovalRequest& request, CLogFile& log, UINT nType = MB_OK)
{
    log.Write(pszOutcome);
    if (request.bAsk)
        AfxMessageBox(pszOutcome, nType);
    return nExitCode;
}

}  // namespace

int RemoveDatabase(const RemovalRequest& request, CLogFile& log, RemovalResult& result)
{
    result = RemovalResult();
    const CString& strRoot = request.strRoot;
    log.Write("Removing the database from: " + strRoot);
    CInstallRecord record;
    CString strWhy;
    DWORD dwRead = ReadInstallRecord(strRoot, record, strWhy);
    if (dwRead == ERROR_FILE_NOT_FOUND)
        return Finish(exitNotInstalled, "Nothing of the VORMEL database is installed in \"" + strRoot + "\" (it has no "
                      INSTALL_RECORD_NAME "): nothing was removed.", request, log, MB_OK | MB_ICONINFORMATION);
    if (dwRead == ERROR_INVALID_DATA)
        return Finish(exitFailed, "The install record \"" + strRoot + INSTALL_RECORD_NAME + "\" is damaged (" + strWhy
                      + "): nothing is removed on its word.", request, log, MB_OK | MB_ICONERROR);
    if (dwRead != ERROR_SUCCESS)
        return Finish(exitFailed, SystemErrorLine("The install record \"" + strRoot + INSTALL_RECORD_NAME
                      + "\" cannot be read: nothing was removed", dwRead), request, log, MB_OK | MB_ICONERROR);
    log.Write("Installed here: edition " + record.m_strEdition + ".");
    result.bRootMade = record.m_bRootMade;
    if (request.bAllUsers && CheckActiveSetupWritable() != ERROR_SUCCESS)
        return Finish(exitFailed, "The database was installed for every user: run the removal as an administrator or "
                      "as LocalSystem. Nothing was removed.", request, log, MB_OK | MB_ICONERROR);
    if (request.bAsk
        && AfxMessageBox("Remove the VORMEL terrain and land-use database from \"" + strRoot + "\"?",
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        log.Write("Not removed: the user said no.");
        return exitCancelled;
    }

    CRemovalRun removal(record);
    DWORD dwResult = removal.Open(strRoot);
    if (dwResult != ERROR_SUCCESS)
        return Finish(exitFailed, SystemErrorLine("Cannot open the folder \"" + strRoot + "\": nothing was removed",
                      dwResult), request, log, MB_OK | MB_ICONERROR);
    CSessionEndGuard::SetReason("Removing the VORMEL database");
    CQuietRetries retries(log);
    if (request.bAsk)
        dwResult = RunAsking(removal, "Removing...", g_removalTexts);
    else
    {
        removal.SetAnswerer(&retries);
        dwResult = RunUnattended(removal, "Removing...", request.window, g_removalTexts);
    }
    removal.Close();
    CString strLine;
    strLine.Format("Removed %d files and %d folders; %d files of the database stayed.", removal.GetFilesRemoved(),
                   removal.GetFoldersRemoved(), removal.GetFilesStayed());
    log.Write(strLine);

    if (removal.GetFilesStayed() > 0)
    {
        // The record names what stays of ours, so that a later removal finishes the job.
        DWORD dwWrite = WriteInstallRecord(strRoot, removal.GetStayed());
        log.Write(dwWrite == ERROR_SUCCESS ? "The install record now names what stayed."
                                           : SystemErrorLine("Could not write the install record", dwWrite));
        if (dwResult == ERROR_CANCELLED)
            return Finish(exitCancelled, CSessionEndGuard::HasSessionEnded()
                              ? "Windows is shutting down or the user is logging off: the removal was cancelled. "
                                "Removing the database again removes what stayed."
                              : "The removal was cancelled. Removing the database again removes what stayed.",
                          request, log);
        bool bHeld = removal.GetFilesHeld() > 0 || dwResult == ERROR_SHARING_VIOLATION;
        return Finish(bHeld ? exitFileInUse : exitFailed,
                      bHeld ? "Files of the database are in use by another program and stayed. Close that program, "
                              "then remove the database again."
                            : "The database could not be removed entirely: the log says which files stayed.",
                      request, log, MB_OK | MB_ICONERROR);
    }

    DWORD dwDelete = CHeldFolder::kErrorLink;
    CHeldFolder root;
    // A window that lists the folder holds it for a moment.
    if (CFileRun::WaitOutHolds([&] { root.Close(); return root.Open(strRoot, true, record.m_bRootMade); })
        == ERROR_SUCCESS)
        dwDelete = root.DeleteBelow(CString(INSTALL_RECORD_NAME));
    if (!IsGone(dwDelete))
        return Finish(exitFailed, SystemErrorLine("Could not delete the install record \"" + strRoot
                      + INSTALL_RECORD_NAME + "\"", dwDelete), request, log, MB_OK | MB_ICONERROR);
    log.Write("Deleted the install record.");
    // Held by the uninstaller when it lies there: it takes the root with it then.
    if (record.m_bRootMade && root.DeleteSelf() == ERROR_SUCCESS)
        log.Write("Deleted the folder \"" + strRoot + "\", which the installation made.");
    root.Close();
    bool bOtherEntry = false;
    bool bRegistry = RemoveUninstallEntry(strRoot, request.bAllUsers, bOtherEntry, log);
    bRegistry = RemoveDatabasePath(strRoot, log) && bRegistry;
    if (request.bAllUsers)
        bRegistry = RegisterPathRemovalForAllUsers(strRoot, log) && bRegistry;
    result.bAllGone = bRegistry && !bOtherEntry;
    if (!bRegistry)
        return Finish(exitFailed, "The database's files were removed, but not every registry value: the log says which.",
                      request, log, MB_OK | MB_ICONERROR);
    CString strStayed = StayedFolders(strRoot, removal.GetStayed());
    if (strStayed.IsEmpty())
        return Finish(exitInstalled, "The database was removed.", request, log, MB_OK | MB_ICONINFORMATION);
    return Finish(exitInstalled, "The database was removed, except files that are not part of it, in:" + strStayed,
                  request, log, MB_OK | MB_ICONINFORMATION);
}
