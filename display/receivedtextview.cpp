#include "receivedtextview.h"

#include "messagebox.h"
#include "receivedtext.h"
#include "steadyscrollbar.h"
#include "texts.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace {

// The gap between the border and the text, as in an edit box.
constexpr int TEXT_MARGIN = 2;
constexpr int TAB_COLUMNS = 8;

// What a key does to the selection's moving end, if anything.
std::optional<CursorMove> CursorMoveOf(const QKeyEvent &event)
{
    static const std::pair<QKeySequence::StandardKey, CursorMove> MOVES[] = {
        {QKeySequence::SelectPreviousChar, CursorMove::PreviousCharacter},
        {QKeySequence::SelectNextChar, CursorMove::NextCharacter},
        {QKeySequence::SelectPreviousLine, CursorMove::PreviousLine},
        {QKeySequence::SelectNextLine, CursorMove::NextLine},
        {QKeySequence::SelectPreviousPage, CursorMove::PreviousPage},
        {QKeySequence::SelectNextPage, CursorMove::NextPage},
        {QKeySequence::SelectStartOfLine, CursorMove::LineStart},
        {QKeySequence::SelectEndOfLine, CursorMove::LineEnd},
        {QKeySequence::SelectStartOfDocument, CursorMove::TextStart},
        {QKeySequence::SelectEndOfDocument, CursorMove::TextEnd},
    };
    for (const auto &[keys, move] : MOVES)
        if (event.matches(keys))
            return move;
    return std::nullopt;
}

int ClampToInt(std::uint64_t value)
{
    return static_cast<int>(std::min<std::uint64_t>(value, INT_MAX));
}

// One line of text without wrapping, TABs to every TAB_COLUMNS-th column.
void LayOut(QTextLayout &layout, const QString &text, const QFont &font, int characterWidth)
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(TAB_COLUMNS * characterWidth);
    layout.setText(text);
    layout.setFont(font);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

} // namespace

// One line as painted: where its bytes lie, its decoded text laid out, and where each character's
// bytes begin.
struct CReceivedTextView::ShownLine
{
    CReceivedText::LineRange range;
    // The offset from range.begin of each unit's bytes, and the line's length last.
    std::vector<std::size_t> starts;
    QTextLayout layout;
    int width = 0;

    int UnitAt(std::uint64_t offset) const
    {
        const auto found = std::lower_bound(starts.begin(), starts.end(), offset - range.begin);
        return static_cast<int>(found - starts.begin());
    }

    std::uint64_t OffsetAtX(qreal x) const
    {
        return range.begin + starts[static_cast<std::size_t>(layout.lineAt(0).xToCursor(x))];
    }
};

CReceivedTextView::CReceivedTextView(const CReceivedText &text, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_text(text)
    , m_shownClearCount(text.ClearCount())
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    // Every chunk adds lines, so the vertical range changes with every chunk.
    setVerticalScrollBar(new CSteadyScrollBar(Qt::Vertical, this));
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CReceivedTextView::NoteWhetherAtEnd);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
    UpdateMetrics();
    TextChanged();
}

CReceivedTextView::~CReceivedTextView() = default;

void CReceivedTextView::TextChanged()
{
    if (m_text.ClearCount() != m_shownClearCount) {
        m_shownClearCount = m_text.ClearCount();
        m_shownLineCount = 0;
        m_selectionAnchor = m_selectionCursor = 0;
        m_widestPaintedLine = 0;
        horizontalScrollBar()->setValue(0);
    }
    // The last line shown so far may have grown; the lines before it are as they were.
    const std::uint64_t firstChangedLine = m_shownLineCount == 0 ? 0 : m_shownLineCount - 1;
    ForgetShownLinesFrom(firstChangedLine);
    m_shownLineCount = m_text.LineCount();
    UpdateScrollRanges();
    if (firstChangedLine <= LastLineInSight())
        viewport()->update();
}

QString CReceivedTextView::SelectedText() const
{
    m_text.CopyRange(SelectionBegin(), SelectionEnd(), m_bytes);
    return m_decoder.Decode(m_bytes, CShiftJisDecoder::Controls::AsIs);
}

void CReceivedTextView::SelectAll()
{
    m_selectionAnchor = 0;
    m_selectionCursor = m_text.Size();
    viewport()->update();
}

void CReceivedTextView::CopySelection() const
{
    if (SelectionEnd() - SelectionBegin() > m_copyLimit) {
        ShowMessageBox(QString::fromUtf8(Strings::SELECTION_TOO_LARGE));
        return;
    }
    if (SelectionBegin() < SelectionEnd())
        QGuiApplication::clipboard()->setText(SelectedText());
}

std::uint64_t CReceivedTextView::FirstLineInSight() const
{
    return m_scroll.TopLine(verticalScrollBar()->value());
}

void CReceivedTextView::SetLimits(int scrollSteps, std::uint64_t copyBytes)
{
    m_scroll.SetStepLimit(scrollSteps);
    m_copyLimit = copyBytes;
    UpdateScrollRanges();
}

QString CReceivedTextView::DisplayedLine(std::uint64_t line) const
{
    return Show(line).layout.text();
}

const CReceivedTextView::ShownLine &CReceivedTextView::Show(std::uint64_t line) const
{
    std::unique_ptr<ShownLine> &shown = m_shownLines[line];
    if (shown)
        return *shown;
    shown = std::make_unique<ShownLine>();
    shown->range = m_text.Line(line);
    m_text.CopyRange(shown->range.begin, shown->range.end, m_bytes);
    const QString decoded
        = m_decoder.Decode(m_bytes, CShiftJisDecoder::Controls::AsPictures, &shown->starts);
    LayOut(shown->layout, decoded, font(), m_characterWidth);
    shown->width = static_cast<int>(std::ceil(shown->layout.lineAt(0).naturalTextWidth()));
    return *shown;
}

void CReceivedTextView::ForgetShownLinesFrom(std::uint64_t line)
{
    m_shownLines.erase(m_shownLines.lower_bound(line), m_shownLines.end());
}

void CReceivedTextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Qt::white);
    painter.setPen(Qt::black);
    const int widestBefore = m_widestPaintedLine;
    const std::uint64_t lineCount = m_text.LineCount();
    const std::uint64_t firstLine = FirstLineInSight();
    std::uint64_t line = firstLine;
    for (int top = 0; top < viewport()->height() && line < lineCount; top += m_lineHeight, ++line)
        PaintLine(painter, line, top);
    m_shownLines.erase(m_shownLines.begin(), m_shownLines.lower_bound(firstLine));
    ForgetShownLinesFrom(line);
    if (m_widestPaintedLine > widestBefore)
        UpdateScrollRanges();
}

void CReceivedTextView::PaintLine(QPainter &painter, std::uint64_t line, int top)
{
    const ShownLine &shown = Show(line);
    m_widestPaintedLine = std::max(m_widestPaintedLine, shown.width);

    const QPointF origin(TEXT_MARGIN - horizontalScrollBar()->value(), top);
    const std::uint64_t selectedFrom = std::max(SelectionBegin(), shown.range.begin);
    const std::uint64_t selectedTo = std::min(SelectionEnd(), shown.range.end);
    QList<QTextLayout::FormatRange> selection;
    if (selectedFrom < selectedTo) {
        QTextLayout::FormatRange range;
        range.start = shown.UnitAt(selectedFrom);
        range.length = shown.UnitAt(selectedTo) - range.start;
        range.format.setBackground(palette().brush(QPalette::Highlight));
        range.format.setForeground(palette().brush(QPalette::HighlightedText));
        selection.append(range);
    }
    shown.layout.draw(&painter, origin, selection);

    // A selected line break shows as a highlighted cell behind the text.
    const bool hasBreak
        = line + 1 < m_text.LineCount() && m_text.Line(line + 1).begin > shown.range.end;
    if (hasBreak && SelectionBegin() <= shown.range.end && SelectionEnd() > shown.range.end)
        painter.fillRect(QRectF(origin.x() + shown.width, top, m_characterWidth, m_lineHeight),
                         palette().brush(QPalette::Highlight));
}

std::uint64_t CReceivedTextView::OffsetAt(QPoint position) const
{
    const int row = position.y() >= 0 ? position.y() / m_lineHeight : -1;
    const std::int64_t line
        = std::clamp<std::int64_t>(static_cast<std::int64_t>(FirstLineInSight()) + row, 0,
                                   static_cast<std::int64_t>(m_text.LineCount() - 1));
    return Show(static_cast<std::uint64_t>(line))
        .OffsetAtX(position.x() - TEXT_MARGIN + horizontalScrollBar()->value());
}

// Dragging past an edge scrolls one step towards it for each move of the mouse.
void CReceivedTextView::ScrollTowards(QPoint position)
{
    const QRect inside = viewport()->rect();
    if (position.y() < inside.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.y() > inside.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (position.x() < inside.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.x() > inside.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void CReceivedTextView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_selectionCursor = OffsetAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_selectionAnchor = m_selectionCursor;
    viewport()->update();
}

void CReceivedTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    ScrollTowards(position);
    m_selectionCursor = OffsetAt(position);
    viewport()->update();
}

void CReceivedTextView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (const std::optional<CursorMove> move = CursorMoveOf(*event)) {
        MoveCursor(*move);
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// Moves the selection's moving end and scrolls it into sight.
void CReceivedTextView::MoveCursor(CursorMove move)
{
    m_selectionCursor = MovedCursor(m_text, m_selectionCursor, move, RowsInSight(), *this);
    QScrollBar *vertical = verticalScrollBar();
    vertical->setValue(m_scroll.ValueShowing(m_text.LineAt(m_selectionCursor), vertical->value()));
    QScrollBar *horizontal = horizontalScrollBar();
    const int x = XOf(m_selectionCursor);
    if (x < horizontal->value())
        horizontal->setValue(x);
    else if (x + TEXT_MARGIN + m_characterWidth > horizontal->value() + viewport()->width())
        horizontal->setValue(x + TEXT_MARGIN + m_characterWidth - viewport()->width());
    viewport()->update();
}

int CReceivedTextView::XOf(std::uint64_t offset) const
{
    const ShownLine &shown = Show(m_text.LineAt(offset));
    return static_cast<int>(shown.layout.lineAt(0).cursorToX(shown.UnitAt(offset)));
}

std::uint64_t CReceivedTextView::OffsetAtX(std::uint64_t line, int x) const
{
    return Show(line).OffsetAtX(x);
}

void CReceivedTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(QString::fromUtf8(Strings::COPY_MENU));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(SelectionBegin() < SelectionEnd());
    connect(copy, &QAction::triggered, this, &CReceivedTextView::CopySelection);
    menu.addSeparator();
    QAction *selectAll = menu.addAction(QString::fromUtf8(Strings::SELECT_ALL_MENU));
    selectAll->setShortcut(QKeySequence::SelectAll);
    connect(selectAll, &QAction::triggered, this, &CReceivedTextView::SelectAll);
    menu.exec(event->globalPos());
}

// Lines are painted from the scroll values, so a scroll is a repaint.
void CReceivedTextView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CReceivedTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void CReceivedTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        m_shownLines.clear();
        m_widestPaintedLine = 0;
        UpdateScrollRanges();
        viewport()->update();
    }
}

void CReceivedTextView::UpdateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_characterWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
}

void CReceivedTextView::UpdateScrollRanges()
{
    m_scroll.Update(m_text.LineCount(), RowsInSight());
    auto *vertical = static_cast<CSteadyScrollBar *>(verticalScrollBar());
    vertical->setPageStep(m_scroll.PageStep());
    vertical->setSingleStep(1);
    if (m_scroll.FollowsEnd())
        vertical->SetRangeKeepingValueAtEnd(0, m_scroll.Maximum());
    else
        vertical->setRange(0, m_scroll.Maximum());

    const int longestByBytes = ClampToInt(m_text.LongestLineLength() * m_characterWidth);
    const int contentWidth = std::max(longestByBytes, m_widestPaintedLine) + 2 * TEXT_MARGIN;
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(m_characterWidth);
    horizontal->setRange(0, std::max(0, contentWidth - viewport()->width()));
}

void CReceivedTextView::NoteWhetherAtEnd(int firstLineInSight)
{
    m_scroll.NoteValue(firstLineInSight);
}

int CReceivedTextView::RowsInSight() const
{
    return viewport()->height() / m_lineHeight;
}

std::uint64_t CReceivedTextView::LastLineInSight() const
{
    const int rows = (viewport()->height() + m_lineHeight - 1) / m_lineHeight;
    return FirstLineInSight() + static_cast<std::uint64_t>(rows);
}

std::uint64_t CReceivedTextView::SelectionBegin() const
{
    return std::min(m_selectionAnchor, m_selectionCursor);
}

std::uint64_t CReceivedTextView::SelectionEnd() const
{
    return std::max(m_selectionAnchor, m_selectionCursor);
}
