// Identifiers of the program's resources and of the main window's controls,
// shared by chronobel.rc and the Win32 code.
#pragma once

#define IDI_CHRONOBEL 500
// The tray icon's looks beside the program's own (in sync): the last
// success is old or the clock was found off; automatic operations fail.
#define IDI_TRAY_STALE 502
#define IDI_TRAY_FAILING 503
#define IDD_MAIN_WINDOW 1700

// Buttons of the main window; their ids are also the commands they send.
#define IDC_CHECK_BUTTON 1
#define IDC_CORRECT_BUTTON 3
#define IDC_ABOUT_BUTTON 5
#define IDC_OPTIONS_BUTTON 101
#define IDC_TIME_ZONE_BUTTON 1001

// Texts of the main window.
#define IDC_STATUS_LINE 1000
#define IDC_LOCAL_TIME 1029
#define IDC_SERVER_TIME 1030
#define IDC_COMPUTER_NAME 1031
#define IDC_SERVER_LABEL 1032

// The default data files, each of its own type.
#define IDR_UI_STRINGS 8888
#define IDR_SERVER_LIST 8889

// The time-zone dialog: the zone in force and the lock.
#define IDD_TIME_ZONE 1001
#define IDC_ZONE_NAME_LABEL 1214
#define IDC_ZONE_PHASE_LABEL 1215
#define IDC_ZONE_BIAS_LABEL 1216
#define IDC_ZONE_DISPLAY_NAME 1028
#define IDC_ZONE_PHASE 1029
#define IDC_ZONE_BIAS 1033
#define IDC_STANDARD_GROUP 1217
#define IDC_STANDARD_NAME_LABEL 1218
#define IDC_STANDARD_DATE_LABEL 1219
#define IDC_STANDARD_BIAS_LABEL 1220
#define IDC_STANDARD_NAME 1040
#define IDC_STANDARD_DATE 1041
#define IDC_STANDARD_BIAS 1042
#define IDC_DAYLIGHT_GROUP 1221
#define IDC_DAYLIGHT_NAME_LABEL 1222
#define IDC_DAYLIGHT_DATE_LABEL 1223
#define IDC_DAYLIGHT_BIAS_LABEL 1224
#define IDC_DAYLIGHT_NAME 1043
#define IDC_DAYLIGHT_DATE 1044
#define IDC_DAYLIGHT_BIAS 1045
#define IDC_LOCK_ZONE 1046
#define IDC_ZONE_HELP_BUTTON 6
#define IDC_ZONE_OK_BUTTON 1

// The About dialog and its second icon.
#define IDD_ABOUT 1025
#define IDI_INTERNET 501
#define IDC_LOCATIONS 1015
#define IDC_OPEN_DIRS_BUTTON 3
#define IDC_ABOUT_CLOSE_BUTTON 1
