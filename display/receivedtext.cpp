#include "receivedtext.h"

#include "shiftjis.h"

#include <algorithm>
#include <array>

namespace {

constexpr unsigned char CR = '\r';
constexpr unsigned char LF = '\n';
// Segments whose lines were found by a scan, kept for the next look.
constexpr std::size_t CACHED_SEGMENT_LINES = 8;

// Bytes that are a character of their own and break no line: neither CR, LF nor a lead byte.
constexpr auto SINGLE_BYTE_CHARACTERS = [] {
    std::array<bool, 256> single {};
    for (int byte = 0; byte < 256; ++byte)
        single[byte]
            = byte != CR && byte != LF && !IsShiftJisLeadByte(static_cast<unsigned char>(byte));
    return single;
}();

// What a byte does to the lines: nothing, start a line after it (a break) or before it (the
// length limit), or move the line that its CR began past it (the LF of a CR LF).
enum class LineEvent { None, StartAfter, StartBefore, MoveLastStart };

LineEvent ScanByte(CReceivedText::ScanState &state, unsigned char byte)
{
    if (byte == LF && state.afterCarriageReturn) {
        state.afterCarriageReturn = false;
        return LineEvent::MoveLastStart;
    }
    state.afterCarriageReturn = byte == CR;
    if (byte == CR || byte == LF) {
        state.openLineLength = 0;
        state.leadBytePending = false;
        return LineEvent::StartAfter;
    }
    const bool trail = state.leadBytePending && IsShiftJisTrailByte(byte);
    const bool lead = !trail && IsShiftJisLeadByte(byte);
    LineEvent event = LineEvent::None;
    // A lead byte counts with its trail byte, so that the pair never straddles a break.
    if (!trail && state.openLineLength + (lead ? 2u : 1u) > CReceivedText::DISPLAY_LINE_LIMIT) {
        state.openLineLength = 0;
        event = LineEvent::StartBefore;
    }
    state.leadBytePending = lead;
    ++state.openLineLength;
    return event;
}

// Adds a line start that `event` at `offset` makes to `starts`; a CR LF moves the start that its
// CR made, when that is among them.
void Apply(LineEvent event, std::uint64_t offset, std::vector<std::uint64_t> &starts)
{
    if (event == LineEvent::StartAfter)
        starts.push_back(offset + 1);
    else if (event == LineEvent::StartBefore)
        starts.push_back(offset);
    else if (event == LineEvent::MoveLastStart && !starts.empty())
        ++starts.back();
}

// The first index in [first, last) at which `reached` holds, or last; `reached` must hold for a
// tail of the range and for nothing before it.
template<typename Predicate>
std::uint64_t FirstIndexWhere(std::uint64_t first, std::uint64_t last, Predicate reached)
{
    while (first < last) {
        const std::uint64_t middle = first + (last - first) / 2;
        if (reached(middle))
            last = middle;
        else
            first = middle + 1;
    }
    return first;
}

// Moves the entry that `matches` to the front of a most-recently-used list; the end when none.
template<typename Entry, typename Match>
typename std::list<Entry>::iterator FindRecent(std::list<Entry> &entries, Match matches)
{
    const auto found = std::find_if(entries.begin(), entries.end(), matches);
    if (found != entries.end())
        entries.splice(entries.begin(), entries, found);
    return found == entries.end() ? entries.end() : entries.begin();
}

} // namespace

CReceivedText::CReceivedText() = default;
CReceivedText::~CReceivedText() = default;

void CReceivedText::Append(const char *data, std::size_t length)
{
    while (length > 0) {
        const std::size_t used = m_size % SEGMENT_SIZE;
        if (used == 0) {
            m_segments.PushBack({m_lineStartCount, m_state});
            m_memory.push_back(std::make_unique_for_overwrite<char[]>(SEGMENT_SIZE));
            m_openSegmentLines = {m_segments.Size() - 1, {}};
        }
        const std::size_t taken = std::min(length, SEGMENT_SIZE - used);
        std::copy_n(data, taken, m_memory.back().get() + used);
        IndexBytes(reinterpret_cast<const unsigned char *>(data), taken, m_size);
        m_size += taken;
        data += taken;
        length -= taken;
    }
    TrimStoredSegments();
}

// A run of single-byte characters that the open line has room for only lengthens it, so it is
// counted in one step; every other byte goes through the scan.
void CReceivedText::IndexBytes(const unsigned char *bytes, std::size_t count, std::uint64_t offset)
{
    std::size_t i = 0;
    while (i < count) {
        if (!m_state.leadBytePending) {
            const std::size_t most
                = std::min<std::size_t>(count - i, DISPLAY_LINE_LIMIT - m_state.openLineLength);
            std::size_t run = 0;
            while (run < most && SINGLE_BYTE_CHARACTERS[bytes[i + run]])
                ++run;
            if (run > 0) {
                m_state.openLineLength = static_cast<std::uint16_t>(m_state.openLineLength + run);
                m_state.afterCarriageReturn = false;
                m_longestLine = std::max<std::uint64_t>(m_longestLine, m_state.openLineLength);
                i += run;
                continue;
            }
        }
        IndexByte(bytes[i], offset + i);
        ++i;
    }
}

void CReceivedText::IndexByte(unsigned char byte, std::uint64_t offset)
{
    std::vector<std::uint64_t> &starts = m_openSegmentLines.starts;
    const std::size_t startsBefore = starts.size();
    const LineEvent event = ScanByte(m_state, byte);
    Apply(event, offset, starts);
    m_lineStartCount += starts.size() - startsBefore;
    m_longestLine = std::max<std::uint64_t>(m_longestLine, m_state.openLineLength);
}

// Whole segments that the file holds go from memory; the last one stays, since it still grows.
void CReceivedText::TrimStoredSegments()
{
    if (!m_backing)
        return;
    const std::uint64_t stored = m_backing->StoredSize();
    while (m_memory.size() > 1 && m_memoryBegin + SEGMENT_SIZE <= stored) {
        m_memory.pop_front();
        m_memoryBegin += SEGMENT_SIZE;
    }
}

void CReceivedText::Clear()
{
    m_size = 0;
    m_memory.clear();
    m_memoryBegin = 0;
    m_segments.Clear();
    m_state = {};
    m_lineStartCount = 0;
    m_openSegmentLines = {};
    m_longestLine = 0;
    m_cache.clear();
    m_linesCache.clear();
    ++m_clearCount;
}

std::size_t CReceivedText::SegmentLength(std::uint64_t segment) const
{
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(SEGMENT_SIZE, m_size - segment * SEGMENT_SIZE));
}

const char *CReceivedText::SegmentBytes(std::uint64_t segment, std::string &buffer) const
{
    const std::uint64_t begin = segment * SEGMENT_SIZE;
    if (begin >= m_memoryBegin)
        return m_memory[(begin - m_memoryBegin) / SEGMENT_SIZE].get();
    const auto cached
        = std::find_if(m_cache.begin(), m_cache.end(),
                       [&](const CachedSegment &entry) { return entry.segment == segment; });
    if (cached != m_cache.end())
        return cached->bytes.get();
    buffer.resize(SEGMENT_SIZE);
    return m_backing->ReadStored(begin, buffer.data(), SegmentLength(segment)) ? buffer.data()
                                                                               : nullptr;
}

const char *CReceivedText::SegmentBytes(std::uint64_t segment) const
{
    const std::uint64_t begin = segment * SEGMENT_SIZE;
    if (begin >= m_memoryBegin)
        return m_memory[(begin - m_memoryBegin) / SEGMENT_SIZE].get();
    const auto cached
        = FindRecent(m_cache, [&](const CachedSegment &entry) { return entry.segment == segment; });
    if (cached != m_cache.end())
        return cached->bytes.get();
    auto bytes = std::make_unique_for_overwrite<char[]>(SEGMENT_SIZE);
    if (!m_backing->ReadStored(begin, bytes.get(), SegmentLength(segment)))
        return nullptr;
    if (m_cache.size() >= CACHED_SEGMENTS)
        m_cache.pop_back();
    m_cache.push_front({segment, std::move(bytes)});
    return m_cache.front().bytes.get();
}

// A segment before the last is followed by at least one byte, so a CR LF that crosses its end is
// complete and the starts found here stay as they are.
const std::vector<std::uint64_t> &CReceivedText::LineStartsIn(std::uint64_t segment) const
{
    if (segment == m_openSegmentLines.segment)
        return m_openSegmentLines.starts;
    const auto cached = FindRecent(
        m_linesCache, [&](const SegmentLines &entry) { return entry.segment == segment; });
    if (cached != m_linesCache.end())
        return cached->starts;

    SegmentLines lines {segment, {}};
    ScanState state = m_segments[segment].state;
    const std::uint64_t begin = segment * SEGMENT_SIZE;
    const std::size_t length = SegmentLength(segment);
    if (const char *bytes = SegmentBytes(segment)) {
        for (std::size_t i = 0; i < length; ++i)
            Apply(ScanByte(state, static_cast<unsigned char>(bytes[i])), begin + i, lines.starts);
        if (state.afterCarriageReturn && ByteAt(begin + length) == LF)
            ++lines.starts.back();
    }
    if (m_linesCache.size() >= CACHED_SEGMENT_LINES)
        m_linesCache.pop_back();
    m_linesCache.push_front(std::move(lines));
    return m_linesCache.front().starts;
}

std::uint64_t CReceivedText::SegmentOfLineStart(std::uint64_t lineStart) const
{
    return FirstIndexWhere(0, m_segments.Size(),
                           [&](std::uint64_t segment) {
                               return m_segments[segment].lineStartsBefore > lineStart;
                           })
        - 1;
}

// Line 0 starts at 0; line n at the n-th line start, counted from 1.
std::uint64_t CReceivedText::LineStart(std::uint64_t line) const
{
    if (line == 0)
        return 0;
    const std::uint64_t entry = line - 1;
    const std::uint64_t segment = SegmentOfLineStart(entry);
    const std::vector<std::uint64_t> &starts = LineStartsIn(segment);
    const std::uint64_t index = entry - m_segments[segment].lineStartsBefore;
    // Only a file that cannot be read leaves a start unknown.
    return index < starts.size() ? starts[index] : segment * SEGMENT_SIZE;
}

unsigned char CReceivedText::ByteAt(std::uint64_t offset) const
{
    const char *bytes = SegmentBytes(offset / SEGMENT_SIZE);
    return bytes ? static_cast<unsigned char>(bytes[offset % SEGMENT_SIZE]) : 0;
}

// Breaks are not stored: a line that a break ended has it as its last bytes, and CR and LF never
// occur inside a line.
std::uint64_t CReceivedText::BreakLength(std::uint64_t lineBegin, std::uint64_t nextLineBegin) const
{
    if (nextLineBegin == lineBegin)
        return 0;
    const unsigned char last = ByteAt(nextLineBegin - 1);
    if (last == CR)
        return 1;
    if (last != LF)
        return 0;
    const bool afterCr = nextLineBegin - lineBegin >= 2 && ByteAt(nextLineBegin - 2) == CR;
    return afterCr ? 2 : 1;
}

CReceivedText::LineRange CReceivedText::Line(std::uint64_t line) const
{
    const std::uint64_t begin = LineStart(line);
    if (line + 1 >= LineCount())
        return {begin, Size()};
    const std::uint64_t next = LineStart(line + 1);
    return {begin, next - BreakLength(begin, next)};
}

std::uint64_t CReceivedText::LineAt(std::uint64_t offset) const
{
    if (m_segments.Size() == 0)
        return 0;
    const std::uint64_t segment = std::min(offset / SEGMENT_SIZE, m_segments.Size() - 1);
    const std::vector<std::uint64_t> &starts = LineStartsIn(segment);
    std::uint64_t line = m_segments[segment].lineStartsBefore
        + static_cast<std::uint64_t>(std::upper_bound(starts.begin(), starts.end(), offset)
                                     - starts.begin());
    // The LF that begins a segment after a CR that ended the one before belongs to the CR's line.
    if (segment > 0 && offset == segment * SEGMENT_SIZE) {
        const std::vector<std::uint64_t> &before = LineStartsIn(segment - 1);
        if (!before.empty() && before.back() > offset)
            --line;
    }
    return line;
}

bool CReceivedText::CopyRange(std::uint64_t from, std::uint64_t to, std::string &out) const
{
    out.clear();
    to = std::min(to, m_size);
    if (from >= to)
        return true;
    out.reserve(to - from);
    std::string buffer;
    while (from < to) {
        const std::uint64_t segment = from / SEGMENT_SIZE;
        const std::size_t offset = from % SEGMENT_SIZE;
        const std::size_t length = std::min<std::uint64_t>(to - from, SEGMENT_SIZE - offset);
        const char *bytes = SegmentBytes(segment, buffer);
        if (!bytes) {
            out.clear();
            return false;
        }
        out.append(bytes + offset, length);
        from += length;
    }
    return true;
}
