#pragma once

#include <windows.h>

#include <string>

// The window that looks back at one log file, made with Win32: the plot of the whole run or any
// part of it, a row of commands (reload, CSV of the whole file or of what is shown, a picture of
// the plot), the bit length, a readout of the frame under the pointer and a bar that shows how far
// the recording's scan has read. The scan runs on the recording's thread and a CSV file is written
// on a thread of its own; both reach the window only by messages posted to it, which carry
// nothing: the scan's figures are read under its lock, the writer's outcome once it has ended.

// The window's controls, by their numbers.
enum ViewerControl : int {
    IDC_VIEWER_RELOAD = 1001,
    IDC_VIEWER_SAVE_ALL_CSV,
    IDC_VIEWER_SAVE_VISIBLE_CSV,
    IDC_VIEWER_SAVE_PICTURE,
    IDC_VIEWER_BIT_LENGTH_LABEL,
    IDC_VIEWER_BIT_LENGTH,
    IDC_VIEWER_PLOT,
    IDC_VIEWER_READOUT,
    IDC_VIEWER_CSV_TEXT,
    IDC_VIEWER_CSV_PROGRESS,
    IDC_VIEWER_SCAN_TEXT,
    IDC_VIEWER_SCAN_PROGRESS,
};

// Opens the log at `path` (UTF-8) in a viewer window of its own and shows it; a file that
// cannot be read is reported in a message box and nothing is opened. With an owner the window
// goes with it. The window frees itself when it is closed.
HWND OpenLogViewer(HWND owner, const std::string &path);
