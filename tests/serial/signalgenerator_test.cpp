#include "deviceframe.h"
#include "signalgenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

FrameOptions XOnly(Waveform waveform, double amplitude, double period, int bits = 12)
{
    FrameOptions options;
    options.form = FrameForm::X;
    options.waveforms = {waveform, Waveform::Constant, Waveform::Constant};
    options.amplitude = amplitude;
    options.periodFrames = period;
    options.bits = bits;
    return options;
}

std::vector<std::uint32_t> Channel(CSignalGenerator &generator, int channel, int frames)
{
    std::vector<std::uint32_t> values;
    for (int i = 0; i < frames; ++i)
        values.push_back(generator.NextValues()[channel]);
    return values;
}

struct ShapeCase
{
    const char *name;
    Waveform waveform;
    double amplitude;
    std::vector<std::uint32_t> firstPeriod;
};

// Period 4 lands on the quarter points: 0 at mid scale, then the top, mid scale and the bottom.
const ShapeCase SHAPE_CASES[] = {
    {"SineFull", Waveform::Sine, 1, {2048, 4095, 2048, 0}},
    {"TriangleFull", Waveform::Triangle, 1, {2048, 4095, 2048, 0}},
    {"SquareFull", Waveform::Square, 1, {4095, 4095, 0, 0}},
    {"SineHalf", Waveform::Sine, 0.5, {2048, 3071, 2048, 1024}},
    {"SquareSilent", Waveform::Square, 0, {2048, 2048, 2048, 2048}},
    {"ConstantQuarter", Waveform::Constant, 0.25, {1024, 1024, 1024, 1024}},
};

TEST(SignalGenerator, FollowsTheWaveformAtTheQuarterPoints)
{
    for (const ShapeCase &row : SHAPE_CASES) {
        SCOPED_TRACE(row.name);
        CSignalGenerator generator(XOnly(row.waveform, row.amplitude, 4), 1);
        EXPECT_EQ(Channel(generator, 0, 4), row.firstPeriod);
        EXPECT_EQ(Channel(generator, 0, 4), row.firstPeriod) << "second period";
    }
}

TEST(SignalGenerator, TriangleRisesAndFallsInEvenSteps)
{
    CSignalGenerator generator(XOnly(Waveform::Triangle, 1, 8, 8), 1);
    const std::vector<std::uint32_t> expected = {128, 191, 255, 191, 128, 64, 0, 64};
    EXPECT_EQ(Channel(generator, 0, 8), expected);
}

TEST(SignalGenerator, ReachesBothEndsOfEveryBitLength)
{
    for (const int bits : {16, 14, 12, 10, 8}) {
        SCOPED_TRACE(bits);
        CSignalGenerator generator(XOnly(Waveform::Square, 1, 2, bits), 1);
        const std::vector<std::uint32_t> values = Channel(generator, 0, 2);
        EXPECT_EQ(values[0], FullScale(bits));
        EXPECT_EQ(values[1], 0u);
    }
}

TEST(SignalGenerator, RunsYAndZAThirdAndTwoThirdsOfAPeriodBehindX)
{
    FrameOptions options;
    options.waveforms = {Waveform::Sine, Waveform::Sine, Waveform::Sine};
    options.amplitude = 1;
    options.periodFrames = 6;
    CSignalGenerator generator(options, 1);
    std::vector<std::array<std::uint32_t, CHANNEL_COUNT>> frames;
    for (int i = 0; i < 30; ++i)
        frames.push_back(generator.NextValues());
    for (std::size_t i = 4; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frames[i][1], frames[i - 2][0]);
        EXPECT_EQ(frames[i][2], frames[i - 4][0]);
    }
    EXPECT_NE(frames[0][0], frames[0][1]);
}

TEST(SignalGenerator, NoiseStaysInItsBandAndFillsIt)
{
    CSignalGenerator generator(XOnly(Waveform::Noise, 0.5, 125), 7);
    const std::vector<std::uint32_t> values = Channel(generator, 0, 5000);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    EXPECT_GE(*low, 1023u);
    EXPECT_LE(*high, 3072u);
    EXPECT_LT(*low, 1100u);
    EXPECT_GT(*high, 3000u);
}

TEST(SignalGenerator, NoiseRepeatsForTheSameSeedOnly)
{
    FrameOptions options;
    options.waveforms = {Waveform::Noise, Waveform::Noise, Waveform::Noise};
    CSignalGenerator first(options, 42);
    CSignalGenerator again(options, 42);
    CSignalGenerator other(options, 43);
    const std::vector<std::uint32_t> firstX = Channel(first, 0, 100);
    EXPECT_EQ(Channel(again, 0, 100), firstX);
    EXPECT_NE(Channel(other, 0, 100), firstX);

    CSignalGenerator channels(options, 42);
    const auto values = channels.NextValues();
    EXPECT_FALSE(values[0] == values[1] && values[1] == values[2]);
}

} // namespace
