#pragma once

#include <cstddef>
#include <string_view>

// Shift_JIS byte classes. A lead byte and the byte after it form one character when that byte is
// a trail byte; any other byte is a character of its own. Text is only ever cut between
// characters, never between a lead byte and its trail byte.

inline constexpr bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

inline constexpr bool IsShiftJisTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// How many bytes the character that begins at `at` takes: 2 for a lead byte with its trail byte.
inline constexpr std::size_t ShiftJisCharacterLength(std::string_view bytes, std::size_t at)
{
    const bool pair = IsShiftJisLeadByte(static_cast<unsigned char>(bytes[at]))
        && at + 1 < bytes.size() && IsShiftJisTrailByte(static_cast<unsigned char>(bytes[at + 1]));
    return pair ? 2 : 1;
}
