#pragma once

#include "dialogtables.h"

// The program's three dialog templates: 100 the About box, 102 the main window, 104 the port
// settings dialog.
extern const DialogTemplate ABOUT_TEMPLATE;
extern const DialogTemplate MAIN_TEMPLATE;
extern const DialogTemplate PORT_SETTINGS_TEMPLATE;

// The window's icon, which the About box shows.
inline constexpr int MAIN_ICON = 128;

// Control numbers of the main window.
enum MainControl : int {
    IDC_CANCEL = 2,
    IDC_RECEIVED = 1001,
    IDC_BYTE_COUNT = 1002,
    IDC_PLOT = 1003,
    IDC_STATUS = 1004,
    IDC_DISPLAY_CLEAR = 1005,
    IDC_BIT_LENGTH = 1006,
    IDC_SEND = 1007,
    IDC_SEND_TEXT = 1008,
    IDC_SEND_CLEAR = 1009,
    IDC_LEGEND_X = 1010,
    IDC_LEGEND_Y = 1011,
    IDC_LEGEND_Z = 1013,
    IDC_PORT_SELECT = 1015,
    IDC_PORT_INFO = 1016,
};

// Control numbers of the port settings dialog.
enum PortSettingsControl : int {
    IDC_SETTINGS_OK = 1,
    IDC_COMBO_PORT = 1000,
    IDC_COMBO_SPEED = 1012,
    IDC_COMBO_DATA_BITS = 1016,
    IDC_COMBO_PARITY = 1017,
    IDC_COMBO_STOP_BITS = 1018,
    IDC_COMBO_FLOW = 1019,
};

// Control numbers of the About box.
enum AboutControl : int {
    IDC_ABOUT_OK = 1,
};

// The text of the receive format line under the port status group.
extern const char *const RECEIVE_FORMAT_LINE;
