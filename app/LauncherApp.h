// The application object of the setup launcher.
#pragma once

#include "platform/WinApp.h"

class CLauncherApp : public CWinApp
{
public:
    CLauncherApp() = default;

    // The folder of the running executable, ending in a backslash. Set once by
    // InitInstance; everybody else only reads it.
    CString m_strLauncherDir;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

inline const CString& GetLauncherDir()
{
    return static_cast<CLauncherApp*>(AfxGetApp())->m_strLauncherDir;
}
