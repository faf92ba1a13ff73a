#pragma once

class QEvent;
class QObject;
class QWidget;

// Enter and Escape never reach a control of the program's own dialogs: they beep and go nowhere,
// so Enter presses no button and adds no line break, and Escape closes nothing. Returns true
// when the event is such a key press aimed at `dialog` or one of its controls, after the beep.
bool SwallowEnterAndEscape(const QWidget &dialog, QObject *watched, QEvent *event);
