#pragma once
// Resource and control identifiers of the program. The English template of
// every dialog is the Japanese one plus 100, so code picks either with
// `id + (ui_language == 1 ? 0 : 100)` (see DialogTemplateFor in frame/dialog.h).

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates (Japanese numbers; English = Japanese + 100).
#define IDD_MAIN_JA 1000
#define IDD_MAIN_EN 1100
#define IDD_LANGUAGE_JA 1001
#define IDD_LANGUAGE_EN 1101
#define IDD_ABOUT_JA 1004
#define IDD_ABOUT_EN 1104
#define IDD_ACTION_EDIT_JA 2001
#define IDD_ACTION_EDIT_EN 2101
#define IDD_SETTINGS_JA 2002
#define IDD_SETTINGS_EN 2102

// Program icon and the main menus.
#define IDI_APP 10011
#define IDR_MENU_JA 10013
#define IDR_MENU_EN 10014
#define IDR_ACCELERATORS 10016

// Menu and frame commands.
#define ID_FILE_NEW 5001
#define ID_FILE_OPEN 5002
#define ID_FILE_SAVE 5004
#define ID_FILE_SAVE_AS 5005
#define ID_VIEW_TOOLBAR 5012
#define ID_VIEW_STATUSBAR 5013
#define ID_APP_ABOUT 5014
#define ID_HELP_TOPICS 5015
#define ID_FILE_SETTING 5016
#define ID_HELP_LANGUAGE 5017
#define ID_APP_EXIT 5019
#define ID_WINDOW_TILE_VERT 5020
#define ID_WINDOW_TILE_HORZ 5021
#define ID_WINDOW_CASCADE 5022
#define ID_WINDOW_CLOSE_ALL 5023
#define ID_MDI_FIRST_CHILD 5024
// The recent files of the File menu (four) and the separator below them,
// made by the program.
#define ID_FILE_RECENT_FIRST 5030
#define ID_FILE_RECENT_LAST 5033
#define ID_FILE_RECENT_SEPARATOR 5034

// Main dialog controls.
#define IDC_RECORD_START 20011
#define IDC_RECORD_STOP 20012
#define IDC_PLAY_START 20013
#define IDC_PLAY_STOP 20014
#define IDC_ACTION_LIST 20015
#define IDC_ADD 20016
#define IDC_MODIFY 20017
#define IDC_DELETE 20018
#define IDC_DELETE_ALL 20019
#define IDC_MOVE_UP 20020
#define IDC_MOVE_DOWN 20021
#define IDC_REPEAT 20022
#define IDC_REPEAT_COUNT 20023
#define IDC_PASS_COUNT 20024
#define IDC_SCREENSHOT_FOLDER 20025
#define IDC_BROWSE_FOLDER 20026
#define IDC_SCREENSHOT_FORMAT 20027
#define IDC_PLAY_SPEED 20028

// Language and version dialogs.
#define IDC_VERSION_TEXT 10101
#define IDC_LANGUAGE_LIST 10102
#define IDC_EDITION_TEXT 10130

// Operation edit dialog.
#define IDC_EDIT_DEVICE 20100
#define IDC_EDIT_KIND 20101
#define IDC_EDIT_X 20102
#define IDC_EDIT_Y 20103
#define IDC_EDIT_X_NOTE 20104
#define IDC_EDIT_Y_NOTE 20105
#define IDC_EDIT_KEYCODE 20106
#define IDC_EDIT_KEYNAME 20107
#define IDC_EDIT_INTERVAL 20108
#define IDC_EDIT_WHEEL_DELTA 20109

// Settings dialog.
#define IDC_BREAK_KEY 20200
#define IDC_RECORD_HOTKEY 20201
#define IDC_PLAY_HOTKEY 20202
#define IDC_RECORD_HOTKEY_STATE 20203
#define IDC_PLAY_HOTKEY_STATE 20204
#define IDC_RECORD_MOTION 20205
