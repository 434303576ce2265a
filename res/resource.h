// Resource IDs shared between Kestrun.rc and the code.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX                100
#define IDD_KESTRUN_DIALOG          102

// Strings (res/strings/*.rc, one table per language; loaded with LoadUiText)
#define IDS_ABOUTBOX                101
// 200-299: names, states and values that tooltips, the tray tip and assistive technology read
#define IDS_RATE_NAME               200
#define IDS_DEPTH_NAME              201
#define IDS_OUTPUT_SPDIF_NAME       202
#define IDS_OUTPUT_SPEAKER_NAME     203
#define IDS_SLIDER_LEFT_NAME        204
#define IDS_SLIDER_RIGHT_NAME       205
#define IDS_MUTE_NAME               206
#define IDS_LINK_NAME               207
#define IDS_POWER_NAME              208
#define IDS_CHANNEL_LEFT            209
#define IDS_CHANNEL_RIGHT           210
#define IDS_LEVEL_TEXT              211
#define IDS_LEVEL_TEXT_NO_DB        212
#define IDS_MUTED                   213
#define IDS_NOT_SUPPORTED           214
#define IDS_STATE_SELECTED          215
#define IDS_STATE_NOT_SELECTED      216
#define IDS_STATE_ON                217
#define IDS_STATE_OFF               218
#define IDS_TEXT_AND_STATE          219
#define IDS_OUTPUT_SPDIF_SHORT      220
#define IDS_OUTPUT_SPEAKER_SHORT    221
#define IDS_NO_OUTPUT               222
#define IDS_TRAY_STATE              223
#define IDS_TRAY_LEVEL              224
// 240-269: what assistive technology reads beyond the controls' names
#define IDS_PANEL_NAME              240
#define IDS_LEVEL_VALUE             241
#define IDS_LEVEL_VALUE_NO_DB       242
#define IDS_ACTION_SELECT           243
#define IDS_ACTION_TOGGLE           244
#define IDS_ACTION_PRESS            245
#define IDS_ACTION_OPEN             246
// 300-399: menus, the about box, the information lines and the message boxes
#define IDS_MENU_EXIT               300
#define IDS_ABOUT_CAPTION           301
#define IDS_ABOUT_VERSION           302
#define IDS_ABOUT_OK                303
#define IDS_INFO_OS_PREFIX          304
#define IDS_INFO_PANEL_PREFIX       305
#define IDS_MSG_FEATURES_SHORT      306
#define IDS_MSG_DEVICE_ID_FAILED    307

// Icon, cursor, menu
#define IDR_MAINFRAME               128
#define IDC_HAND_CURSOR             162
#define IDR_TRAY_MENU               166

// Tray menu commands
#define ID_MENU_SHOW_PANEL          32771
#define ID_MENU_EXIT                32772

// Panel controls (template 102)
#define IDC_RATE_44K1               1002
#define IDC_RATE_48K                1003
#define IDC_RATE_88K2               1004
#define IDC_RATE_96K                1005
#define IDC_RATE_176K4              1006
#define IDC_RATE_192K               1007
#define IDC_DEPTH_16                1008
#define IDC_DEPTH_24                1009
#define IDC_LBL_HIDDEN              1010
#define IDC_LBL_PANEL_VERSION       1011
#define IDC_LBL_OS_VERSION          1012
#define IDC_LBL_WEB_ADDRESS         1013
#define IDC_DEPTH_32                1014
#define IDC_POWER                   1015
#define IDC_LBL_COPYRIGHT           1016
#define IDC_MUTE_INDICATOR          1020
#define IDC_SLIDER_LEFT             1021
#define IDC_SLIDER_RIGHT            1022
#define IDC_LINK_INDICATOR          1023
#define IDC_OUTPUT_SPDIF            1024
#define IDC_OUTPUT_SPEAKER          1026

// Bitmaps
#define IDB_RATE_48K                131
#define IDB_RATE_48K_SEL            132
#define IDB_RATE_96K                133
#define IDB_RATE_96K_SEL            134
#define IDB_RATE_176K4              135
#define IDB_RATE_176K4_SEL          136
#define IDB_RATE_192K               137
#define IDB_RATE_192K_SEL           138
#define IDB_RATE_44K1               139
#define IDB_RATE_44K1_SEL           140
#define IDB_RATE_88K2               141
#define IDB_RATE_88K2_SEL           142
#define IDB_SKIN                    146
#define IDB_POWER_SEL               157
#define IDB_DEPTH_16                158
#define IDB_DEPTH_16_SEL            159
#define IDB_DEPTH_24                160
#define IDB_DEPTH_24_SEL            161
#define IDB_POWER                   163
#define IDB_MUTE_OFF                164
#define IDB_MUTE_ON                 165
#define IDB_OUTPUT_SPDIF            172
#define IDB_OUTPUT_SPDIF_SEL        173
#define IDB_OUTPUT_SPEAKER          174
#define IDB_OUTPUT_SPEAKER_SEL      175
#define IDB_SLIDER_LEFT_SPAN        176
#define IDB_SLIDER_LEFT_CHANNEL     177
#define IDB_SLIDER_RIGHT_SPAN       178
#define IDB_SLIDER_RIGHT_CHANNEL    179
#define IDB_LINK_OFF                181
#define IDB_LINK_ON                 182
#define IDB_DEPTH_32                183
#define IDB_DEPTH_32_SEL            184
