// The About box, opened from the launcher's system menu.
#pragma once

#include "platform/Dialog.h"
#include "res/resource.h"

class CLauncherAboutDlg : public CDialog
{
public:
    CLauncherAboutDlg() : CDialog(IDD_LAUNCHER_ABOUT) {}

    enum { IDD = IDD_LAUNCHER_ABOUT };
};
