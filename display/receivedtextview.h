#pragma once

#include "linescroll.h"
#include "receivedtext.h"
#include "shiftjisdecoder.h"
#include "textcursor.h"

#include <QAbstractScrollArea>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// The received-data box: a read-only view of the byte store that paints only the lines in sight,
// each decoded from the store as Shift_JIS, so a character that arrived split over two chunks
// shows whole. Control bytes other than TAB show as their pictures. The view never owns or copies
// the text; its owner calls TextChanged() after every Append or Clear. Once the user has scrolled
// to the very end, the view follows the newest text until the user scrolls away from the end;
// anywhere else new text never moves what the user is looking at. The selection is a range of byte
// offsets into the store and is copied by decoding those bytes. Lives on the main window's thread.
class CReceivedTextView : public QAbstractScrollArea, private CTextColumns
{
    Q_OBJECT

public:
    explicit CReceivedTextView(const CReceivedText &text, QWidget *parent = nullptr);
    ~CReceivedTextView() override;

    // Costs what changed: the scroll ranges follow the line index, and the lines in sight are
    // repainted only when the change reaches them. A clear drops the selection.
    void TextChanged();

    QString SelectedText() const;
    void SelectAll();
    // Puts the selected text on the clipboard; an empty selection leaves the clipboard alone, and
    // one of more than MAX_COPY_BYTES is refused with a message.
    void CopySelection() const;

    static constexpr std::uint64_t MAX_COPY_BYTES = CReceivedText::COPY_LIMIT;

    // The line at the top of the view.
    std::uint64_t FirstLineInSight() const;
    // For tests: fewer scroll bar steps than an int holds and a smaller copy, so that both limits
    // show on a short text.
    void SetLimits(int scrollSteps, std::uint64_t copyBytes);

    // A line as it is painted: decoded, control bytes as pictures.
    QString DisplayedLine(std::uint64_t line) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct ShownLine;

    const ShownLine &Show(std::uint64_t line) const;
    void ForgetShownLinesFrom(std::uint64_t line);
    void PaintLine(QPainter &painter, std::uint64_t line, int top);
    std::uint64_t OffsetAt(QPoint position) const;
    void ScrollTowards(QPoint position);
    void MoveCursor(CursorMove move);
    int XOf(std::uint64_t offset) const override;
    std::uint64_t OffsetAtX(std::uint64_t line, int x) const override;
    void UpdateMetrics();
    void UpdateScrollRanges();
    void NoteWhetherAtEnd(int firstLineInSight);
    int RowsInSight() const;
    std::uint64_t LastLineInSight() const;
    std::uint64_t SelectionBegin() const;
    std::uint64_t SelectionEnd() const;

    const CReceivedText &m_text;
    mutable CShiftJisDecoder m_decoder;
    mutable std::string m_bytes;
    // The lines in sight, decoded and laid out; a line is kept until it changes or leaves sight.
    mutable std::map<std::uint64_t, std::unique_ptr<ShownLine>> m_shownLines;
    std::uint64_t m_shownClearCount;
    std::uint64_t m_shownLineCount = 0;
    std::uint64_t m_selectionAnchor = 0;
    std::uint64_t m_selectionCursor = 0;
    CLineScroll m_scroll;
    std::uint64_t m_copyLimit = MAX_COPY_BYTES;
    int m_lineHeight = 1;
    int m_characterWidth = 1;
    // The widest line painted so far; the line index gives lengths in bytes, and a line of wide
    // glyphs (control pictures) may need more than its bytes promise.
    int m_widestPaintedLine = 0;
};
