// Resource, control and command numbers shared by the resources and the code.
#pragma once

#define IDD_LAUNCHER_ABOUT          100
#define IDS_LAUNCHER_ABOUT_MENU     101
#define IDD_LAUNCHER                102
#define IDI_LAUNCHER                128
#define IDB_LAUNCHER_PICTURE        130
#define IDB_LAUNCHER_PICTURE_200    131
#define IDD_COPY_PROGRESS           140

#define IDC_INSTALL_PRODUCT         1001
#define IDC_INSTALL_DATABASE        1002
#define IDC_EXIT                    1004
#define IDC_LAUNCHER_PICTURE        1005
#define IDC_COPY_ACTION             1010
#define IDC_COPY_NAME               1011
#define IDC_COPY_BAR                1012
#define IDC_COPY_AMOUNT             1013

// System-menu command of the About item; the low four bits stay free for the system.
#define ID_SYSCMD_ABOUT             0x0010

#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif
