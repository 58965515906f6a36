#include "launcher/InstallList.h"

#include "launcher/LauncherDlg.h"
#include "platform/StdioFile.h"

#include <cstdlib>

BOOL ReadInstallListFile(LPCSTR pszPath, const CString& strLauncherDir, int& nInstallMode,
                         CString& strProductInstaller)
{
    CStdioFile file;
    if (!file.Open(pszPath, CStdioFile::modeRead | CStdioFile::typeText))
        return FALSE;

    CString strLine;
    if (file.ReadString(strLine))
        nInstallMode = atoi(strLine);
    file.ReadString(strLine);  // line 2 is not used
    if (file.ReadString(strLine))
    {
        strLine.TrimLeft();
        strLine.TrimRight();
        if (!strLine.IsEmpty())
            strProductInstaller = strLauncherDir + strLine;
    }
    file.Close();
    return TRUE;
}

BOOL CLauncherDlg::ReadInstallList()
{
    m_nInstallMode = 0;
    m_strProductInstaller.Empty();

    const CString& strLauncherDir = m_settings.strLauncherDir;
    CString strPath = strLauncherDir + INSTALL_LIST_NAME;
    if (ReadInstallListFile(strPath, strLauncherDir, m_nInstallMode, m_strProductInstaller))
        return TRUE;

    // "The file cannot be opened." in code page 932, then the path in brackets.
    CString strMessage;
    strMessage.Format("\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81\x42\n[%s]",
                      static_cast<LPCSTR>(strPath));
    AfxMessageBox(strMessage, MB_OK);
    return FALSE;
}
