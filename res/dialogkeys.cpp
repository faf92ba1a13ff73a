#include "dialogkeys.h"

#include "messagebox.h"

#include <QKeyEvent>
#include <QWidget>

bool SwallowEnterAndEscape(const QWidget &dialog, QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // A dropped-down list is a window of its own, where Enter picks an entry as usual.
    if (static_cast<QWidget *>(watched)->window() != &dialog)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        return false;
    MessageBeep();
    return true;
}
