#pragma once

#include <windows.h>

#include <functional>

// The program's dialogs are made with CreateDialogIndirectParamW from their tables and run
// modally here rather than by DialogBoxIndirectParamW, so that every message of the run passes
// the program's key filter before the dialog manager sees it.

// Which keys a run keeps from the dialog. The main window and the settings dialog swallow Enter
// and Escape; the About box lets them end it as usual.
enum class DialogKeys { EnterAndEscapeSwallowed, Standard };

// Runs `dialog`, made with `owner` as its owner, as a modal dialog: disables the owner (if
// any), shows the dialog and pumps the thread's messages, each through the key filter and then
// IsDialogMessageW, until the dialog's procedure calls EndDialogRun. The owner is enabled again
// before the dialog is destroyed, so that it becomes the active window; then the dialog is
// destroyed and the result given to EndDialogRun returned. A WM_QUIT ends the run with IDCANCEL
// and is posted again for the loop outside.
INT_PTR RunDialogModal(HWND dialog, HWND owner,
                       DialogKeys keys = DialogKeys::EnterAndEscapeSwallowed);

// Ends the run of `dialog` once its procedure has returned; the run returns `result`.
void EndDialogRun(HWND dialog, INT_PTR result);

// The key filter: a key press of Enter (also the keypad's) or Escape aimed at `dialog` or one of
// its controls beeps and goes nowhere, so Enter presses no button and adds no line break, and
// Escape closes nothing. A dropped-down list takes both as usual: Enter picks the entry, Escape
// closes the list. Returns true when it swallowed `msg`.
bool SwallowEnterAndEscape(HWND dialog, const MSG &msg);

// Tests act on a modal dialog instead of a user: the runner is called once the dialog is shown,
// before its messages are pumped. It may look at the dialog, post it messages, start a timer or
// end it at once with EndDialogRun. An empty runner leaves the dialog to the user.
using ModalRunner = std::function<void(HWND dialog)>;
void SetModalRunner(ModalRunner runner);
