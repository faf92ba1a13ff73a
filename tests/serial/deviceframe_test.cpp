#include "deviceframe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct FrameCase
{
    const char *name;
    FrameForm form;
    std::array<std::uint32_t, CHANNEL_COUNT> raw;
    int bits;
    std::string frame;
};

const FrameCase FRAME_CASES[] = {
    {"Xyz12Bit", FrameForm::XYZ, {0x7FF, 0x801, 0xABC}, 12, "X07FFY0801Z0ABC\r\n"},
    {"Xy12Bit", FrameForm::XY, {0x7FF, 0x801, 0xABC}, 12, "X07FFY0801\r\n"},
    {"X12Bit", FrameForm::X, {0x7FF, 0x801, 0xABC}, 12, "X07FF\r\n"},
    {"Xyz16BitExtremes", FrameForm::XYZ, {0xFFFF, 0, 0x1234}, 16, "XFFFFY0000Z1234\r\n"},
    {"X14BitTop", FrameForm::X, {0x3FFF, 0, 0}, 14, "X3FFF\r\n"},
    {"Xy10BitTop", FrameForm::XY, {0x3FF, 0x155, 0}, 10, "X03FFY0155\r\n"},
    {"X8Bit", FrameForm::X, {0xAB, 0, 0}, 8, "X00AB\r\n"},
    {"AboveFullScaleIsFullScale", FrameForm::XY, {5000, 4096, 0}, 12, "X0FFFY0FFF\r\n"},
};

TEST(DeviceFrame, IsByteExactForEveryForm)
{
    for (const FrameCase &row : FRAME_CASES) {
        SCOPED_TRACE(row.name);
        const std::string frame = FormatFrame(row.form, row.raw, row.bits);
        EXPECT_EQ(frame, row.frame);
        EXPECT_EQ(static_cast<int>(frame.size()), FrameLength(row.form));
    }
}

int DigitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    ADD_FAILURE() << "not a hexadecimal digit: " << digit;
    return 0;
}

// How the receiving side reads a channel: which digits count at each bit length.
int RawFromDigits(const std::array<char, 4> &digits, int bits)
{
    const int d1 = DigitValue(digits[0]);
    const int d2 = DigitValue(digits[1]);
    const int d3 = DigitValue(digits[2]);
    const int d4 = DigitValue(digits[3]);
    switch (bits) {
    case 16:
        return d1 * 4096 + d2 * 256 + d3 * 16 + d4;
    case 14:
        return (d1 & 3) * 4096 + d2 * 256 + d3 * 16 + d4;
    case 12:
        return d2 * 256 + d3 * 16 + d4;
    case 10:
        return (d2 & 3) * 256 + d3 * 16 + d4;
    case 8:
        return d3 * 16 + d4;
    }
    ADD_FAILURE() << "no such bit length " << bits;
    return 0;
}

int PlotValue(int raw, int bits)
{
    return raw * 500 / (1 << bits);
}

// The digits the bit length leaves unused, as a mask per digit.
int UnusedBits(int digit, int bits)
{
    const int bitsBelow = 4 * (3 - digit);
    const int usedInDigit = std::clamp(bits - bitsBelow, 0, 4);
    return 0xF & ~((1 << usedInDigit) - 1);
}

struct BitLengthCase
{
    int bits;
    int topPlotValue;
};

const BitLengthCase BIT_LENGTHS[] = {{16, 499}, {14, 499}, {12, 499}, {10, 499}, {8, 498}};

TEST(DeviceFrame, EveryValueDecodesBackAndSpansTheWholeGraph)
{
    for (const BitLengthCase &row : BIT_LENGTHS) {
        SCOPED_TRACE(row.bits);
        const int fullScale = static_cast<int>(FullScale(row.bits));
        EXPECT_EQ(fullScale, (1 << row.bits) - 1);
        int lastPlot = -1;
        for (int raw = 0; raw <= fullScale; ++raw) {
            const std::array<char, 4> digits
                = ChannelDigits(static_cast<std::uint32_t>(raw), row.bits);
            ASSERT_EQ(RawFromDigits(digits, row.bits), raw) << std::string(digits.data(), 4);
            for (int digit = 0; digit < 4; ++digit)
                ASSERT_EQ(DigitValue(digits[digit]) & UnusedBits(digit, row.bits), 0)
                    << "unused bits set in " << std::string(digits.data(), 4);
            const int plot = PlotValue(raw, row.bits);
            ASSERT_GE(plot, lastPlot);
            lastPlot = plot;
        }
        EXPECT_EQ(PlotValue(0, row.bits), 0);
        EXPECT_EQ(lastPlot, row.topPlotValue);
    }
}

TEST(DeviceFrame, WorkedFrameReadsAsTheKnownPlotValuesAt12Bit)
{
    const std::string frame = FormatFrame(FrameForm::XYZ, {0x7FF, 0x801, 0xABC}, 12);
    const int expected[] = {249, 250, 335};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        std::array<char, 4> digits {};
        std::copy_n(frame.begin() + 1 + channel * 5, 4, digits.begin());
        EXPECT_EQ(PlotValue(RawFromDigits(digits, 12), 12), expected[channel]);
    }
}

} // namespace
