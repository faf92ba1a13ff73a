#include "frameparser.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char CR = '\r';

constexpr int XYZ_FRAME_LENGTH = 17;
constexpr int XY_FRAME_LENGTH = 12;
constexpr int X_FRAME_LENGTH = 7;

bool IsXyzFrame(const char *p)
{
    return p[0] == 'X' && p[5] == 'Y' && p[10] == 'Z' && p[15] == CR;
}

bool IsXyFrame(const char *p)
{
    return p[0] == 'X' && p[5] == 'Y' && p[10] == CR;
}

bool IsXFrame(const char *p)
{
    return p[0] == 'X' && p[5] == CR;
}

// Looked up rather than tested range by range: digits and letters alternate at random in a
// stream, and every wrong guess of a branch costs more than the lookup.
constexpr std::array<std::int8_t, 256> HEX_DIGIT_VALUES = [] {
    std::array<std::int8_t, 256> values {};
    for (int byte = 0; byte < 256; ++byte)
        values[byte] = static_cast<std::int8_t>(byte);
    for (int digit = 0; digit < 10; ++digit)
        values['0' + digit] = static_cast<std::int8_t>(digit);
    for (int letter = 0; letter < 6; ++letter)
        values['A' + letter] = values['a' + letter] = static_cast<std::int8_t>(10 + letter);
    return values;
}();

// The slot of the sample just stored is erased with the rest when the sweep completes, so at
// most SWEEP_LENGTH - 1 samples are ever on the graph. Channels that the frame does not carry
// keep what they hold.
void AdvanceSweep(SampleBuffers &samples, int channelCount)
{
    ++samples.framesStored;
    if (++samples.writeIndex < SWEEP_LENGTH)
        return;
    EmptyChannel(samples.x);
    if (channelCount >= 2)
        EmptyChannel(samples.y);
    if (channelCount >= 3)
        EmptyChannel(samples.z);
    samples.writeIndex = 0;
}

// A frame is known by its CR, so one that starts among the last bytes without its CR may only
// lack the rest; a frame whose CR is there was decoded. Bytes after a NUL are not parsed, so
// nothing before one is kept for them.
int CutOffFrameStart(const char *text, int textLength, int length, int framesEnd)
{
    if (textLength < length)
        return length;
    for (int p = std::max(framesEnd, textLength - (FRAME_CARRY_SIZE - 1)); p < textLength; ++p) {
        if (text[p] == 'X')
            return p;
    }
    return length;
}

} // namespace

void FillChunkText(ChunkText &chunk, const char *data, int length)
{
    chunk.length = std::clamp(length, 0, READ_BUFFER_SIZE - 1);
    std::memcpy(chunk.bytes, data, static_cast<std::size_t>(chunk.length));
    std::memset(chunk.bytes + chunk.length, 0, sizeof chunk.bytes - chunk.length);
}

int FindFrameStart(const char *text, int length)
{
    if (length <= 0)
        return 0;
    const void *found = std::memchr(text, 'X', static_cast<std::size_t>(length));
    return found ? static_cast<int>(static_cast<const char *>(found) - text) : length;
}

std::int8_t HexDigitValue(char ch)
{
    return HEX_DIGIT_VALUES[static_cast<unsigned char>(ch)];
}

std::int32_t DecodeChannelValue(const char *digits, std::int32_t bitLengthSel)
{
    const std::int32_t d1 = HexDigitValue(digits[0]);
    const std::int32_t d2 = HexDigitValue(digits[1]);
    const std::int32_t d3 = HexDigitValue(digits[2]);
    const std::int32_t d4 = HexDigitValue(digits[3]);
    switch (bitLengthSel) {
    case 1:
        return (d1 * 4096 + d2 * 256 + d3 * 16 + d4) * 500 / 65536;
    case 2:
        return ((d1 & 3) * 4096 + d2 * 256 + d3 * 16 + d4) * 500 / 16384;
    case 3:
        return (d2 * 256 + d3 * 16 + d4) * 500 / 4096;
    case 4:
        return ((d2 & 3) * 256 + d3 * 16 + d4) * 500 / 1024;
    case 5:
        return (d3 * 16 + d4) * 500 / 256;
    default:
        // The selector only ever sets 1 to 5; anything else leaves the slot empty.
        return EMPTY_SAMPLE;
    }
}

int ParseFrames(const ChunkText &chunk, SampleBuffers &samples)
{
    const char *text = chunk.bytes;
    const int textLength = static_cast<int>(std::strlen(text));
    int p = FindFrameStart(text, textLength);
    int framesEnd = 0;
    // p never passes the chunk by more than the LF of a frame whose CR was inside it, so
    // p + 15 stays inside the NUL padding.
    while (text[p] != '\0') {
        const char *frame = text + p;
        const int slot = samples.writeIndex;
        if (IsXyzFrame(frame)) {
            samples.x[slot] = DecodeChannelValue(frame + 1, g_bitLengthSel);
            samples.y[slot] = DecodeChannelValue(frame + 6, g_bitLengthSel);
            samples.z[slot] = DecodeChannelValue(frame + 11, g_bitLengthSel);
            AdvanceSweep(samples, 3);
            p += XYZ_FRAME_LENGTH;
            framesEnd = p;
        } else if (IsXyFrame(frame)) {
            samples.x[slot] = DecodeChannelValue(frame + 1, g_bitLengthSel);
            samples.y[slot] = DecodeChannelValue(frame + 6, g_bitLengthSel);
            AdvanceSweep(samples, 2);
            p += XY_FRAME_LENGTH;
            framesEnd = p;
        } else if (IsXFrame(frame)) {
            samples.x[slot] = DecodeChannelValue(frame + 1, g_bitLengthSel);
            AdvanceSweep(samples, 1);
            p += X_FRAME_LENGTH;
            framesEnd = p;
        } else {
            ++p;
        }
    }
    return CutOffFrameStart(text, textLength, chunk.length, framesEnd);
}

void CFrameStream::Parse(const char *data, int length, SampleBuffers &samples)
{
    const int taken = std::clamp(length, 0, READ_BUFFER_SIZE - 1);
    std::memcpy(m_text.bytes, m_carry, static_cast<std::size_t>(m_carried));
    std::memcpy(m_text.bytes + m_carried, data, static_cast<std::size_t>(taken));
    m_text.length = m_carried + taken;
    std::memset(m_text.bytes + m_text.length, 0, sizeof m_text.bytes - m_text.length);
    const int cutOff = ParseFrames(m_text, samples);
    m_carried = m_text.length - cutOff;
    std::memcpy(m_carry, m_text.bytes + cutOff, static_cast<std::size_t>(m_carried));
}
