#include "monitordlg.h"
#include "monitorwindowtest.h"
#include "portsettingsdlg.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <unistd.h>
#include <vector>

namespace {

// The two windows as the user meets them: every control's number, kind, place and size in dialog
// units, caption and tab stop, written out here line by line, and compared with the widgets the
// program builds.

// One dialog unit is 1.5 pixels both ways; a half pixel rounds up.
int Pixels(int dialogUnits)
{
    return static_cast<int>(std::lround(dialogUnits * 1.5));
}

enum class Kind {
    Button,
    DefaultButton,
    LineEdit,
    TextBox, // a multi-line edit box
    Label,
    Frame, // a static area that the program paints itself
    GroupBox,
    ComboBox,
};

constexpr int NONE = -1;
constexpr bool TAB = true;
constexpr bool NO_TAB = false;

struct Control
{
    int number;
    Kind kind;
    int x, y, w, h;
    const char *caption;
    bool tabStop;
};

struct Window
{
    const char *title;
    int w, h;
    bool minimiseBox;
    std::span<const Control> controls;
};

// A combo box's height includes its opened list, so only its closed box's top, left and width
// are compared.
const Control MAIN_WINDOW_CONTROLS[] = {
    {2, Kind::Button, 606, 2, 29, 14, "ｷｬﾝｾﾙ", TAB},
    {1001, Kind::TextBox, 2, 79, 83, 343, "", TAB},
    {1002, Kind::LineEdit, 2, 440, 40, 14, "", TAB},
    {1003, Kind::Frame, 93, 77, 542, 354, "", NO_TAB},
    {1004, Kind::LineEdit, 95, 441, 540, 12, "", TAB},
    {NONE, Kind::GroupBox, 3, 1, 307, 30, "RS232 ポートステイタス", NO_TAB},
    {NONE, Kind::Label, 8, 55, 46, 8, "受信データ", NO_TAB},
    {NONE, Kind::Label, 4, 65, 92, 8, " X ch  Y ch  Z ch", NO_TAB},
    {NONE, Kind::Label, 2, 430, 46, 8, "受信文字数", NO_TAB},
    {NONE, Kind::Label, 47, 446, 32, 8, "Bytes", NO_TAB},
    {1005, Kind::Button, 585, 60, 50, 14, "表示クリア", TAB},
    {NONE, Kind::Label, 136, 62, 53, 8, "データ表示色:", NO_TAB},
    {1006, Kind::ComboBox, 521, 58, 40, 189, "", TAB},
    {NONE, Kind::Label, 457, 61, 64, 8, "データビット長:", NO_TAB},
    {NONE, Kind::Label, 3, 38, 537, 10,
     "受信データ書式：\u3000XYZ Data Format:X07FFY0801Z0ABC(cr)(lf),   "
     "XY  Data Format:X07FFY0801(cr)(lf),   X   Data Format:X07FF(cr)(lf)",
     NO_TAB},
    {1010, Kind::Frame, 197, 59, 63, 13, "", NO_TAB},
    {1011, Kind::Frame, 282, 59, 65, 13, "", NO_TAB},
    {1013, Kind::Frame, 370, 59, 73, 13, "", NO_TAB},
    {1015, Kind::Button, 585, 43, 50, 14, "ポート選択", TAB},
    {1016, Kind::LineEdit, 11, 14, 295, 12, "", TAB},
    {1007, Kind::Button, 585, 19, 50, 14, "送信", TAB},
    {1008, Kind::TextBox, 376, 4, 204, 29, "", TAB},
    {NONE, Kind::Label, 323, 6, 48, 8, "送信データ：", NO_TAB},
    {1009, Kind::Button, 321, 19, 47, 14, "送信クリア", TAB},
};

const Window MAIN_WINDOW = {"Orvanta (VER 3.00)   ", 638, 457, true, MAIN_WINDOW_CONTROLS};

const Control PORT_SETTINGS_CONTROLS[] = {
    {1, Kind::DefaultButton, 83, 130, 34, 14, "OK", TAB},
    {NONE, Kind::Label, 5, 10, 60, 8, "COMポート", NO_TAB},
    {NONE, Kind::Label, 5, 30, 60, 8, "ビット／秒（B）", NO_TAB},
    {NONE, Kind::Label, 5, 50, 60, 8, "データ ビット（D）", NO_TAB},
    {NONE, Kind::Label, 5, 70, 60, 8, "パリティ（P）", NO_TAB},
    {NONE, Kind::Label, 5, 90, 60, 8, "ストップ ビット（S）", NO_TAB},
    {NONE, Kind::Label, 5, 110, 60, 8, "フロー制御（F）", NO_TAB},
    {1012, Kind::ComboBox, 72, 30, 45, 186, "", TAB},
    {1016, Kind::ComboBox, 72, 50, 45, 181, "", TAB},
    {1017, Kind::ComboBox, 72, 70, 45, 184, "", TAB},
    {1018, Kind::ComboBox, 72, 90, 45, 184, "", TAB},
    {1019, Kind::ComboBox, 72, 110, 45, 169, "", TAB},
    {1000, Kind::ComboBox, 72, 10, 45, 174, "", TAB},
};

const Window PORT_SETTINGS = {"ポートの設定", 118, 149, false, PORT_SETTINGS_CONTROLS};

bool IsKind(const QWidget &widget, Kind kind)
{
    const auto *button = qobject_cast<const QPushButton *>(&widget);
    switch (kind) {
    case Kind::Button:
        return button && !button->isDefault();
    case Kind::DefaultButton:
        return button && button->isDefault();
    case Kind::LineEdit:
        return qobject_cast<const QLineEdit *>(&widget) != nullptr;
    case Kind::TextBox:
        return qobject_cast<const QAbstractScrollArea *>(&widget) != nullptr;
    case Kind::Label:
        return qobject_cast<const QLabel *>(&widget) != nullptr;
    case Kind::Frame:
        return !IsKind(widget, Kind::Label) && !button && !IsKind(widget, Kind::LineEdit)
            && !IsKind(widget, Kind::TextBox) && !IsKind(widget, Kind::GroupBox)
            && !IsKind(widget, Kind::ComboBox);
    case Kind::GroupBox:
        return qobject_cast<const QGroupBox *>(&widget) != nullptr;
    case Kind::ComboBox:
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

int NumberOf(const QWidget *widget)
{
    bool numbered = false;
    const int number = widget ? widget->objectName().toInt(&numbered) : 0;
    return numbered ? number : NONE;
}

// The controls that the focus visits when the user presses Tab again and again, from the one
// that has it when the window opens, until it comes round.
std::vector<int> TabWalk(QDialog &dialog)
{
    std::vector<int> visited {NumberOf(dialog.focusWidget())};
    for (std::size_t presses = 0; presses < 64; ++presses) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
        QApplication::sendEvent(dialog.focusWidget(), &tab);
        if (dialog.focusWidget() == nullptr || NumberOf(dialog.focusWidget()) == visited.front())
            break;
        visited.push_back(NumberOf(dialog.focusWidget()));
    }
    return visited;
}

void ExpectLaidOutAs(QDialog &dialog, const Window &window)
{
    EXPECT_EQ(dialog.windowTitle().toStdString(), window.title);
    EXPECT_EQ(dialog.width(), Pixels(window.w));
    EXPECT_EQ(dialog.height(), Pixels(window.h));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(bool(dialog.windowFlags() & Qt::WindowMinimizeButtonHint), window.minimiseBox);

    const QList<QWidget *> children = dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), static_cast<qsizetype>(window.controls.size()));
    std::vector<int> tabStops;
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        const Control &control = window.controls[i];
        const QWidget &widget = *children[static_cast<qsizetype>(i)];
        SCOPED_TRACE(testing::Message() << "control " << i + 1 << " number " << control.number);
        EXPECT_EQ(NumberOf(&widget), control.number);
        EXPECT_TRUE(IsKind(widget, control.kind)) << widget.metaObject()->className();
        EXPECT_EQ(widget.x(), Pixels(control.x));
        EXPECT_EQ(widget.y(), Pixels(control.y));
        EXPECT_EQ(widget.width(), Pixels(control.w));
        if (control.kind != Kind::ComboBox) {
            EXPECT_EQ(widget.height(), Pixels(control.h));
        }
        EXPECT_EQ(CaptionOf(widget).toStdString(), control.caption);
        EXPECT_EQ(bool(widget.focusPolicy() & Qt::TabFocus), control.tabStop);
        if (control.tabStop)
            tabStops.push_back(control.number);
    }
    EXPECT_EQ(TabWalk(dialog), tabStops);
}

void ShowActive(QDialog &dialog)
{
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(WaitFor([&] { return dialog.focusWidget() != nullptr; }));
}

TEST_F(MonitorWindow, MainWindowHoldsEveryControlInPlace)
{
    ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    ASSERT_NO_FATAL_FAILURE(ShowActive(dialog));
    ExpectLaidOutAs(dialog, MAIN_WINDOW);
    ::unlink("COM1");
}

TEST_F(MonitorWindow, PortSettingsDialogHoldsEveryControlInPlace)
{
    CPortSettingsDlg dialog;
    ASSERT_NO_FATAL_FAILURE(ShowActive(dialog));
    ExpectLaidOutAs(dialog, PORT_SETTINGS);
}

} // namespace
