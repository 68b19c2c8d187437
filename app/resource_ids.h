// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_MAIN_ICON 100
#define MAIN_MENU_NAME "MyMainAppMenu"
#define IDC_LOG_VIEW 500
#define IDC_WHAT_TO_DO_VIEW 501
#define IDC_NOTICE_BAR 502
#define MAIN_ACCELERATORS_NAME "MyMainAppKeys"

// Menu and command identifiers
#define CMD_LAUNCH_TEST 60
#define CMD_CHECK_FILE_INTEGRITY 70
#define CMD_SAVE_REPORT_AS 80
#define CMD_COPY_REPORT 81
#define CMD_WHAT_TO_DO 82
#define CMD_OPEN_SOUND_PANEL 83
#define CMD_OPEN_DEVICE_MANAGER 84
#define CMD_OPEN_SERVICES 85
#define CMD_FIX_PROBLEMS 86
#define CMD_REGISTRY_ERROR 99
#define CMD_QUIT 100
#define CMD_ABOUT 101
#define CMD_SHOW_DEVICE_LIST 200
#define CMD_REFRESH_DEVICE_LIST 201
#define CMD_ALL_44K 210
#define CMD_ALL_48K 211
#define CMD_PLAYBACK_44K 230
#define CMD_PLAYBACK_48K 231
#define CMD_RECORDING_44K 250
#define CMD_RECORDING_48K 251
