#include "framesource.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint64_t FULL_SCALE_12_BIT = 0xFFF;

} // namespace

std::string CFrameSource::Frame(std::uint64_t index)
{
    const auto x = static_cast<unsigned>((index * 7) & FULL_SCALE_12_BIT);
    const auto y = static_cast<unsigned>((index * 11 + 1365) & FULL_SCALE_12_BIT);
    const auto z = static_cast<unsigned>((index * 3 + 2730) & FULL_SCALE_12_BIT);
    char frame[FRAME_LENGTH + 1];
    std::snprintf(frame, sizeof frame, "X%04XY%04XZ%04X\r\n", x, y, z);
    return std::string(frame, FRAME_LENGTH);
}

void CFrameSource::Append(std::string &out, std::size_t length)
{
    while (length > 0) {
        if (m_offset == m_frame.size()) {
            m_frame = Frame(m_nextFrame++);
            m_offset = 0;
        }
        const std::size_t taken = std::min(length, m_frame.size() - m_offset);
        out.append(m_frame, m_offset, taken);
        m_offset += taken;
        length -= taken;
    }
}
