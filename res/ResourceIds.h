#pragma once

// The program's resources and commands are addressed by number.
namespace res {

enum : int {
    IDD_ABOUTBOX = 100,
    IDS_ABOUTBOX = 101,
    IDD_MAIN_DIALOG = 102,
    IDR_MAINFRAME = 128,
    IDB_STATUS_RED = 130,
    IDB_STATUS_GREEN = 131,
    IDR_MAIN_MENU = 132,

    IDC_CONNECT = 1000,
    IDC_SAVE_LIST = 1001,
    IDC_STATUS_PICTURE = 1008,
    IDC_TIME_LIST = 1009,
    IDC_CLEAR_LIST = 1010,
    IDC_STATUS_TEXT = 1011,

    ID_MENU_EXIT = 32776,
    ID_MENU_CLEAR_LIST = 32778,
    ID_MENU_SAVE_LIST = 32779,
    ID_MENU_INFO = 32781,
    ID_MENU_MANUAL_NOTE = 32785,

    // A system-menu command of the program's own.
    IDM_ABOUTBOX = 0x0010,
};

// A control without an ID of its own.
inline constexpr int IDC_STATIC = -1;

}  // namespace res
