/* ids.h - every control, command, timer and private message number of Tolvik.
   Shared by res/tolvik.rc and the C++ code; no literal ids anywhere else. */
#ifndef TOLVIK_IDS_H
#define TOLVIK_IDS_H

/* Resources */
#define IDD_ABOUT           103
#define IDD_MAIN            129
#define IDD_MESSAGEVIEW     149
#define IDD_CONFIG          155
#define IDR_MESSAGETOOLS    148
#define IDI_TOLVIK          134
#define IDI_TOLVIK_ALT      156
#define IDI_SEND_FAILED     141
#define IDI_SEND_DONE       142
#define IDI_SENDING         143
#define IDI_VIEW            150
#define IDI_DELETE          151
#define IDI_DELETEALL       152
#define IDI_REPLY           153
#define IDB_DELETEONE       161
#define IDB_CLEARHISTORY    162
#define IDS_APP_TITLE       103
#define IDS_APP_CLASS       109

/* Main window (dialog 129) */
#define IDC_SEND            1001
#define IDC_TO_LABEL        1002
#define IDC_MODE_FRAME      1003
#define IDC_MESSAGE         1005
#define IDC_STATUS          1009
#define IDC_RECIPIENT       1012
#define IDC_SENDLOG         1022
#define IDC_INCOMING        1023
#define IDC_SENDER          1035
#define IDC_RECEIVER        1036
#define IDC_VIEW            1038
#define IDC_DELETE          1039
#define IDC_DELETEALL       1040
#define IDC_REPLY           1041
#define IDC_SENTMESSAGES    1042
#define IDC_HIST_DELETE     1067
#define IDC_HIST_CLEAR      1068

/* Message View (dialog 149) */
#define IDC_VIEW_TEXT       1043
#define IDC_VIEW_REPLY      1069
#define IDC_VIEW_PREV       1070
#define IDC_VIEW_NEXT       1071
#define IDC_VIEW_SPACER     1072

/* Configuration (dialog 155) */
#define IDC_CFG_MONITOR     1027
#define IDC_CFG_PROGRAM     1046
#define IDC_CFG_POPUP       1048
#define IDC_CFG_ANIMTRAY    1049
#define IDC_CFG_BEEP        1051
#define IDC_CFG_RUNPROG     1052
#define IDC_CFG_MSGBOX      1053
#define IDC_CFG_SWITCH      1054
#define IDC_CFG_MISC_GROUP  1056
#define IDC_CFG_LOADMSG     1057
#define IDC_CFG_KEEP        1058
#define IDC_CFG_INTERNAL    1059
#define IDC_CFG_NOSTEAL     1060
#define IDC_CFG_MINIMIZE    1068
#define IDC_CFG_RECV_GROUP  1074

/* About (dialog 103) */
#define IDC_ABOUT_ICON      2
#define IDC_ABOUT_VERSION   1073
#define IDC_ABOUT_COPYRIGHT 1024
#define IDC_ABOUT_WEB       1023
#define IDC_ABOUT_AUTHOR    1025

/* Commands (system menu, tray menu, incoming context menu) */
#define IDM_ABOUT           666
#define IDM_EXIT            667
#define IDM_CONFIGURE       668
#define IDM_MSG_DELETE      32772
#define IDM_MSG_VIEW        32774
#define IDM_MSG_REPLY       32782

/* Timers */
#define TIMER_MONITOR       50
#define TIMER_HIDE          100
#define TIMER_ANIMATION     150
#define TIMER_TRAY_RETRY    160    /* runs only while adding the tray icon fails */
#define TIMER_SEND_NEXT     170    /* runs while a Send has workers still to start */
#define MONITOR_PERIOD_MS   50
#define HIDE_PERIOD_MS      100
#define ANIMATION_PERIOD_MS 150
#define TRAY_RETRY_PERIOD_MS 1000

/* Private window messages */
#define WM_TRAYCALLBACK     1028   /* WM_USER + 4 */
#define WM_ACTIVATEINSTANCE 1690
#define WM_TRAYMENUDONE     1024   /* WM_USER, posted after the tray menu closes; ignored */
#define WM_SENDREPORT       0x8001 /* WM_APP + 1: a send worker's report, posted */

#endif
