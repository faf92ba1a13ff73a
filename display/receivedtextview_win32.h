#pragma once

#include "linescroll.h"
#include "receivedtext.h"
#include "shiftjistext.h"
#include "textcursor.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The received-data box on Windows: a window of its own over the byte store, since the store may
// hold more than an edit control can. It paints only the lines in sight, each decoded from the
// store as Shift_JIS, so a character that arrived split over two chunks shows whole; control
// bytes other than TAB show as their pictures. The view never owns or copies the text; its owner
// calls TextChanged() after every Append or Clear. Once the user has scrolled to the very end,
// the view follows the newest text until the user scrolls away from it; anywhere else new text
// never moves what the user is looking at. The selection is a range of byte offsets into the
// store, made with the mouse, Shift with the arrow, Home, End and page keys, or Ctrl+A, and
// copied with Ctrl+C or the box's own menu. It looks like the read-only edit box that it
// replaces: that box's font and edge, and the background that a read-only edit asks of its
// parent. Its menu is its own; a right click elsewhere in the window reaches the window as
// before. Lives on the main window's thread.
class CReceivedTextWindow : private CTextColumns
{
public:
    // Makes the view in place of the edit control `controlId` of `dialog`, with the same number,
    // place, size, place in the tab order, tab stop, edge and font, and destroys the edit. Null
    // when the dialog has no such control or the window cannot be made. The window goes with the
    // dialog; the object may outlive it.
    static std::unique_ptr<CReceivedTextWindow> ReplaceEdit(HWND dialog, int controlId,
                                                            const CReceivedText &text);
    ~CReceivedTextWindow() override;
    CReceivedTextWindow(const CReceivedTextWindow &) = delete;
    CReceivedTextWindow &operator=(const CReceivedTextWindow &) = delete;

    HWND Window() const { return m_window; }

    // Costs what changed: the scroll ranges follow the line index, and the lines in sight are
    // repainted only when the change reaches them. A clear drops the selection.
    void TextChanged();

    std::wstring SelectedText() const;
    void SelectAll();
    // Puts the selected text on the clipboard; an empty selection leaves the clipboard alone, and
    // one of more than CReceivedText::COPY_LIMIT bytes is refused with a message.
    void CopySelection();

    // The line at the top of the view.
    std::uint64_t FirstLineInSight() const;
    // A line as it is painted: decoded, control bytes as pictures.
    std::wstring DisplayedLine(std::uint64_t line) const;

    // For tests: fewer scroll bar steps and a smaller copy, so that both limits show on a short
    // text.
    void SetLimits(int scrollSteps, std::uint64_t copyBytes);

private:
    struct ShownLine;

    explicit CReceivedTextWindow(const CReceivedText &text);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    const ShownLine &Show(std::uint64_t line) const;
    void ForgetShownLinesFrom(std::uint64_t line);
    void Paint(HDC target, const RECT &area);
    void PaintLine(HDC dc, std::uint64_t line, int top);
    void DrawText(HDC dc, const ShownLine &shown, int left, int top) const;
    std::uint64_t OffsetAt(POINT position) const;
    POINT PlaceOf(std::uint64_t offset) const;
    void ScrollTowards(POINT position);
    void SetFont(HFONT font);
    void UpdateScrollRanges();
    void SetTop(int value);
    void SetLeft(int pixels);
    void OnScroll(int bar, int request);
    void OnWheel(int delta);
    bool OnKey(WPARAM key);
    int XOf(std::uint64_t offset) const override;
    std::uint64_t OffsetAtX(std::uint64_t line, int x) const override;
    void MoveCursorTo(std::uint64_t offset, bool extend);
    void ShowCursor();
    void PlaceCaret() const;
    void ShowMenu(LPARAM at);
    void PutOnClipboard(const std::wstring &text) const;
    int RowsInSight() const;
    std::uint64_t LastLineInSight() const;
    std::uint64_t SelectionBegin() const;
    std::uint64_t SelectionEnd() const;

    const CReceivedText &m_text;
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    mutable CShiftJisText m_decoder;
    mutable std::string m_bytes;
    // The lines in sight, decoded and measured; a line is kept until it changes or leaves sight.
    mutable std::map<std::uint64_t, std::unique_ptr<ShownLine>> m_shownLines;
    std::uint64_t m_shownClearCount;
    std::uint64_t m_shownLineCount = 0;
    std::uint64_t m_selectionAnchor = 0;
    std::uint64_t m_selectionCursor = 0;
    CLineScroll m_scroll;
    std::uint64_t m_copyLimit = CReceivedText::COPY_LIMIT;
    int m_top = 0;
    int m_left = 0;
    int m_lineHeight = 1;
    int m_characterWidth = 1;
    // The widest line painted so far; the line index gives lengths in bytes, and a line of wide
    // glyphs (control pictures) may need more than its bytes promise.
    int m_widestPaintedLine = 0;
    int m_wheelRemainder = 0;
};
