#include "generatedframes.h"

#include "deviceframe.h"

#include <algorithm>

namespace {

// The spoiler draws from its own generator, so --malformed leaves the clean frames' values as
// they are for the same seed.
constexpr std::uint64_t SPOILER_SEED_OFFSET = 0x9E3779B97F4A7C15u;

} // namespace

CGeneratedFrames::CGeneratedFrames(const FrameOptions &options, std::uint64_t seed)
    : m_form(options.form)
    , m_bits(options.bits)
    , m_frameCount(options.frameCount)
    , m_generator(options, seed)
    , m_spoiler(options.malformedShare, seed + SPOILER_SEED_OFFSET)
{ }

void CGeneratedFrames::AppendFrames(std::string &out, std::uint64_t count)
{
    out += m_carry;
    m_carry.clear();
    for (std::uint64_t i = 0; i < count && FramesLeft(); ++i)
        out += NextFrame();
}

void CGeneratedFrames::AppendBytes(std::string &out, std::size_t count)
{
    while (m_carry.size() < count && FramesLeft())
        m_carry += NextFrame();
    const std::size_t taken = std::min(count, m_carry.size());
    out.append(m_carry, 0, taken);
    m_carry.erase(0, taken);
}

bool CGeneratedFrames::AtEnd() const
{
    return m_carry.empty() && !FramesLeft();
}

std::uint64_t CGeneratedFrames::FramesCompleteWithin(std::uint64_t bytesWritten)
{
    while (!m_frameEnds.empty() && m_frameEnds.front() <= bytesWritten) {
        m_frameEnds.pop_front();
        ++m_framesComplete;
    }
    return m_framesComplete;
}

bool CGeneratedFrames::FramesLeft() const
{
    return !m_frameCount || m_framesMade < *m_frameCount;
}

std::string CGeneratedFrames::NextFrame()
{
    std::string frame = m_spoiler.Pass(FormatFrame(m_form, m_generator.NextValues(), m_bits));
    ++m_framesMade;
    m_bytesMade += frame.size();
    m_frameEnds.push_back(m_bytesMade);
    return frame;
}
