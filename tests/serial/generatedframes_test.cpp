#include "deviceframe.h"
#include "generatedframes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FrameOptions Options(std::optional<std::uint64_t> count, double malformed = 0)
{
    FrameOptions options;
    options.waveforms = {Waveform::Noise, Waveform::Sine, Waveform::Noise};
    options.frameCount = count;
    options.malformedShare = malformed;
    return options;
}

TEST(GeneratedFrames, EndsAfterTheFrameCount)
{
    CGeneratedFrames stream(Options(10), 1);
    std::string out;
    stream.AppendFrames(out, 4);
    EXPECT_FALSE(stream.AtEnd());
    stream.AppendFrames(out, 100);
    EXPECT_TRUE(stream.AtEnd());
    EXPECT_EQ(out.size(), 10u * FrameLength(FrameForm::XYZ));
    stream.AppendFrames(out, 1);
    stream.AppendBytes(out, 100);
    EXPECT_EQ(out.size(), 10u * FrameLength(FrameForm::XYZ));
}

TEST(GeneratedFrames, SplitsFramesAcrossByteTakesWithoutLosingAByte)
{
    CGeneratedFrames whole(Options(50, 0.3), 3);
    std::string frames;
    whole.AppendFrames(frames, 50);

    CGeneratedFrames pieces(Options(50, 0.3), 3);
    std::string bytes;
    for (std::size_t take = 1; !pieces.AtEnd(); take = take % 23 + 1)
        pieces.AppendBytes(bytes, take);
    EXPECT_EQ(bytes, frames);
}

TEST(GeneratedFrames, CountsFramesCompleteOnlyOnceTheirLastByteIsWritten)
{
    CGeneratedFrames stream(Options(std::nullopt), 1);
    std::string out;
    stream.AppendBytes(out, 60);
    EXPECT_EQ(stream.FramesCompleteWithin(16), 0u);
    EXPECT_EQ(stream.FramesCompleteWithin(17), 1u);
    EXPECT_EQ(stream.FramesCompleteWithin(50), 2u);
    EXPECT_EQ(stream.FramesCompleteWithin(51), 3u);
    EXPECT_EQ(stream.FramesCompleteWithin(60), 3u);
}

TEST(GeneratedFrames, SpoilingLeavesTheOtherFramesValuesAsTheyWere)
{
    CGeneratedFrames clean(Options(std::nullopt), 8);
    CGeneratedFrames spoiled(Options(std::nullopt, 0.5), 8);
    int same = 0;
    const int frames = 1000;
    for (int i = 0; i < frames; ++i) {
        std::string cleanFrame;
        std::string sentFrame;
        clean.AppendFrames(cleanFrame, 1);
        spoiled.AppendFrames(sentFrame, 1);
        same += sentFrame == cleanFrame;
    }
    EXPECT_NEAR(same, frames / 2, frames / 10);
}

} // namespace
