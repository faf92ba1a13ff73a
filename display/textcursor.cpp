#include "textcursor.h"

#include "receivedtext.h"
#include "shiftjis.h"

#include <algorithm>
#include <string>

namespace {

// The start of the last character of the line that begins before `offset`; Shift_JIS is read
// only forwards, from the line's start.
std::uint64_t PreviousCharacterStart(const CReceivedText &text, CReceivedText::LineRange range,
                                     std::uint64_t offset)
{
    std::string bytes;
    text.CopyRange(range.begin, offset, bytes);
    std::size_t previous = 0;
    for (std::size_t at = 0; at < bytes.size(); at += ShiftJisCharacterLength(bytes, at))
        previous = at;
    return range.begin + previous;
}

std::uint64_t NextCharacterStart(const CReceivedText &text, CReceivedText::LineRange range,
                                 std::uint64_t offset)
{
    std::string bytes;
    text.CopyRange(range.begin, range.end, bytes);
    std::size_t at = 0;
    while (at <= offset - range.begin && at < bytes.size())
        at += ShiftJisCharacterLength(bytes, at);
    return range.begin + at;
}

std::uint64_t OnLineAway(const CReceivedText &text, std::uint64_t line, std::int64_t lines, int x,
                         const CTextColumns &columns)
{
    const auto last = static_cast<std::int64_t>(text.LineCount() - 1);
    const std::int64_t target
        = std::clamp<std::int64_t>(static_cast<std::int64_t>(line) + lines, 0, last);
    return columns.OffsetAtX(static_cast<std::uint64_t>(target), x);
}

} // namespace

std::uint64_t MovedCursor(const CReceivedText &text, std::uint64_t cursor, CursorMove move,
                          int rowsInSight, const CTextColumns &columns)
{
    const std::uint64_t line = text.LineAt(cursor);
    const CReceivedText::LineRange range = text.Line(line);
    const std::uint64_t onLine = std::min(cursor, range.end);
    const std::int64_t page = std::max(1, rowsInSight);
    switch (move) {
    case CursorMove::PreviousCharacter:
        if (onLine > range.begin)
            return PreviousCharacterStart(text, range, onLine);
        return line > 0 ? text.Line(line - 1).end : cursor;
    case CursorMove::NextCharacter:
        if (onLine < range.end)
            return NextCharacterStart(text, range, onLine);
        return line + 1 < text.LineCount() ? text.Line(line + 1).begin : cursor;
    case CursorMove::PreviousLine:
        return OnLineAway(text, line, -1, columns.XOf(onLine), columns);
    case CursorMove::NextLine:
        return OnLineAway(text, line, 1, columns.XOf(onLine), columns);
    case CursorMove::PreviousPage:
        return OnLineAway(text, line, -page, columns.XOf(onLine), columns);
    case CursorMove::NextPage:
        return OnLineAway(text, line, page, columns.XOf(onLine), columns);
    case CursorMove::LineStart:
        return range.begin;
    case CursorMove::LineEnd:
        return range.end;
    case CursorMove::TextStart:
        return 0;
    case CursorMove::TextEnd:
        return text.Size();
    }
    return cursor;
}
