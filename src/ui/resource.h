// Resource ids of the tool: dialogs, controls, texts, images, the tray menu and
// its commands. Shared by the resource script and the code (plain #defines so
// that windres can read them too).
#ifndef MAVRIS_RESOURCE_H
#define MAVRIS_RESOURCE_H

// The tray commands and texts of the behaviours live with their table.
#include "modem/behaviours.h"

// System-menu command of the main dialog that opens the About box.
#define IDM_ABOUTBOX 0x0010

// Dialog layouts.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_SCAN 103
#define IDD_EXTRA 150
#define IDD_WAIT 172
#define IDD_INFO 176

// Bitmaps.
#define IDB_MAIN 104
#define IDB_ABOUT 105
#define IDB_SCAN 156
#define IDB_RULE_SHORT 163
#define IDB_RULE_TALL 165
#define IDB_EXTRA 171
#define IDB_INFO 175

// Icons and the tray menu (125 is also the tray icon's id in the notification area).
#define IDI_APP 122
#define IDR_TRAY 125
#define IDI_TRAY 140

// Tray menu commands.
#define ID_TRAY_OPEN 32771
#define ID_TRAY_EXIT 32772

// The framework's standard help command, routed to the help file.
#define ID_HELP_INDEX 57670

// Controls.
#define IDC_SCAN_LINE1 1001
#define IDC_SCAN_LINE2 1002
#define IDC_MODEM_COMBO 1003
#define IDC_MODEM_COUNT 1004
#define IDC_MODEM_NAME 1005
#define IDC_HIDE 1008
#define IDC_AUTORUN 1014
#define IDC_LINK 1015
#define IDC_ABOUT_VERSION 1016
#define IDC_ABOUT_COPYRIGHT 1017
#define IDC_AUTORUN_GROUP 1018
#define IDC_EXIT 1019
#define IDC_SOUND_GROUP 1026
#define IDC_SOUND 1027
#define IDC_OUTSIDE_LINE 1028
#define IDC_OUTSIDE_LINE_LABEL 1029
#define IDC_ACTIVATE_CODE 1033
#define IDC_DEACTIVATE_CODE 1034
#define IDC_ACTIVATE_LABEL 1036
#define IDC_DEACTIVATE_LABEL 1037
#define IDC_EXTRA 1038
#define IDC_INFO 1039
#define IDC_CALL_OUT 1040
#define IDC_WAIT_PROGRESS 1041
#define IDC_WAIT_TEXT 1042
#define IDC_INFO_LINE 1043
#define IDC_INFO_EXIT 1044
#define IDC_INFO_DETAIL 1045

// Texts.
#define IDS_ABOUTBOX 106
#define IDS_INFO_CAPTION 107
#define IDS_NO_MODEM 108
#define IDS_ONE_MODEM 109
#define IDS_VERSION 110
#define IDS_COPYRIGHT 111
#define IDS_SCAN_LOOKING 113
#define IDS_SCAN_MINUTES 114
#define IDS_SELECT_MODEM 117
#define IDS_N_MODEMS 118
#define IDS_WEB_ADDRESS 119
#define IDS_SCAN_TITLE 120
#define IDS_SCAN_RESULT 121
#define IDS_AUTORUN_OPTIONS 128
#define IDS_RUN_ON_START 131
#define IDS_MAIN_TITLE 132
#define IDS_HIDE 133
#define IDS_EXIT 134
#define IDS_NEXT_CONNECTION 135
#define IDS_TIP_MODEM_COMBO 136
#define IDS_INFO_TITLE 138
#define IDS_CLOSING 139
#define IDS_TRAY_TIP 140
#define IDS_MODEM_SOUND 144
#define IDS_SOUND_OPTIONS 145
#define IDS_NOT_GERMANY 146
#define IDS_REGISTRY_ERROR 147
#define IDS_PROVIDER_ERROR 148
#define IDS_SOUND_CHECK 149
#define IDS_TIP_AUTORUN 151
#define IDS_TIP_SOUND 152
#define IDS_TIP_EXTRA 153
#define IDS_TIP_DEACTIVATE 155
#define IDS_TIP_ACTIVATE 157
#define IDS_TIP_OUTSIDE_LINE 158
#define IDS_EXTRA_TITLE 159
#define IDS_EXTERNAL_LINE 160
#define IDS_ACTIVATE 161
#define IDS_DEACTIVATE 162
#define IDS_TIP_INFO 163
#define IDS_TIP_CALL_OUT 164
#define IDS_WAIT_TEXT 165
#define IDS_CALL_OUT 166
#define IDS_PORTS_IN_USE 170
#define IDS_PORTS_IN_USE_HINT 171
#define IDS_HELP_BLOCKED 190

// The program's own window messages (WM_APP = 0x8000).
#define WM_COUNTRY_WARNING 0x8003
#define WM_TRAY_NOTIFY 0x8064
#define WM_APP_SHUTDOWN 0x8065
#define WM_SCAN_DONE 0x8067

#endif  // MAVRIS_RESOURCE_H
