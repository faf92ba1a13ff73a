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
struct ChunkText
{
    char bytes[READ_BUFFER_SIZE + CHUNK_PADDING];
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
void ParseFrames(const ChunkText &chunk, SampleBuffers &samples);
