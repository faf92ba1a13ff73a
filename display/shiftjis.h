#pragma once

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
