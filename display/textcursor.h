#pragma once

#include <cstdint>

class CReceivedText;

// The moves of the selection's moving end that the keyboard makes (Shift with the arrow, page,
// Home and End keys, Ctrl+Shift+Home and End).
enum class CursorMove {
    PreviousCharacter,
    NextCharacter,
    PreviousLine,
    NextLine,
    PreviousPage,
    NextPage,
    LineStart,
    LineEnd,
    TextStart,
    TextEnd,
};

// Where a view's columns lie, which only the view can measure: the x of the character boundary
// at an offset on its line, and the boundary nearest to an x on a line.
class CTextColumns
{
public:
    virtual ~CTextColumns() = default;
    virtual int XOf(std::uint64_t offset) const = 0;
    virtual std::uint64_t OffsetAtX(std::uint64_t line, int x) const = 0;
};

// The moving end after `move`: by whole characters, never between a lead byte and its trail
// byte; a line break is one step; up and down keep the column as near as the characters allow,
// a page being the rows in sight.
std::uint64_t MovedCursor(const CReceivedText &text, std::uint64_t cursor, CursorMove move,
                          int rowsInSight, const CTextColumns &columns);
