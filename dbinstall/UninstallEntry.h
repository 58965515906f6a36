// The database's entry in Programs and Features and the uninstaller it names. The entry is
// the one mark that the database is installed: written last, after every file is in place
// and the folder is registered; removed by the removal of the installation it names.
#pragma once

// The entry's key, in HKEY_CURRENT_USER for an installation by and for one user, in
// HKEY_LOCAL_MACHINE (64-bit view on 64-bit Windows, as for Active Setup) for every user.
// Its name is the entry's product code for inventory tools.
#define UNINSTALL_ENTRY_NAME "VORMELDatabase"
#define UNINSTALL_ENTRY_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" UNINSTALL_ENTRY_NAME

// The launcher's copy that removes the installation, and the switch that makes it do so.
#define UNINSTALLER_NAME "VORMELUninstall.exe"
#define UNINSTALL_SWITCH "/UNINSTALL"
