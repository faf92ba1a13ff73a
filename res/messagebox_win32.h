#pragma once

#include "messagekinds.h"

#include <windows.h>

#include <functional>
#include <string>

// Every message the program shows goes through ShowMessageBox: the system's modal box with the
// warning icon and the executable's name as caption, the message and, where there is one, a
// second paragraph that says more (why a port would not open). Texts are UTF-8. Tests replace
// the box with SetMessageBoxHandler, so that no test blocks on a modal window and each can see
// which texts were shown.

using MessageBoxHandler
    = std::function<MessageAnswer(HWND owner, const std::string &text, MessageButtons buttons,
                                  const std::string &informativeText)>;

// Retry and Ignore are the only buttons of their box: only Ignore answers Ignore.
MessageAnswer ShowMessageBox(HWND owner, const std::string &text,
                             MessageButtons buttons = MessageButtons::Ok,
                             const std::string &informativeText = {});

// An empty handler restores the real box.
void SetMessageBoxHandler(MessageBoxHandler handler);

// The default beep that answers a swallowed key; tests count beeps with SetBeepHandler.
void DefaultBeep();
void SetBeepHandler(std::function<void()> handler);
