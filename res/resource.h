// Resource ids. The numbers are fixed: the dialogs, menus and images are found by them.
#pragma once

// Dialog templates
#define IDD_QUIB_DIALOG 102
#define IDD_DIALOG_SET 130
#define IDD_DIALOG_VER 131

// Icon group and images of type "PNG" (four-frame strips and the background)
#define IDR_MAINFRAME 132
#define IDB_PNG_HELP 133
#define IDB_PNG_MIN 135
#define IDB_PNG_SETTINGS 136
#define IDB_PNG_CLOSE 137
#define IDB_PNG_UPDATE 139
#define IDB_PNG_BACKGROUND 143

// Menus
#define IDR_MENU_TRAY 140
#define IDR_MENU_UPDATE 141

// Main window controls
#define IDC_VERSION 1000
#define IDC_WEB_PLACEHOLDER 1001
#define IDC_BTN_CLOSE 1002
#define IDC_BTN_MIN 1004
#define IDC_BTN_HELP 1005
#define IDC_BTN_SETTINGS 1006
#define IDC_BTN_UPDATE 1007

// Controls that are never addressed
#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Settings dialog controls
#define IDC_CHECK_AUTOSTART 1003
#define IDC_RADIO_EXIT 1004
#define IDC_RADIO_HIDE 1005
#define IDC_RADIO_PROMPT 1006
#define IDC_RADIO_ASK_UPDATE 1007
#define IDC_RADIO_AUTO_UPDATE 1008
#define IDC_EDIT_GAME_PATH 1009
#define IDC_BTN_SET_OK 1010
#define IDC_BTN_SET_CANCEL 1012
#define IDC_BTN_BROWSE 1013

// Update-log dialog control
#define IDC_LOG_PLACEHOLDER 1011

// Menu commands
#define ID_TRAY_SHOW 32773
#define ID_TRAY_EXIT 32774
#define ID_UPDATE_CHECK 32777
#define ID_UPDATE_LOG 32778

// The user's texts in the string table: the tray menu and the close prompt, the update, the
// game-directory choice, the page's RunExe and CopyStr
#define IDS_SHOW_WINDOW 300
#define IDS_HIDE_WINDOW 301
#define IDS_CLOSE_PROMPT 302
#define IDS_CLOSE_CAPTION 303
#define IDS_UPDATE_PROMPT 310
#define IDS_UPDATE_CAPTION 311
#define IDS_UPDATER_FETCH_FAILED 312
#define IDS_BROWSE_GAME_DIR 320
#define IDS_NO_GAME_DIR 321
#define IDS_NO_LAUNCHER 322
#define IDS_CONFIG_WRITE_FAILED 323
#define IDS_RUN_FAILED 330
#define IDS_CLIPBOARD_OPEN_FAILED 331
#define IDS_CLIPBOARD_EMPTY_FAILED 332

// The application's title (the framework's AFX_IDS_APP_TITLE)
#define IDS_APP_TITLE 0xE000
