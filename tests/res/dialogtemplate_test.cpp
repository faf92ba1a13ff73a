#include "dialogtemplate.h"
#include "templates.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The widget each kind of control becomes, so that a control built as the wrong kind is found.
bool IsBuiltAs(const QWidget &widget, const ControlTemplate &control)
{
    switch (control.kind) {
    case ControlKind::PushButton:
        return qobject_cast<const QPushButton *>(&widget)
            && !static_cast<const QPushButton &>(widget).isDefault();
    case ControlKind::DefPushButton:
        return qobject_cast<const QPushButton *>(&widget)
            && static_cast<const QPushButton &>(widget).isDefault();
    case ControlKind::Edit:
        return (control.styles & STYLE_MULTILINE)
            ? qobject_cast<const QPlainTextEdit *>(&widget) != nullptr
            : qobject_cast<const QLineEdit *>(&widget) != nullptr;
    case ControlKind::Static:
    case ControlKind::StaticIcon:
        return qobject_cast<const QLabel *>(&widget) != nullptr;
    case ControlKind::GroupBox:
        return qobject_cast<const QGroupBox *>(&widget) != nullptr;
    case ControlKind::ComboBox:
        return qobject_cast<const QComboBox *>(&widget) != nullptr;
    }
    return false;
}

QString CaptionOf(const QWidget &widget)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(&widget))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(&widget))
        return label->text();
    if (auto *group = qobject_cast<const QGroupBox *>(&widget))
        return group->title();
    return {};
}

void ExpectBuiltAsTemplate(const DialogTemplate &dialogTemplate)
{
    QDialog dialog;
    BuildDialog(dialog, dialogTemplate);
    EXPECT_EQ(dialog.size(), QSize(DluToPixels(dialogTemplate.w), DluToPixels(dialogTemplate.h)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(dialogTemplate.caption));

    const QList<QWidget *> children = dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), static_cast<qsizetype>(dialogTemplate.controls.size()));
    std::vector<QWidget *> tabStops;
    for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
        const ControlTemplate &control = dialogTemplate.controls[i];
        const QWidget &widget = *children[static_cast<qsizetype>(i)];
        SCOPED_TRACE(testing::Message() << "control " << i + 1 << " number " << control.id);
        if (control.id != CONTROL_UNNUMBERED) {
            EXPECT_EQ(FindControl(dialog, control.id), &widget);
        }
        EXPECT_TRUE(IsBuiltAs(widget, control));
        EXPECT_EQ(widget.pos(), QPoint(DluToPixels(control.x), DluToPixels(control.y)));
        EXPECT_EQ(widget.width(), DluToPixels(control.w));
        if (control.kind != ControlKind::ComboBox) {
            EXPECT_EQ(widget.height(), DluToPixels(control.h));
        }
        if (control.kind != ControlKind::Edit && control.kind != ControlKind::ComboBox) {
            EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(control.caption));
        }
        const bool tabStop = (control.styles & STYLE_TABSTOP) != 0;
        EXPECT_EQ(widget.focusPolicy() == Qt::StrongFocus, tabStop);
        if (tabStop)
            tabStops.push_back(children[static_cast<qsizetype>(i)]);
    }
    // Tab walks the tab stops in template order and comes round to the first.
    for (std::size_t i = 0; i < tabStops.size(); ++i) {
        QWidget *next = tabStops[i]->nextInFocusChain();
        while (next->focusPolicy() != Qt::StrongFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, tabStops[(i + 1) % tabStops.size()]) << "after tab stop " << i;
    }
}

// The main window and the port settings dialog are compared with their controls written out in
// tests/app/windowlayout_test.cpp; the About box is built by the same helper.
TEST(DialogTemplate, BuildsEveryControlOfTheAboutBoxInPlace)
{
    ExpectBuiltAsTemplate(ABOUT_TEMPLATE);
}

TEST(DialogTemplate, ConvertsDialogUnitsAtOneAndAHalfPixels)
{
    EXPECT_EQ(DluToPixels(2), 3);
    EXPECT_EQ(DluToPixels(638), 957);
    // The plotting area leaves a client of at least 801 x 521 pixels inside its frame.
    EXPECT_GE(DluToPixels(542) - 6, 801);
    EXPECT_GE(DluToPixels(354) - 6, 521);
}

} // namespace
