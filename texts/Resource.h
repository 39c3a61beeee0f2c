#pragma once
// Every resource identifier of the program: dialog templates, the menu and its commands,
// control identifiers, bitmaps and the icon, string resources, timers and the status bar.
// Code and tests address controls and commands by these numbers, as the templates do.
//
// Several controls of different windows share a number (1006 is the flow display of the main
// window and of the alarm status window; 1073 is the main window's low alarm lamp and the
// alarm status window's comm error lamp). Each use has its own name here with the same value.
// Bitmap 1001 (the banner) and button 1001 ("Poll Now") live in different resource
// namespaces and do not collide either.

// Standard command identifiers of the dialog framework. windows.h defines the same values as
// macros; keep ours out of its way when both are seen.
#ifndef IDOK
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
#endif

// A control without an identifier (labels, group boxes).
constexpr int IDC_STATIC = -1;

// --- Dialog templates --------------------------------------------------------------------
constexpr int IDD_ABOUTBOX = 100;          // About box
constexpr int IDD_FERNWELL_DIALOG = 102;   // main window
constexpr int IDD_COMM_SETTINGS = 130;     // comm settings dialog
constexpr int IDD_CONFIG_612 = 131;        // basic transmitter configuration
constexpr int IDD_TERMINAL = 132;          // terminal window
constexpr int IDD_CONFIG_640 = 133;        // alarm transmitter configuration
constexpr int IDD_CALCULATE = 138;         // K and offset calculator
constexpr int IDD_ALARM_STATUS = 139;      // alarm status window
constexpr int IDD_FLOW_TREND = 140;        // flow trend window
constexpr int IDD_COMPARE_SETTINGS = 141;  // the module's settings beside a settings file's
constexpr int IDD_REPORT_SITE = 142;       // site, tag, technician and note of a report

// --- Icon, menu, bitmaps -----------------------------------------------------------------
constexpr int IDR_MAINFRAME = 128;  // the program's icon
constexpr int IDR_MENU = 129;       // main menu

// Lamps: 14 by 14 round lamps on the window green.
constexpr int IDB_LAMP_ORANGE = 144;  // a delay is running
constexpr int IDB_LAMP_RED = 145;     // alarm activated, comm error
constexpr int IDB_LAMP_YELLOW = 146;
constexpr int IDB_LAMP_BLUE = 147;   // a refresh is under way
constexpr int IDB_LAMP_GREEN = 148;  // alarm enabled
constexpr int IDB_LAMP_GREY = 149;   // off
constexpr int IDB_BANNER = 1001;     // 246 by 45 banner of the main window

// --- Menu commands (menu 129 and the main window's buttons) ------------------------------
constexpr int ID_DEVICE_612 = 32772;
constexpr int ID_DEVICE_642 = 32773;  // selects model 640; the menu item reads "642"
constexpr int ID_PARAMETERS = 32774;  // also the "Parameters" button of the main window
constexpr int ID_SET_COMM_PORT = 32775;
constexpr int ID_ALARM_STATUS = 32776;
constexpr int ID_EXIT = 32777;
constexpr int ID_SHOW_TERMINAL = 32778;  // no menu item and no key: shows the terminal window
constexpr int ID_WWW_SUPPORT = 32779;
constexpr int ID_EMAIL_SUPPORT = 32780;
constexpr int ID_FLOW_TREND = 32784;            // shows the flow trend window
constexpr int ID_SAVE_SETTINGS = 32785;         // the module's settings to a settings file
constexpr int ID_LOAD_SETTINGS = 32786;         // a settings file into the configuration dialog
constexpr int ID_COMPARE_SETTINGS = 32787;      // the module's settings beside a file's
constexpr int ID_COMMISSIONING_REPORT = 32788;  // the commissioning report as PDF
constexpr int ID_HELP = 0xE146;  // the framework's help command, routed to the application

// System menu command of the About item (a system command: the low four bits are the
// system's own and are masked off before comparing).
constexpr int IDM_ABOUTBOX = 0x0010;

// --- String resources --------------------------------------------------------------------
constexpr int IDS_ABOUTBOX = 101;   // "&About Fernwell..."
constexpr int IDS_OFFLINE = 32781;  // "Offline": also the indicator of status pane 1
constexpr int IDS_IDLE = 32782;     // "Idle"
constexpr int ID_SEPARATOR = 0;     // an indicator without a string: a plain pane

// --- Status bar and timers ---------------------------------------------------------------
constexpr int AFX_IDW_STATUS_BAR = 0xE801;
constexpr int AFX_IDW_CONTROLBAR_FIRST = 0xE800;
constexpr int AFX_IDW_CONTROLBAR_LAST = 0xE8FF;

constexpr int ID_TIMER_POLL = 256;          // main window: one poll every 3000 ms
constexpr int ID_TIMER_ALARM_STATUS = 288;  // alarm status window: one refresh every 1000 ms
constexpr int ID_TIMER_TREND = 300;         // flow trend window: scrolls once a second
constexpr int kAlarmStatusIntervalMs = 1000;

// --- Main window (template 102) ----------------------------------------------------------
constexpr int IDC_POLL_NOW = 1001;
constexpr int IDC_AUTO_UPDATE = 1005;
constexpr int IDC_FLOW_RATE = 1006;
constexpr int IDC_BANNER = 1031;
constexpr int IDC_FLOW_UNITS = 1048;
constexpr int IDC_LOW_ALARM_LAMP = 1073;
constexpr int IDC_HIGH_ALARM_LABEL = 1081;
constexpr int IDC_LOW_ALARM_LABEL = 1082;
constexpr int IDC_HIGH_ALARM_LAMP = 1083;
constexpr int IDC_PARAMETERS = ID_PARAMETERS;  // the button sends the menu's command

// --- Terminal window (template 132) ------------------------------------------------------
constexpr int IDC_TERMINAL_TEXT = 1004;
constexpr int IDC_CLEAR_WINDOW = 1071;

// --- Comm settings dialog (template 130) -------------------------------------------------
constexpr int IDC_COMM_PORT_LIST = 1003;

// --- Configuration dialogs (templates 131 and 133) ---------------------------------------
// Shared by both.
constexpr int IDC_REFRESH = 1032;
constexpr int IDC_SEND = 1033;
constexpr int IDC_DEFAULTS = 1034;
constexpr int IDC_K_FACTOR = 1035;
constexpr int IDC_OFFSET = 1036;
constexpr int IDC_UNIT_OF_MEASURE = 1037;
constexpr int IDC_PIPE_LIST = 1038;
constexpr int IDC_CALCULATE = 1040;
constexpr int IDC_SENSOR_WSS = 1041;
constexpr int IDC_SENSOR_TEE = 1042;
constexpr int IDC_SENSOR_INSERTION = 1043;
constexpr int IDC_TEE_LIST = 1044;
// 612 only: pulse output.
constexpr int IDC_PULSE_UNITS = 1014;
constexpr int IDC_PULSE_WIDTH = 1016;
constexpr int IDC_PULSE_VALUE = 1039;
// 640 only: alarms.
constexpr int IDC_HIGH_SET_POINT = 1017;
constexpr int IDC_HIGH_ENABLE = 1020;
constexpr int IDC_LOW_ENABLE = 1021;
constexpr int IDC_HIGH_LATCHED = 1022;
constexpr int IDC_LOW_LATCHED = 1023;
constexpr int IDC_HIGH_SET_DELAY = 1024;
constexpr int IDC_HIGH_RELEASE_POINT = 1025;
constexpr int IDC_HIGH_RELEASE_DELAY = 1026;
constexpr int IDC_LOW_SET_POINT = 1027;
constexpr int IDC_LOW_SET_DELAY = 1028;
constexpr int IDC_LOW_RELEASE_POINT = 1029;
constexpr int IDC_LOW_RELEASE_DELAY = 1030;
constexpr int IDC_HIGH_SET_UNITS = 1077;
constexpr int IDC_HIGH_RELEASE_UNITS = 1078;
constexpr int IDC_LOW_SET_UNITS = 1079;
constexpr int IDC_LOW_RELEASE_UNITS = 1080;

// --- K and offset calculator (template 138) ----------------------------------------------
constexpr int IDC_PIPE_DIAMETER = 1046;
constexpr int IDC_DIAMETER_UNITS = 1037;

// --- Alarm status window (template 139) --------------------------------------------------
constexpr int IDC_STATUS_FLOW_RATE = 1006;
constexpr int IDC_STATUS_FLOW_UNITS = 1048;
constexpr int IDC_RETRIEVING_LAMP = 1072;
constexpr int IDC_COMM_ERROR_LAMP = 1073;
// High alarm half.
constexpr int IDC_HIGH_ENABLED_LAMP = 1070;
constexpr int IDC_HIGH_ACTIVATED_LAMP = 1049;
constexpr int IDC_HIGH_WAIT_ACTIVATE_LAMP = 1051;
constexpr int IDC_HIGH_WAIT_RELEASE_LAMP = 1052;
constexpr int IDC_HIGH_WAIT_ACTIVATE_TIME = 1056;
constexpr int IDC_HIGH_WAIT_RELEASE_TIME = 1057;
constexpr int IDC_HIGH_LATCH_VALUE = 1060;
constexpr int IDC_HIGH_SET_POINT_VALUE = 1062;
constexpr int IDC_HIGH_SET_DELAY_VALUE = 1064;
constexpr int IDC_HIGH_RELEASE_POINT_VALUE = 1066;
constexpr int IDC_HIGH_RELEASE_DELAY_VALUE = 1068;
// Low alarm half.
constexpr int IDC_LOW_ENABLED_LAMP = 1071;
constexpr int IDC_LOW_ACTIVATED_LAMP = 1053;
constexpr int IDC_LOW_WAIT_ACTIVATE_LAMP = 1054;
constexpr int IDC_LOW_WAIT_RELEASE_LAMP = 1055;
constexpr int IDC_LOW_WAIT_ACTIVATE_TIME = 1058;
constexpr int IDC_LOW_WAIT_RELEASE_TIME = 1059;
constexpr int IDC_LOW_LATCH_VALUE = 1061;
constexpr int IDC_LOW_SET_POINT_VALUE = 1063;
constexpr int IDC_LOW_SET_DELAY_VALUE = 1065;
constexpr int IDC_LOW_RELEASE_POINT_VALUE = 1067;
constexpr int IDC_LOW_RELEASE_DELAY_VALUE = 1069;

// --- Flow trend window (template 140) ----------------------------------------------------
constexpr int IDC_TREND_SPAN = 1090;      // 1, 10 or 60 minutes
constexpr int IDC_TREND_PLOT = 1091;      // the plot fills this control
constexpr int IDC_TREND_SAVE_CSV = 1092;  // "Save CSV..."
constexpr int IDC_TREND_LOG = 1093;       // "Log to file..." / "Stop Logging"

// --- Settings compared (template 141) ----------------------------------------------------
constexpr int IDC_COMPARE_SUMMARY = 1094;  // how many settings differ, or that none does
constexpr int IDC_COMPARE_TABLE = 1095;    // the table covers this control

// --- Commissioning report's site (template 142) ------------------------------------------
constexpr int IDC_REPORT_SITE = 1096;
constexpr int IDC_REPORT_TAG = 1097;
constexpr int IDC_REPORT_TECHNICIAN = 1098;
constexpr int IDC_REPORT_NOTE = 1099;
