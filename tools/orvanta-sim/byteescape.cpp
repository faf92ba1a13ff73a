#include "byteescape.h"

std::string EscapeBytes(std::string_view bytes)
{
    static constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += ch;
        } else {
            text += "\\x";
            text += HEX_DIGITS[byte >> 4];
            text += HEX_DIGITS[byte & 0xF];
        }
    }
    return text;
}
