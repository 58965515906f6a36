#include "launcher/LauncherDlg.h"

void CLauncherDlg::OnInstallDatabase()
{
}
