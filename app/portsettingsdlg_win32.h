#pragma once

#include <windows.h>

// The modal dialog in which the user picks port, speed, data bits, parity, stop bits and flow
// control, one drop-down list each (template 104). It edits g_portSettings in place: every pick
// is stored at once, so closing the dialog, by OK or by the close box, neither confirms nor undoes
// anything; Enter and Escape end nothing. Its first run at start-up loads the settings; later
// runs show the settings of the moment. The port list's entries tell in tooltips which device
// each reaches.
//
// Creates the dialog over `owner` (none at start-up), runs it modally on the caller's thread and
// destroys it.
void RunPortSettingsDialog(HWND owner);
