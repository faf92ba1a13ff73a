#include "linescroll.h"
#include "shiftjistext.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// A system table of three characters: エ, ラ and ー.
class ShiftJisText : public ::testing::Test
{
protected:
    CShiftJisText text {[this](unsigned char lead, unsigned char trail) -> char16_t {
        ++asked[lead << 8 | trail];
        switch (lead << 8 | trail) {
        case 0x8347:
            return u'エ';
        case 0x8389:
            return u'ラ';
        case 0x815B:
            return u'ー';
        default:
            return 0;
        }
    }};
    std::map<int, int> asked;
};

struct DecodeCase
{
    const char *name;
    std::string bytes;
    std::u16string shown;
    std::u16string copied;
};

void PrintTo(const DecodeCase &row, std::ostream *out)
{
    *out << row.name;
}

const DecodeCase DECODE_CASES[] = {
    {"Ascii", "X07FF\\~", u"X07FF\\~", u"X07FF\\~"},
    {"DoubleByte", Bytes({0x83, 0x47, 0x83, 0x89, 0x81, 0x5B}), u"エラー", u"エラー"},
    {"HalfWidthKatakanaAtBothEnds", Bytes({0xA1, 0xB1, 0xDF}), u"｡ｱﾟ", u"｡ｱﾟ"},
    {"SingleBytesOutsideShiftJis", Bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF}),
     u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"LeadByteBeforeANonTrailByte", Bytes({0x83, ' ', 0x9F, 0x7F}), u"\uFFFD \uFFFD\u2421",
     u"\uFFFD \uFFFD\x7F"},
    {"LeadByteAtTheEnd", Bytes({'a', 0xE0}), u"a\uFFFD", u"a\uFFFD"},
    {"PairTheTableLacks", Bytes({0x85, 0x40}), u"\uFFFD", u"\uFFFD"},
    {"ControlBytes", Bytes({0x00, 0x01, '\t', '\r', '\n', 0x1F, 0x7F}),
     u"\u2400\u2401\t\u240D\u240A\u241F\u2421", std::u16string(u"\0\x01\t\r\n\x1F\x7F", 7)},
};

class Decoding : public ShiftJisText, public ::testing::WithParamInterface<DecodeCase>
{
};

TEST_P(Decoding, ShowsAndCopiesEachCharacter)
{
    EXPECT_EQ(text.Decode(GetParam().bytes, CShiftJisText::Controls::AsPictures), GetParam().shown);
    EXPECT_EQ(text.Decode(GetParam().bytes, CShiftJisText::Controls::AsIs), GetParam().copied);
}

INSTANTIATE_TEST_SUITE_P(ShiftJis, Decoding, ::testing::ValuesIn(DECODE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ShiftJisText, LeadsEachCharacterBackToItsBytesAndAsksTheTableOnce)
{
    std::vector<std::size_t> starts;
    const std::string bytes = Bytes({'a', 0x83, 0x47, 0x85, 0x40, 0x83, 0x47, 0x85, 0x40, 0x83});
    EXPECT_EQ(text.Decode(bytes, CShiftJisText::Controls::AsPictures, &starts),
              u"aエ\uFFFDエ\uFFFD\uFFFD");
    EXPECT_EQ(starts, (std::vector<std::size_t> {0, 1, 3, 5, 7, 9, 10}));
    EXPECT_EQ(asked, (std::map<int, int> {{0x8347, 1}, {0x8540, 1}}));
}

struct ScrollCase
{
    const char *name;
    std::uint64_t lineCount;
    int rows;
    int stepLimit;
    int maximum;
    int pageStep;
    std::uint64_t topAtMaximum;
    std::uint64_t topAtHalf;
};

void PrintTo(const ScrollCase &row, std::ostream *out)
{
    *out << row.name;
}

const ScrollCase SCROLL_CASES[] = {
    {"Fits", 10, 40, INT_MAX, 0, 40, 0, 0},
    {"LineByLine", 1000, 40, INT_MAX, 960, 40, 960, 480},
    {"ThreeLinesAStep", 1000, 40, 400, 320, 13, 960, 480},
    // Five thousand million lines: past what an int counts.
    {"BeyondAnInt", 5'000'000'000, 40, INT_MAX, 1'666'666'654, 13, 4'999'999'960, 2'499'999'981},
};

class Scrolling : public ::testing::TestWithParam<ScrollCase>
{
};

TEST_P(Scrolling, ReachesBothEndsAndTheMiddle)
{
    CLineScroll scroll;
    scroll.SetStepLimit(GetParam().stepLimit);
    scroll.Update(GetParam().lineCount, GetParam().rows);
    EXPECT_EQ(scroll.Maximum(), GetParam().maximum);
    EXPECT_EQ(scroll.PageStep(), GetParam().pageStep);
    EXPECT_EQ(scroll.TopLine(0), 0u);
    EXPECT_EQ(scroll.TopLine(scroll.Maximum()), GetParam().topAtMaximum);
    EXPECT_EQ(scroll.TopLine(scroll.Maximum() / 2), GetParam().topAtHalf);
}

INSTANTIATE_TEST_SUITE_P(Lines, Scrolling, ::testing::ValuesIn(SCROLL_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(LineScroll, BringsALineIntoSightByTheLeastMove)
{
    CLineScroll scroll;
    scroll.SetStepLimit(400);
    scroll.Update(1000, 40); // three lines a step
    EXPECT_EQ(scroll.ValueShowing(500, 160), 160) << "lines 480 to 519 in sight";
    EXPECT_EQ(scroll.ValueShowing(470, 160), 156) << "line 468 at the top";
    EXPECT_EQ(scroll.ValueShowing(530, 160), 164) << "lines 492 to 531";
    EXPECT_EQ(scroll.ValueShowing(999, 0), 320);
}

} // namespace
