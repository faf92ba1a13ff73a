#pragma once

#include "messagekinds.h"

#include <QString>

#include <functional>

// Every message the program shows goes through ShowMessageBox: a modal box with the warning icon
// and the executable's name as caption, the message and, where there is one, a second paragraph
// that says more (why a port would not open). Tests replace the box with SetMessageBoxHandler,
// so that no test blocks on a modal window and each can see which texts were shown.

using MessageBoxHandler = std::function<MessageAnswer(const QString &text, MessageButtons buttons,
                                                      const QString &informativeText)>;

MessageAnswer ShowMessageBox(const QString &text, MessageButtons buttons = MessageButtons::Ok,
                             const QString &informativeText = {});

// An empty handler restores the real box.
void SetMessageBoxHandler(MessageBoxHandler handler);

// The default beep that answers a swallowed key; tests count beeps with SetBeepHandler.
void MessageBeep();
void SetBeepHandler(std::function<void()> handler);
