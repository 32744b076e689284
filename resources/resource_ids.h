// Resource and control ids of the setup program, shared by tsarin.rc and the C++ code.
// Plain macros because the resource compiler reads this file too.
#ifndef TSARIN_RESOURCES_RESOURCE_IDS_H
#define TSARIN_RESOURCES_RESOURCE_IDS_H

// The setup dialog and its controls. Command ids 1 and 2 are the dialog manager's IDOK and
// IDCANCEL, so Enter installs and Esc aborts.
#define IDD_SETUP 101
#define IDC_INSTALL 1
#define IDC_ABORT 2
#define IDC_STATUS_LINE 102
#define IDC_METER_FRAME 103
#define IDC_INSTALL_DIR 104
#define IDC_INSTALL_DIR_LABEL 105
#define IDC_DEVELOPER 114
// Controls that are never addressed.
#define IDC_UNUSED (-1)

// QuickHelp panels.
#define IDD_PANEL_INSTALL 106
#define IDD_PANEL_ABORT 107
#define IDD_PANEL_EXIT 108
#define IDD_PANEL_INSTALL_DIR 109
#define IDD_PANEL_GENERAL 113

// Background bitmaps: the setup dialog on deep-colour displays (24 bpp marble), on palette
// displays (16 colours), and the QuickHelp panels (yellow).
#define IDB_SETUP_BACKGROUND 110
#define IDB_SETUP_BACKGROUND_PALETTE 115
#define IDB_PANEL_BACKGROUND 111

// The dot pointer shown in QuickHelp mode.
#define IDCUR_QUICKHELP_DOT 112

#endif  // TSARIN_RESOURCES_RESOURCE_IDS_H
