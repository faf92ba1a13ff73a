#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The device's stream as the benchmarks send it: XYZ frames at 12 bit, "X07FFY0801Z0ABC" CR LF,
// each channel a sawtooth of its own slope, so the graph shows moving traces and no two frames
// in a row are alike. Endless, and the same on every run; handed out in pieces of any length,
// so a piece may end inside a frame, as a read from the line does.
class CFrameSource
{
public:
    static constexpr std::size_t FRAME_LENGTH = 17;

    // Frame number `index` of the stream.
    static std::string Frame(std::uint64_t index);

    // Appends the next `length` bytes of the stream to `out`.
    void Append(std::string &out, std::size_t length);

private:
    std::uint64_t m_nextFrame = 0;
    std::string m_frame;
    std::size_t m_offset = 0;
};
