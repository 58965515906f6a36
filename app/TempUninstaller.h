// The uninstaller must not hold its own file while it deletes it. The uninstaller that
// Programs and Features or a deployment tool starts (the first process) copies itself into
// a new folder under %TEMP% and starts the copy with the same arguments and
// /UNINSTALLCOPY="<first process>,<pipe>,<uninstaller path>" (two inherited handles:
// the first process itself and the write end of a pipe). The copy removes the
// installation, writes its exit code into the pipe and waits for the first process to
// end; the first process reads the code and exits with it, so whoever waits on the
// uninstaller gets the removal's code. Then the copy deletes the uninstaller, and its
// folder when that is empty and ours, and leaves itself to be deleted at the next restart
// (where the account may ask for that; in %TEMP% otherwise).
#pragma once

#include "platform/String.h"

// In the first process: runs the removal in a copy, as above, and returns its exit code in
// nExitCode. False when no copy could be started (the caller then removes by itself).
bool RunRemovalFromCopy(LPCSTR pszArguments, int& nExitCode);

// In the copy: the first process as the /UNINSTALLCOPY value names it.
class CUninstallerLink
{
public:
    CUninstallerLink() = default;
    ~CUninstallerLink();
    CUninstallerLink(const CUninstallerLink&) = delete;
    CUninstallerLink& operator=(const CUninstallerLink&) = delete;

    // Takes the /UNINSTALLCOPY value; false when it is out of form.
    bool Take(const CString& strValue);
    const CString& GetUninstallerPath() const { return m_strUninstaller; }
    // Whether the first process is an uninstaller (not the launcher on the media).
    bool IsUninstaller() const;

    // Hands the exit code to the first process, which then ends with it.
    void ReportExitCode(int nExitCode);

    // After the first process has ended: deletes the uninstaller (only a file named as the
    // uninstaller is), then its folder when it is empty and either the root that the
    // installation made (bRootMade) or the BRANTIK folder made for the uninstaller; and
    // leaves this copy and its folder to go at the next restart.
    void DeleteUninstaller(const CString& strRoot, bool bRootMade);

private:
    HANDLE m_hFirst = nullptr;
    HANDLE m_hPipe = nullptr;
    CString m_strUninstaller;
};
