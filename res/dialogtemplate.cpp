#include "dialogtemplate.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

int DluToPixels(int dialogUnits)
{
    return (dialogUnits * 3 + 1) / 2;
}

namespace {

bool Has(const ControlTemplate &control, std::uint32_t style)
{
    return (control.styles & style) != 0;
}

Qt::Alignment HorizontalAlignment(const ControlTemplate &control)
{
    if (Has(control, STYLE_CENTER))
        return Qt::AlignHCenter;
    if (Has(control, STYLE_RIGHT))
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

QWidget *MakeEdit(const ControlTemplate &control, QWidget *parent)
{
    if (Has(control, STYLE_MULTILINE)) {
        auto *edit = new QPlainTextEdit(parent);
        edit->setReadOnly(Has(control, STYLE_READONLY));
        // Without a horizontal scroll bar style, a multi-line box scrolls sideways instead of
        // wrapping; scroll bars show only where the template asks for them.
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setVerticalScrollBarPolicy(Has(control, STYLE_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                     : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        if (!Has(control, STYLE_BORDER))
            edit->setFrameShape(QFrame::NoFrame);
        return edit;
    }
    auto *edit = new QLineEdit(parent);
    edit->setReadOnly(Has(control, STYLE_READONLY));
    edit->setFrame(Has(control, STYLE_BORDER));
    edit->setAlignment(HorizontalAlignment(control) | Qt::AlignVCenter);
    return edit;
}

QWidget *MakeStatic(const ControlTemplate &control, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(control.caption), parent);
    label->setAlignment(HorizontalAlignment(control) | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    if (Has(control, STYLE_BLACKFRAME))
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
    if (Has(control, STYLE_SUNKEN)) {
        // A line of text in a sunken frame sits in the middle, not cut by the frame's top edge.
        label->setAlignment(HorizontalAlignment(control) | Qt::AlignVCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(Has(control, STYLE_BLACKFRAME) ? 2 : 1);
    }
    return label;
}

QWidget *MakeStandardControl(const ControlTemplate &control, QWidget *parent)
{
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto *button = new QPushButton(QString::fromUtf8(control.caption), parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::Edit:
        return MakeEdit(control, parent);
    case ControlKind::Static:
    case ControlKind::StaticIcon:
        return MakeStatic(control, parent);
    case ControlKind::GroupBox: {
        auto *group = new QGroupBox(QString::fromUtf8(control.caption), parent);
        group->setAlignment(HorizontalAlignment(control));
        return group;
    }
    case ControlKind::ComboBox:
        return new QComboBox(parent);
    }
    return nullptr;
}

// A combo box's template height includes its dropped-down list; the closed box is as high as
// its own text needs.
int ClosedHeight(const ControlTemplate &control, const QWidget &widget)
{
    if (control.kind == ControlKind::ComboBox)
        return widget.sizeHint().height();
    return DluToPixels(control.h);
}

} // namespace

void BuildDialog(QDialog &dialog, const DialogTemplate &dialogTemplate,
                 const ControlFactory &factory)
{
    QFont font(QString::fromUtf8(dialogTemplate.fontStandIn));
    // 9 points at 96 dpi, the size that one dialog unit of 1.5 pixels is measured against.
    font.setPixelSize(dialogTemplate.fontPoints * 96 / 72);
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (dialogTemplate.windowStyles & WINDOW_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (dialogTemplate.windowStyles & WINDOW_TASKBAR)
        flags = (flags & ~Qt::WindowType_Mask) | Qt::Window;
    dialog.setWindowFlags(flags);
    dialog.setFixedSize(DluToPixels(dialogTemplate.w), DluToPixels(dialogTemplate.h));

    QWidget *previousTabStop = nullptr;
    for (const ControlTemplate &control : dialogTemplate.controls) {
        QWidget *widget = factory ? factory(control, &dialog) : nullptr;
        if (!widget)
            widget = MakeStandardControl(control, &dialog);
        if (control.id != CONTROL_UNNUMBERED)
            widget->setObjectName(QString::number(control.id));
        widget->setGeometry(DluToPixels(control.x), DluToPixels(control.y), DluToPixels(control.w),
                            ClosedHeight(control, *widget));
        if (Has(control, STYLE_TABSTOP)) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
}

QWidget *FindControl(const QWidget &dialog, int id)
{
    return dialog.findChild<QWidget *>(QString::number(id), Qt::FindDirectChildrenOnly);
}
