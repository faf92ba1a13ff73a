#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "blockarray.h"

// Where the received bytes are kept on disk: a file that holds a growing prefix of everything
// appended since the last clear (the journal). Read on the main window's thread.
class CTextBacking
{
public:
    virtual ~CTextBacking() = default;
    // How many bytes from the start the file holds now; it only grows until the text is cleared.
    virtual std::uint64_t StoredSize() const = 0;
    // Reads `length` bytes at `offset`, all of them below StoredSize(); false when the file fails.
    virtual bool ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const = 0;
};

// Everything received since the last clear, byte for byte: NUL bytes, control bytes and bytes
// that are not valid Shift_JIS are kept as they came, because the log must get every one of them.
// Beside the bytes it keeps an index of display lines, built as chunks arrive: a line ends at LF,
// at CR LF (one break, also when the CR ends one chunk and the LF begins the next) and at a lone
// CR; a line that would pass DISPLAY_LINE_LIMIT bytes is broken before the Shift_JIS character
// that would pass it.
//
// With a backing file, memory stays flat whatever was received: the bytes live in segments of
// SEGMENT_SIZE, and a segment that the file holds whole is dropped from memory and read back
// from the file when it is needed again, a few at a time kept in a cache. The index holds one
// entry per segment: how many lines began before it and how a scan of its bytes begins, so a line
// is found by a binary search and the scan of one segment. Without a backing, or while the file
// lags or has failed, the bytes stay in memory. Lives on the main window's thread.
class CReceivedText
{
public:
    static constexpr std::size_t SEGMENT_SIZE = 64 * 1024;
    static constexpr std::uint64_t DISPLAY_LINE_LIMIT = 1024;
    // Segments read back from the file and kept for the next look.
    static constexpr std::size_t CACHED_SEGMENTS = 32;
    // The most that a view copies to the clipboard at once: a clipboard text of gigabytes would
    // take the window's time and memory for nothing a user can paste.
    static constexpr std::uint64_t COPY_LIMIT = 64 * 1024 * 1024;

    struct LineRange
    {
        std::uint64_t begin;
        std::uint64_t end;
    };

    CReceivedText();
    ~CReceivedText();
    CReceivedText(const CReceivedText &) = delete;
    CReceivedText &operator=(const CReceivedText &) = delete;

    // The file that holds the bytes, or none; it must hold a prefix of this text. Set while the
    // text is empty.
    void SetBacking(const CTextBacking *backing) { m_backing = backing; }

    void Append(const char *data, std::size_t length);
    void Clear();

    std::uint64_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    // Counts the clears, so that a view can tell text that was replaced from text that grew.
    std::uint64_t ClearCount() const { return m_clearCount; }

    // At least 1: no text is one empty line, and text that ends with a break has an empty last
    // line after it.
    std::uint64_t LineCount() const { return m_lineStartCount + 1; }
    // The bytes of line `line` without its break.
    LineRange Line(std::uint64_t line) const;
    // The line that holds the byte at `offset`; a break belongs to the line that it ends, and
    // Size() lies on the last line.
    std::uint64_t LineAt(std::uint64_t offset) const;
    // The length of the longest line without its break; never more than DISPLAY_LINE_LIMIT.
    std::uint64_t LongestLineLength() const { return m_longestLine; }

    // Replaces `out` with the bytes from `from` up to `to`, both clamped to Size(); false, with
    // `out` empty, when the backing file cannot be read.
    bool CopyRange(std::uint64_t from, std::uint64_t to, std::string &out) const;
    // Calls visit(const char *, std::size_t) for every segment of the bytes, in order, until it
    // returns false. False when the backing file could not be read or the visitor stopped.
    template<typename Visit> bool ForEachSegment(Visit &&visit) const
    {
        std::string buffer;
        for (std::uint64_t segment = 0; segment * SEGMENT_SIZE < m_size; ++segment) {
            const char *data = SegmentBytes(segment, buffer);
            if (!data)
                return false;
            if constexpr (std::is_void_v<std::invoke_result_t<Visit &, const char *, std::size_t>>)
                visit(data, SegmentLength(segment));
            else if (!visit(data, SegmentLength(segment)))
                return false;
        }
        return true;
    }

    // How a scan of the bytes stands at a point: what the line so far holds, and whether the
    // byte before was a CR or began a double-byte character.
    struct ScanState
    {
        std::uint16_t openLineLength = 0;
        bool afterCarriageReturn = false;
        bool leadBytePending = false;
    };

private:
    // Per segment: the lines that bytes before it began, and the scan's state at its start.
    struct SegmentIndex
    {
        std::uint64_t lineStartsBefore;
        ScanState state;
    };
    struct CachedSegment
    {
        std::uint64_t segment;
        std::unique_ptr<char[]> bytes;
    };
    struct SegmentLines
    {
        std::uint64_t segment;
        std::vector<std::uint64_t> starts;
    };

    void IndexBytes(const unsigned char *bytes, std::size_t count, std::uint64_t offset);
    void IndexByte(unsigned char byte, std::uint64_t offset);
    void TrimStoredSegments();
    std::size_t SegmentLength(std::uint64_t segment) const;
    // The segment's bytes: in memory, from the cache, or read into the cache; read into `buffer`
    // when given one instead, so that a pass over everything leaves the cache alone. Null when the
    // file fails.
    const char *SegmentBytes(std::uint64_t segment, std::string &buffer) const;
    const char *SegmentBytes(std::uint64_t segment) const;
    // The starts of the lines that bytes of the segment began, as they stand once a CR LF that
    // crosses into the next segment is complete.
    const std::vector<std::uint64_t> &LineStartsIn(std::uint64_t segment) const;
    std::uint64_t SegmentOfLineStart(std::uint64_t lineStart) const;
    std::uint64_t LineStart(std::uint64_t line) const;
    unsigned char ByteAt(std::uint64_t offset) const;
    std::uint64_t BreakLength(std::uint64_t lineBegin, std::uint64_t nextLineBegin) const;

    const CTextBacking *m_backing = nullptr;
    std::uint64_t m_size = 0;
    // The bytes from m_memoryBegin on, a segment to a block.
    std::deque<std::unique_ptr<char[]>> m_memory;
    std::uint64_t m_memoryBegin = 0;
    CBlockArray<SegmentIndex, 4096> m_segments;
    ScanState m_state;
    std::uint64_t m_lineStartCount = 0;
    // The lines that bytes of the last segment began, kept up to date as bytes come.
    SegmentLines m_openSegmentLines;
    std::uint64_t m_longestLine = 0;
    std::uint64_t m_clearCount = 0;
    mutable std::list<CachedSegment> m_cache;
    mutable std::list<SegmentLines> m_linesCache;
};
