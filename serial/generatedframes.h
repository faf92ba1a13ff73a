#pragma once

#include "bytesource.h"
#include "frameoptions.h"
#include "framespoiler.h"
#include "signalgenerator.h"

#include <cstdint>
#include <deque>
#include <optional>

// The generated frames as one stream of bytes, taken whole frames or any number of bytes at a
// time. Ends after `frameCount` frames when the options give one. Keeps where each frame ends,
// so the caller can tell how many frames the bytes it wrote completed.
class CGeneratedFrames : public CByteSource
{
public:
    CGeneratedFrames(const FrameOptions &options, std::uint64_t seed);

    // Appends the next `count` frames, fewer only at the end.
    void AppendFrames(std::string &out, std::uint64_t count);
    void AppendBytes(std::string &out, std::size_t count) override;
    bool AtEnd() const override;

    // The number of frames complete within the first `bytesWritten` bytes of the stream; call it
    // with a count that never goes down. The stream keeps the end of every frame made until a
    // call counts it, so a caller counts as the bytes go out.
    std::uint64_t FramesCompleteWithin(std::uint64_t bytesWritten);

private:
    bool FramesLeft() const;
    std::string NextFrame();

    FrameForm m_form;
    int m_bits;
    std::optional<std::uint64_t> m_frameCount;
    CSignalGenerator m_generator;
    CFrameSpoiler m_spoiler;
    std::uint64_t m_framesMade = 0;
    std::uint64_t m_bytesMade = 0;
    // The rest of a frame that AppendBytes split.
    std::string m_carry;
    std::deque<std::uint64_t> m_frameEnds;
    std::uint64_t m_framesComplete = 0;
};
