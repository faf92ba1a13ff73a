#pragma once

#include "blockarray.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Everything received since the last clear, byte for byte: NUL bytes, control bytes and bytes
// that are not valid Shift_JIS are kept as they came, because the log must get every one of them.
// Beside the bytes it keeps an index of display lines, built as chunks arrive: a line ends at LF,
// at CR LF (one break, also when the CR ends one chunk and the LF begins the next) and at a lone
// CR; a line that would pass DISPLAY_LINE_LIMIT bytes is broken before the Shift_JIS character
// that would pass it. Bytes and index live in fixed blocks, so an append costs the chunk and never
// what is already held. Lives on the main window's thread.
class CReceivedText
{
public:
    static constexpr std::size_t SEGMENT_SIZE = 64 * 1024;
    static constexpr std::uint64_t DISPLAY_LINE_LIMIT = 1024;

    struct LineRange
    {
        std::uint64_t begin;
        std::uint64_t end;
    };

    void Append(const char *data, std::size_t length);
    void Clear();

    std::uint64_t Size() const { return m_bytes.Size(); }
    bool Empty() const { return m_bytes.Size() == 0; }
    // Counts the clears, so that a view can tell text that was replaced from text that grew.
    std::uint64_t ClearCount() const { return m_clearCount; }

    // At least 1: no text is one empty line, and text that ends with a break has an empty last
    // line after it.
    std::uint64_t LineCount() const { return m_lineStarts.Size() + 1; }
    // The bytes of line `line` without its break.
    LineRange Line(std::uint64_t line) const;
    // The line that holds the byte at `offset`; a break belongs to the line that it ends, and
    // Size() lies on the last line.
    std::uint64_t LineAt(std::uint64_t offset) const;
    // The length of the longest line without its break; never more than DISPLAY_LINE_LIMIT.
    std::uint64_t LongestLineLength() const { return m_longestLine; }

    // Replaces `out` with the bytes from `from` up to `to`, both clamped to Size().
    void CopyRange(std::uint64_t from, std::uint64_t to, std::string &out) const;
    // Calls visit(const char *, std::size_t) for every segment of stored bytes, in order, without
    // copying them.
    template<typename Visit> void ForEachSegment(Visit &&visit) const
    {
        m_bytes.ForEachSpan(0, m_bytes.Size(), visit);
    }

    // The bytes that the store holds on the heap for text and index, whole blocks counted.
    std::uint64_t MemoryUsed() const;

private:
    // Lines 1, 2, ... each start where a break or the length limit ended the line before; line 0
    // starts at 0. A start is kept in 16 bits relative to the start of its group of GROUP_LINES
    // lines, which no line span (at most the limit plus a CR LF) can overflow.
    static constexpr std::uint64_t GROUP_LINES = 64;
    static_assert((GROUP_LINES - 1) * (DISPLAY_LINE_LIMIT + 2) <= UINT16_MAX);

    void IndexByte(unsigned char byte, std::uint64_t offset);
    void StartLine(std::uint64_t start);
    void MoveLastLineStartPastLineFeed();
    std::uint64_t LineStart(std::uint64_t line) const;
    std::uint64_t BreakLength(std::uint64_t lineBegin, std::uint64_t nextLineBegin) const;

    CBlockArray<char, SEGMENT_SIZE> m_bytes;
    CBlockArray<std::uint64_t, 1024> m_groupStarts;
    CBlockArray<std::uint16_t, 8192> m_lineStarts;
    std::uint64_t m_openLineLength = 0;
    std::uint64_t m_longestLine = 0;
    std::uint64_t m_clearCount = 0;
    // The last byte was a CR: an LF now joins its break instead of ending another line.
    bool m_afterCarriageReturn = false;
    // The last byte began a double-byte character: a trail byte now completes it.
    bool m_leadBytePending = false;
};
