#include "messagebox.h"
#include "receivedtext.h"
#include "receivedtextview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace {

// Widgets need an application object; gtest's own main runs the tests, so an environment holds it.
std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

std::string Repeat(const std::string &piece, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

const std::string FRAME = "X07FFY0801Z0ABC\r\n";
// "エラー" in Shift_JIS.
const std::string ERROR_TEXT = Bytes({0x83, 0x47, 0x83, 0x89, 0x81, 0x5B});

QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Counts the paints of a widget.
class CPaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Public, so that the rows of a table can act on it.
class ReceivedTextView : public ::testing::Test
{
public:
    ReceivedTextView()
        : view(text)
    {
        QFont font(QStringLiteral("IPAMincho"));
        font.setPixelSize(12);
        view.setFont(font);
        view.resize(125, 515);
        view.show();
    }

    void Receive(const std::string &bytes)
    {
        text.Append(bytes.data(), bytes.size());
        view.TextChanged();
    }

    // The owner's clear: the text empties and the view hears of it.
    void Clear()
    {
        text.Clear();
        view.TextChanged();
    }

    QScrollBar &Bar() const { return *view.verticalScrollBar(); }

    void ReceiveInChunks(const std::string &bytes, std::size_t chunkLength)
    {
        for (std::size_t at = 0; at < bytes.size(); at += chunkLength)
            text.Append(bytes.data() + at, std::min(chunkLength, bytes.size() - at));
        view.TextChanged();
    }

    int LineHeight() const { return QFontMetrics(view.font()).lineSpacing(); }

    // A point in the middle of a line that is in sight, `x` pixels from the viewport's left.
    QPoint PointOnLine(std::uint64_t line, int x) const
    {
        const auto row = static_cast<int>(line) - view.verticalScrollBar()->value();
        return {x, row * LineHeight() + LineHeight() / 2};
    }
    QPoint LineStart(std::uint64_t line) const { return PointOnLine(line, 1); }
    QPoint BeyondLineEnd(std::uint64_t line) const
    {
        return PointOnLine(line, view.viewport()->width() - 1);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *viewport = view.viewport();
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(viewport, &event);
    }

    void Drag(QPoint from, QPoint to)
    {
        Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        Mouse(QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    void Click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton, modifiers);
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&view, &event);
    }

    // The received lines from `first` to `last`, joined by their breaks, as decoded text.
    QString Lines(std::uint64_t first, std::uint64_t last) const
    {
        std::string bytes;
        text.CopyRange(text.Line(first).begin, text.Line(last).end, bytes);
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }

    CReceivedText text;
    CReceivedTextView view;
};

// Where the user leaves the view, with the text as it stands, and whether new text then keeps
// the newest line in sight or leaves the view where it is.
struct FollowCase
{
    const char *name;
    std::size_t framesBefore;
    std::function<void(ReceivedTextView &)> leave;
    bool follows;
};

const FollowCase FOLLOW_CASES[] = {
    {"AtStart", 1000, [](auto &) {}, false},
    {"InTheMiddle", 1000, [](auto &t) { t.Bar().setValue(200); }, false},
    {"AtTheEnd", 1000, [](auto &t) { t.Bar().setValue(t.Bar().maximum()); }, true},
    {"OneLineAboveTheEnd", 1000, [](auto &t) { t.Bar().setValue(t.Bar().maximum() - 1); }, false},
    {"LeftTheEnd", 1000,
     [](auto &t) {
         t.Bar().triggerAction(QAbstractSlider::SliderToMaximum);
         t.Bar().triggerAction(QAbstractSlider::SliderSingleStepSub);
     },
     false},
    {"ShortTextThatFits", 3, [](auto &t) { t.Bar().setValue(t.Bar().maximum()); }, false},
    {"AtTheEndThenCleared", 1000,
     [](auto &t) {
         t.Bar().triggerAction(QAbstractSlider::SliderToMaximum);
         t.Clear();
     },
     true},
    {"InTheMiddleThenCleared", 1000,
     [](auto &t) {
         t.Bar().setValue(200);
         t.Clear();
     },
     false},
};

void PrintTo(const FollowCase &row, std::ostream *out)
{
    *out << row.name;
}

class Following : public ReceivedTextView, public ::testing::WithParamInterface<FollowCase>
{
};

TEST_P(Following, NewTextMovesTheViewOnlyFromTheEnd)
{
    Receive(Repeat(FRAME, GetParam().framesBefore));
    GetParam().leave(*this);
    const int left = Bar().value();

    ReceiveInChunks(Repeat(FRAME, 1000), 4095);
    ASSERT_GT(Bar().maximum(), 900);
    EXPECT_EQ(Bar().value(), GetParam().follows ? Bar().maximum() : left);
    Receive(FRAME);
    EXPECT_EQ(Bar().value(), GetParam().follows ? Bar().maximum() : left);
}

INSTANTIATE_TEST_SUITE_P(LeftView, Following, ::testing::ValuesIn(FOLLOW_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReceivedTextView, KeepsTheEndInSightWhenResized)
{
    Receive(Repeat(FRAME, 1000));
    Key(Qt::Key_End, Qt::ControlModifier);
    view.resize(view.width(), view.height() / 2);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

TEST_F(ReceivedTextView, ShowsACharacterSplitOverTwoChunksWhole)
{
    Receive(ERROR_TEXT.substr(0, 1));
    EXPECT_EQ(view.DisplayedLine(0), Text("\uFFFD"));
    Receive(ERROR_TEXT.substr(1));
    EXPECT_EQ(view.DisplayedLine(0), Text("エラー"));
}

struct DisplayCase
{
    const char *name;
    std::string bytes;
    const char *shown;
};

const DisplayCase DISPLAY_CASES[] = {
    {"Ascii", "X07FFY0801Z0ABC", "X07FFY0801Z0ABC"},
    {"DoubleByte", ERROR_TEXT, "エラー"},
    {"AsciiLetterAsTrailByte", Bytes({0x83, 'X'}), "ス"},
    {"SingleByteKatakana", Bytes({0xB1, 0xDF}), "ｱﾟ"},
    {"InvalidSingleBytes", Bytes({0x80, 0xA0, 0xFD, 0xFF}), "\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"LeadByteWithoutTrailByte", Bytes({0x83, ' ', 'a'}), "\uFFFD a"},
    {"LeadByteAtTheEnd", Bytes({'a', 0x83}), "a\uFFFD"},
    {"UnassignedPair", Bytes({0x85, 0x40}), "\uFFFD"},
    {"ControlBytesAsPictures", Bytes({0x00, 0x01, 0x1A, 0x1B, 0x1C, 0x1F, 0x7F}),
     "\u2400\u2401\u241A\u241B\u241C\u241F\u2421"},
    {"TabKept", "a\tb", "a\tb"},
};

void PrintTo(const DisplayCase &row, std::ostream *out)
{
    *out << row.name;
}

class DisplayedLine : public ReceivedTextView, public ::testing::WithParamInterface<DisplayCase>
{
};

TEST_P(DisplayedLine, DecodesTheStoredBytes)
{
    Receive(GetParam().bytes);
    EXPECT_EQ(view.DisplayedLine(0), Text(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(ShiftJis, DisplayedLine, ::testing::ValuesIn(DISPLAY_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReceivedTextView, CopiesControlBytesAsThemselves)
{
    Receive(Bytes({0x1A, 0x1C, 0x7F, '\t', '\r', '\n', 0x00, 0x83}));
    view.SelectAll();
    EXPECT_EQ(view.SelectedText(), QString::fromUtf16(u"\x1A\x1C\x7F\t\r\n\0\uFFFD", 8));
}

TEST_F(ReceivedTextView, DragSelectsAcrossSegmentsAndCopies)
{
    Receive(Repeat(FRAME, 5000));
    // Line 3855 holds the first byte of the second segment.
    ASSERT_EQ(text.LineAt(CReceivedText::SEGMENT_SIZE), 3855u);
    view.verticalScrollBar()->setValue(3850);

    Drag(LineStart(3854), BeyondLineEnd(3857));
    const QString expected = Lines(3854, 3857);
    EXPECT_EQ(view.SelectedText(), expected);

    QApplication::clipboard()->clear();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

TEST_F(ReceivedTextView, ShiftClickExtendsTheSelection)
{
    Receive(Repeat(FRAME, 5000));
    view.verticalScrollBar()->setValue(3850);
    Click(LineStart(3853));
    Click(BeyondLineEnd(3856), Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Lines(3853, 3856));
    // The anchor stays: a second shift-click above it selects upwards from it.
    Click(LineStart(3851), Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Lines(3851, 3852) + "\r\n");
}

TEST_F(ReceivedTextView, ShiftWithKeysMovesTheSelectionsEnd)
{
    Receive("abc\r\naaa\r\naaaa" + ERROR_TEXT);
    Click(LineStart(1));
    Key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Text("aaa"));
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Text("aaa\r\naaa")) << "the same column";
    Key(Qt::Key_End, Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Text("aaa\r\naaaaエラ"))
        << "a double-byte character is one step";
    Key(Qt::Key_Up, Qt::ShiftModifier);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    Key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Text("abc\r\n")) << "the anchor stays";
    Key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(view.SelectedText(), Text("aaa\r\naaaaエラー"));
}

TEST_F(ReceivedTextView, ShiftPageDownScrollsTheSelectionsEndIntoSight)
{
    Receive(Repeat(FRAME, 500));
    const auto rows = static_cast<std::uint64_t>(view.viewport()->height() / LineHeight());
    Key(Qt::Key_PageDown, Qt::ShiftModifier);
    Key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), Lines(0, 2 * rows - 1) + "\r\n");
    EXPECT_EQ(view.FirstLineInSight(), rows + 1);
}

TEST_F(ReceivedTextView, DraggingPastTheBottomScrolls)
{
    Receive(Repeat(FRAME, 500));
    Mouse(QEvent::MouseButtonPress, LineStart(0), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(1, view.viewport()->height() + 10), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(1, view.viewport()->height() + 10), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(1, view.viewport()->height() + 10), Qt::NoButton);
    EXPECT_EQ(view.verticalScrollBar()->value(), 2);
    EXPECT_TRUE(view.SelectedText().startsWith(Lines(0, 0) + "\r\n"));
}

TEST_F(ReceivedTextView, ClickOnNoTextSelectsNothing)
{
    Drag(LineStart(0), BeyondLineEnd(5));
    EXPECT_EQ(view.SelectedText(), QString());
}

TEST_F(ReceivedTextView, SelectAllAndCopyTakeEveryByteDecoded)
{
    // Shift_JIS lines in reader-sized chunks, so characters and breaks straddle chunks and
    // segments.
    ReceiveInChunks(Repeat(ERROR_TEXT + "\r\n", 20000), 4095);
    ASSERT_GT(text.Size(), 2 * CReceivedText::SEGMENT_SIZE);
    QApplication::clipboard()->clear();
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (int i = 0; i < 20000; ++i)
        expected += Text("エラー\r\n");
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

// More lines than the scroll bar has steps: each step is several lines, and both ends and the
// middle are still reached.
TEST_F(ReceivedTextView, ScalesItsScrollBarPastTheStepsItHas)
{
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += std::to_string(i) + "\r\n";
    Receive(lines);
    view.SetLimits(100, CReceivedTextView::MAX_COPY_BYTES);
    EXPECT_LE(Bar().maximum(), 100);
    Key(Qt::Key_End, Qt::ControlModifier);
    const std::uint64_t rows = static_cast<std::uint64_t>(view.viewport()->height() / LineHeight());
    EXPECT_EQ(view.FirstLineInSight() + rows, text.LineCount());
    Bar().setValue(Bar().maximum() / 2);
    EXPECT_NEAR(static_cast<double>(view.FirstLineInSight()), 500.0, 20.0);
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.FirstLineInSight(), 0u);
}

TEST_F(ReceivedTextView, RefusesACopyLargerThanItsLimit)
{
    QStringList messages;
    SetMessageBoxHandler([&](const QString &message, MessageButtons, const QString &) {
        messages << message;
        return MessageAnswer::Ok;
    });
    Receive(Repeat(FRAME, 6));
    view.SetLimits(INT_MAX, 6 * FRAME.size() - 1);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(messages, QStringList {Text("選択範囲が大きすぎるのでコピーできません")});
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    view.SetLimits(INT_MAX, 6 * FRAME.size());
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().size(), static_cast<qsizetype>(6 * FRAME.size()));
    SetMessageBoxHandler({});
}

TEST_F(ReceivedTextView, CopyWithNothingSelectedKeepsTheClipboard)
{
    Receive(FRAME);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST_F(ReceivedTextView, ContextMenuCopies)
{
    Receive(ERROR_TEXT + "\r\n" + FRAME);
    view.SelectAll();
    QApplication::clipboard()->clear();
    bool triggered = false;
    // The menu runs its own loop; this runs inside it, picks the entry and closes the menu.
    QTimer::singleShot(0, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *menu = qobject_cast<QMenu *>(widget);
            if (!menu || !menu->isVisible())
                continue;
            for (QAction *action : menu->actions()) {
                if (action->text() == Text("コピー(&C)") && action->isEnabled()) {
                    action->trigger();
                    triggered = true;
                }
            }
            menu->close();
        }
    });
    const QPoint at = LineStart(0);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    EXPECT_TRUE(triggered);
    EXPECT_EQ(QApplication::clipboard()->text(), Text("エラー\r\nX07FFY0801Z0ABC\r\n"));
}

int CountPixels(const QImage &image, int top, int bottom, QColor colour)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

TEST_F(ReceivedTextView, PaintsTheSelectionHighlighted)
{
    Receive("abc\r\ndef\r\nghi");
    Drag(LineStart(1), BeyondLineEnd(1));
    ASSERT_EQ(view.SelectedText(), QStringLiteral("def"));
    const QImage image = view.viewport()->grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Highlight);
    const int height = LineHeight();
    EXPECT_EQ(CountPixels(image, 0, height, highlight), 0);
    EXPECT_GT(CountPixels(image, height, 2 * height, highlight), 0);
    EXPECT_EQ(CountPixels(image, 2 * height, 3 * height, highlight), 0);
    EXPECT_EQ(image.pixelColor(image.width() - 1, 4 * height), QColor(Qt::white));
}

TEST_F(ReceivedTextView, ClearDropsTheSelectionAndScrollsBack)
{
    Receive(Repeat(FRAME, 1000));
    view.verticalScrollBar()->setValue(300);
    view.SelectAll();
    Clear();
    EXPECT_EQ(view.SelectedText(), QString());
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    Receive(FRAME);
    EXPECT_EQ(view.SelectedText(), QString());
}

TEST_F(ReceivedTextView, NoticesAClearFollowedByNewTextAtOnce)
{
    Receive(Repeat(FRAME, 10));
    view.SelectAll();
    text.Clear();
    text.Append(ERROR_TEXT.data(), ERROR_TEXT.size());
    view.TextChanged();
    EXPECT_EQ(view.SelectedText(), QString());
    EXPECT_EQ(view.DisplayedLine(0), Text("エラー"));
}

TEST_F(ReceivedTextView, RepaintsOnlyWhenTheChangeIsInSight)
{
    CPaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QApplication::processEvents();

    counter.paints = 0;
    Receive("X07FF");
    QApplication::processEvents();
    EXPECT_GT(counter.paints, 0);

    Receive(Repeat(FRAME, 200));
    QApplication::processEvents();
    counter.paints = 0;
    Receive(Repeat(FRAME, 200));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
}

struct ScrollKey
{
    const char *name;
    int key;
    Qt::KeyboardModifiers modifiers;
    int expectedFromTen; // -1: the maximum
};

const ScrollKey SCROLL_KEYS[] = {
    {"Down", Qt::Key_Down, Qt::NoModifier, 11},
    {"Up", Qt::Key_Up, Qt::NoModifier, 9},
    {"ControlHome", Qt::Key_Home, Qt::ControlModifier, 0},
    {"ControlEnd", Qt::Key_End, Qt::ControlModifier, -1},
};

void PrintTo(const ScrollKey &row, std::ostream *out)
{
    *out << row.name;
}

class ScrollKeys : public ReceivedTextView, public ::testing::WithParamInterface<ScrollKey>
{
};

TEST_P(ScrollKeys, MoveTheView)
{
    Receive(Repeat(FRAME, 500));
    QScrollBar *vertical = view.verticalScrollBar();
    vertical->setValue(10);
    Key(GetParam().key, GetParam().modifiers);
    const int expected
        = GetParam().expectedFromTen < 0 ? vertical->maximum() : GetParam().expectedFromTen;
    EXPECT_EQ(vertical->value(), expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, ScrollKeys, ::testing::ValuesIn(SCROLL_KEYS),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReceivedTextView, PageDownMovesByTheLinesInSight)
{
    Receive(Repeat(FRAME, 500));
    const int linesInSight = view.viewport()->height() / LineHeight();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(view.verticalScrollBar()->value(), linesInSight);
}

TEST_F(ReceivedTextView, WheelScrolls)
{
    Receive(Repeat(FRAME, 500));
    const QPoint at = LineStart(0);
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(view.verticalScrollBar()->value(), QApplication::wheelScrollLines());
}

TEST_F(ReceivedTextView, LongLinesScrollSideways)
{
    Receive(std::string(300, 'a'));
    const int textWidth = 300 * QFontMetrics(view.font()).horizontalAdvance(QLatin1Char('a'));
    EXPECT_GE(view.horizontalScrollBar()->maximum(), textWidth - view.viewport()->width());
}

TEST(ReceivedTextViewFocus, TabMovesTheFocusOn)
{
    CReceivedText text;
    QWidget window;
    auto *view = new CReceivedTextView(text, &window);
    auto *next = new QPushButton(QStringLiteral("next"), &window);
    next->setFocusPolicy(Qt::StrongFocus);
    window.show();
    window.activateWindow();
    QDeadlineTimer deadline(5000);
    while (!window.isActiveWindow() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(window.isActiveWindow());

    view->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(view->hasFocus());
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(view, &tab);
    EXPECT_TRUE(next->hasFocus());
}

} // namespace
