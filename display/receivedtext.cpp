#include "receivedtext.h"

#include "shiftjis.h"

#include <algorithm>

namespace {

constexpr unsigned char CR = '\r';
constexpr unsigned char LF = '\n';

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

} // namespace

void CReceivedText::Append(const char *data, std::size_t length)
{
    const std::uint64_t first = m_bytes.Size();
    m_bytes.Append(data, length);
    for (std::size_t i = 0; i < length; ++i)
        IndexByte(static_cast<unsigned char>(data[i]), first + i);
}

void CReceivedText::Clear()
{
    m_bytes.Clear();
    m_groupStarts.Clear();
    m_lineStarts.Clear();
    m_openLineLength = 0;
    m_longestLine = 0;
    m_afterCarriageReturn = false;
    m_leadBytePending = false;
    ++m_clearCount;
}

void CReceivedText::IndexByte(unsigned char byte, std::uint64_t offset)
{
    if (byte == LF && m_afterCarriageReturn) {
        m_afterCarriageReturn = false;
        MoveLastLineStartPastLineFeed();
        return;
    }
    m_afterCarriageReturn = byte == CR;
    if (byte == CR || byte == LF) {
        StartLine(offset + 1);
        return;
    }
    const bool trail = m_leadBytePending && IsShiftJisTrailByte(byte);
    const bool lead = !trail && IsShiftJisLeadByte(byte);
    // A lead byte counts with its trail byte, so that the pair never straddles a break.
    if (!trail && m_openLineLength + (lead ? 2 : 1) > DISPLAY_LINE_LIMIT)
        StartLine(offset);
    m_leadBytePending = lead;
    m_longestLine = std::max(m_longestLine, ++m_openLineLength);
}

void CReceivedText::StartLine(std::uint64_t start)
{
    const std::uint64_t entry = m_lineStarts.Size();
    if (entry % GROUP_LINES == 0) {
        m_groupStarts.PushBack(start);
        m_lineStarts.PushBack(0);
    } else {
        m_lineStarts.PushBack(static_cast<std::uint16_t>(start - m_groupStarts.Back()));
    }
    m_openLineLength = 0;
    m_leadBytePending = false;
}

// The line that a CR began is still empty when the LF arrives; it moves behind the LF.
void CReceivedText::MoveLastLineStartPastLineFeed()
{
    if ((m_lineStarts.Size() - 1) % GROUP_LINES == 0)
        ++m_groupStarts.Back();
    else
        ++m_lineStarts.Back();
}

std::uint64_t CReceivedText::LineStart(std::uint64_t line) const
{
    if (line == 0)
        return 0;
    const std::uint64_t entry = line - 1;
    return m_groupStarts[entry / GROUP_LINES] + m_lineStarts[entry];
}

// Breaks are not stored: a line that a break ended has it as its last bytes, and CR and LF never
// occur inside a line.
std::uint64_t CReceivedText::BreakLength(std::uint64_t lineBegin, std::uint64_t nextLineBegin) const
{
    if (nextLineBegin == lineBegin)
        return 0;
    const auto last = static_cast<unsigned char>(m_bytes[nextLineBegin - 1]);
    if (last == CR)
        return 1;
    if (last != LF)
        return 0;
    const bool afterCr = nextLineBegin - lineBegin >= 2
        && static_cast<unsigned char>(m_bytes[nextLineBegin - 2]) == CR;
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
    const std::uint64_t groupAfter
        = FirstIndexWhere(0, m_groupStarts.Size(),
                          [&](std::uint64_t group) { return m_groupStarts[group] > offset; });
    if (groupAfter == 0)
        return 0;
    const std::uint64_t groupStart = m_groupStarts[groupAfter - 1];
    const std::uint64_t firstEntry = (groupAfter - 1) * GROUP_LINES;
    const std::uint64_t lastEntry = std::min(firstEntry + GROUP_LINES, m_lineStarts.Size());
    // Entry e starts line e + 1, so the first entry that starts past the offset is its line.
    return FirstIndexWhere(firstEntry, lastEntry, [&](std::uint64_t entry) {
        return groupStart + m_lineStarts[entry] > offset;
    });
}

void CReceivedText::CopyRange(std::uint64_t from, std::uint64_t to, std::string &out) const
{
    out.clear();
    if (from < to)
        out.reserve(std::min(to, Size()) - std::min(from, Size()));
    m_bytes.ForEachSpan(from, to,
                        [&](const char *data, std::size_t length) { out.append(data, length); });
}

std::uint64_t CReceivedText::MemoryUsed() const
{
    return sizeof(*this) + m_bytes.MemoryUsed() + m_groupStarts.MemoryUsed()
        + m_lineStarts.MemoryUsed();
}
