#pragma once

#include <windows.h>

// The small box that names the program and its version, opened from the main window's system
// menu: template 100 with the window's icon. OK, Enter, Escape and the close box all end it; the
// main window's key filter does not apply to it. Runs modally over `owner` on the caller's
// thread, whose messages it dispatches meanwhile, and is destroyed when it ends.
void RunAboutBox(HWND owner);
