#pragma once

#include "samplebuffers.h"

#include <cstdint>

// Decodes the device's frames, "X07FF", "X07FFY0801" or "X07FFY0801Z0ABC" followed by CR LF,
// from one received chunk into the sample buffers. A frame is recognised by its channel letters
// and its CR alone; digits are not validated and the LF is not examined.

// One chunk as the parser reads it: the received bytes, then NULs far enough past the end that
// every test of a frame starting inside the chunk reads NUL instead of memory past the buffer.
inline constexpr int READ_BUFFER_SIZE = 4096;
inline constexpr int CHUNK_PADDING = 16;
// A frame is at most 17 bytes with its LF, so a chunk's end can cut off at most its first 15
// (up to the CR, which completes it); they go in front of the next chunk.
inline constexpr int FRAME_CARRY_SIZE = 16;
struct ChunkText
{
    char bytes[FRAME_CARRY_SIZE + READ_BUFFER_SIZE + CHUNK_PADDING];
    int length;
};

// Copies at most READ_BUFFER_SIZE - 1 bytes and pads the rest with NUL.
void FillChunkText(ChunkText &chunk, const char *data, int length);

// The index of the first "X" among the first `length` bytes; `length` if there is none and 0 if
// `length` is 0 or less.
int FindFrameStart(const char *text, int length);

// The value of one hexadecimal digit byte; any other byte counts as itself, read as signed.
std::int8_t HexDigitValue(char ch);

// The plot value (0 at the bottom of the graph, 500 at its top) of the four digit bytes at
// `digits`, scaled by the bit length code.
std::int32_t DecodeChannelValue(const char *digits, std::int32_t bitLengthSel);

// Decodes every complete frame of the chunk, from its first "X" up to the first NUL position.
// Returns where a frame that the chunk's end cut off begins, chunk.length when none did (or a
// NUL ended the parse).
int ParseFrames(const ChunkText &chunk, SampleBuffers &samples);

// The frames of a stream of chunks as they arrive: a frame that a chunk's end cuts off is kept
// and completed by the next chunk, so that none is lost to the graph at a chunk's edge, however
// the line's bytes fall into chunks.
class CFrameStream
{
public:
    // Parses at most READ_BUFFER_SIZE - 1 bytes, after what the previous chunk left.
    void Parse(const char *data, int length, SampleBuffers &samples);
    // What a chunk left belongs to nothing that comes next: the text was cleared, or another
    // port opened.
    void Reset() { m_carried = 0; }

private:
    ChunkText m_text;
    char m_carry[FRAME_CARRY_SIZE];
    int m_carried = 0;
};
