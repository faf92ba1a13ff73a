#include "sending.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const std::string &bytes)
{
    std::string hex;
    for (const unsigned char byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x ", byte);
        hex += digits;
    }
    return hex;
}

} // namespace

TEST(EncodeSendText, GivesWindows31jWithCrLfLineBreaks)
{
    struct Row
    {
        const char *name;
        std::string text;
        std::string bytes;
    };
    const Row rows[] = {
        {"ASCII as it stands", "abc", "abc"},
        {"hiragana", "あい", "\x82\xa0\x82\xa2"},
        {"half-width katakana", "ｱ", "\xb1"},
        {"circled digit of the extended set", "①", "\x87\x40"},
        {"full-width tilde", "～", "\x81\x60"},
        {"line feed becomes CR LF", "ab\ncd", "ab\r\ncd"},
        {"CR LF stays", "ab\r\ncd", "ab\r\ncd"},
        {"line feeds in a row", "\n\n", "\r\n\r\n"},
        {"nothing added at the end", "a\nb", "a\r\nb"},
        {"character outside the code page", "a😀é", "a??"},
        {"NUL kept", std::string("\0あ", 4), std::string("\0\x82\xa0", 3)},
        {"empty", "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Hex(EncodeSendText(row.text)), Hex(row.bytes));
    }
}
