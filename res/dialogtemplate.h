#pragma once

#include "dialogtables.h"

#include <functional>

class QDialog;
class QWidget;

// The dialog templates as Qt widgets. One helper, BuildDialog, turns a template into widgets, so
// that each window's layout reads as one table.

// 1 dialog unit is 1.5 logical pixels both ways: the template font at 96 dpi.
int DluToPixels(int dialogUnits);

// Makes the widget for one control where the standard one will not do (a view or a frame that
// the program paints itself); returns nullptr to take the standard widget.
using ControlFactory = std::function<QWidget *(const ControlTemplate &control, QWidget *parent)>;

// Sizes the dialog (fixed), sets its caption and font, and creates every control of the template
// as a child in template order, which is also the focus order. Each numbered control gets its
// number as objectName, so that it is found with FindControl.
void BuildDialog(QDialog &dialog, const DialogTemplate &dialogTemplate,
                 const ControlFactory &factory = {});

QWidget *FindControl(const QWidget &dialog, int id);

template<typename T> T *FindControlAs(const QWidget &dialog, int id)
{
    return static_cast<T *>(FindControl(dialog, id));
}
