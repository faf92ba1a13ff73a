#include "linescroll.h"

#include <algorithm>

namespace {

int ClampToInt(std::uint64_t value)
{
    return static_cast<int>(std::min<std::uint64_t>(value, INT_MAX));
}

} // namespace

void CLineScroll::SetStepLimit(int steps)
{
    m_stepLimit = std::max(1, steps);
}

void CLineScroll::Update(std::uint64_t lineCount, int rowsInSight)
{
    m_rows = static_cast<std::uint64_t>(std::max(1, rowsInSight));
    m_lastTopLine = lineCount > m_rows ? lineCount - m_rows : 0;
    m_linesPerStep = m_lastTopLine / static_cast<std::uint64_t>(m_stepLimit) + 1;
    m_pageStep = std::max(1, ClampToInt(m_rows / m_linesPerStep));
    // Rounded up, so that the last step reaches the end.
    m_maximum = ClampToInt((m_lastTopLine + m_linesPerStep - 1) / m_linesPerStep);
}

std::uint64_t CLineScroll::TopLine(int value) const
{
    return std::min(static_cast<std::uint64_t>(std::max(0, value)) * m_linesPerStep, m_lastTopLine);
}

int CLineScroll::ValueShowing(std::uint64_t line, int value) const
{
    const std::uint64_t top = TopLine(value);
    if (line < top)
        return ClampToInt(line / m_linesPerStep);
    if (line < top + m_rows)
        return value;
    // Rounded up: the first value whose view reaches down to the line.
    const std::uint64_t lowestTop = line - m_rows + 1;
    return std::min(m_maximum, ClampToInt((lowestTop + m_linesPerStep - 1) / m_linesPerStep));
}

void CLineScroll::NoteValue(int value)
{
    if (m_maximum > 0)
        m_followsEnd = value == m_maximum;
}
