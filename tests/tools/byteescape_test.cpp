#include "byteescape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase
{
    const char *name;
    std::string bytes;
    std::string text;
};

const EscapeCase ESCAPE_CASES[] = {
    {"PrintableAsItIs", "AT? ok~", "AT? ok~"},
    {"LineEnds", "go\r\n", "go\\x0D\\x0A"},
    {"BackslashDoubled", "a\\x41", "a\\\\x41"},
    {"ShiftJisHalves", "\x82\xa0", "\\x82\\xA0"},
    {"Nul", std::string(1, '\0'), "\\x00"},
    {"FlowControlAndDelete", "\x11\x13\x7f", "\\x11\\x13\\x7F"},
    {"Empty", "", ""},
};

TEST(EscapeBytes, ShowsEveryByteUnambiguouslyOnOneLine)
{
    for (const EscapeCase &row : ESCAPE_CASES) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(EscapeBytes(row.bytes), row.text);
    }
}

} // namespace
