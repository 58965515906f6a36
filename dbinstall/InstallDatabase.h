// The launcher window with the database screen's command: copies the terrain and land-use
// database into a folder that the user chooses and records that folder for the product.
#pragma once

#include "launcher/LauncherDlg.h"

class CDatabaseLauncherDlg : public CLauncherDlg
{
public:
    using CLauncherDlg::CLauncherDlg;

protected:
    void OnInstallDatabase() override;
};
