// Identifiers of the program's resources and of the main window's controls,
// shared by chronobel.rc and the Win32 code.
#pragma once

#define IDI_CHRONOBEL 500
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
