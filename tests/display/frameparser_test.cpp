#include "frameparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FrameParser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptySamples(samples);
        g_bitLengthSel = BIT_LENGTH_12;
    }
    void TearDown() override { g_bitLengthSel = BIT_LENGTH_12; }

    void Parse(const std::string &bytes)
    {
        ChunkText chunk;
        FillChunkText(chunk, bytes.data(), static_cast<int>(bytes.size()));
        ParseFrames(chunk, samples);
    }

    SampleBuffers samples;
};

std::string Repeat(const std::string &frame, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += frame;
    return out;
}

struct WorkedValue
{
    const char *name;
    std::int32_t bitLengthSel;
    std::int32_t x, y, z;
};

// "X07FFY0801Z0ABC" at every bit length: the worked values and the sums they come from.
const WorkedValue WORKED_VALUES[] = {
    {"16bit", 1, 15, 15, 20},  {"14bit", 2, 62, 62, 83}, {"12bit", 3, 249, 250, 335},
    {"10bit", 4, 499, 0, 341}, {"8bit", 5, 498, 1, 367},
};

TEST_F(FrameParser, DecodesTheWorkedFrameAtEveryBitLength)
{
    for (const WorkedValue &row : WORKED_VALUES) {
        SCOPED_TRACE(row.name);
        EmptySamples(samples);
        g_bitLengthSel = row.bitLengthSel;
        Parse("X07FFY0801Z0ABC\r\n");
        EXPECT_EQ(samples.x[0], row.x);
        EXPECT_EQ(samples.y[0], row.y);
        EXPECT_EQ(samples.z[0], row.z);
        EXPECT_EQ(samples.writeIndex, 1);
    }
}

TEST_F(FrameParser, ReadsLowerCaseDigitsAsUpperCase)
{
    Parse("X07ffY0801Z0abc\r\n");
    EXPECT_EQ(samples.x[0], 249);
    EXPECT_EQ(samples.y[0], 250);
    EXPECT_EQ(samples.z[0], 335);
}

TEST(HexDigit, CountsNonHexBytesAsTheirSignedValue)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('G'), 71);
    EXPECT_EQ(HexDigitValue('\r'), 13);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0x80)), -128);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xFF)), -1);
    // The neighbours of each range of digits are not digits.
    for (char neighbour : {'/', ':', '@', 'G', '`', 'g'})
        EXPECT_EQ(HexDigitValue(neighbour), neighbour) << neighbour;
}

TEST_F(FrameParser, StoresNonHexDigitsUnchecked)
{
    g_bitLengthSel = BIT_LENGTH_16;
    Parse("X0G00\r\n");
    EXPECT_EQ(samples.x[0], 138);
    g_bitLengthSel = BIT_LENGTH_12;
    Parse("X0G00\r\n");
    EXPECT_EQ(samples.x[1], 2218);
}

TEST_F(FrameParser, UsesOnlyTheDigitsOfTheBitLength)
{
    g_bitLengthSel = 5;
    Parse("X12AB\r\nX00AB\r\n");
    EXPECT_EQ(samples.x[0], 333);
    EXPECT_EQ(samples.x[1], 333);
    g_bitLengthSel = BIT_LENGTH_12;
    Parse("X12AB\r\n");
    EXPECT_EQ(samples.x[2], 83);
}

TEST_F(FrameParser, TakesAFrameWhoseLineFeedComesLater)
{
    Parse("X07FFY0801Z0ABC\r");
    Parse("\n");
    EXPECT_EQ(samples.writeIndex, 1);
    EXPECT_EQ(samples.z[0], 335);
}

TEST_F(FrameParser, LosesEverySecondFrameEndedByCarriageReturnAlone)
{
    Parse(Repeat("X0100\r", 6));
    EXPECT_EQ(samples.writeIndex, 3);
}

TEST_F(FrameParser, SkipsGarbageBetweenFrames)
{
    Parse("##X0100\r\n!!X0200\r\n");
    EXPECT_EQ(samples.writeIndex, 2);
    EXPECT_EQ(samples.x[0], 0x100 * 500 / 4096);
    EXPECT_EQ(samples.x[1], 0x200 * 500 / 4096);
}

TEST_F(FrameParser, IgnoresFramesWithTheWrongTerminatorOrLetterOrder)
{
    Parse("X0100\n");
    Parse("X0100Z0200\r\n");
    EXPECT_EQ(samples.writeIndex, 0);
    EXPECT_EQ(samples.x[0], EMPTY_SAMPLE);
}

TEST_F(FrameParser, EndsTheScanOnlyWhereItLandsOnANul)
{
    // A frame that holds the NUL is read as it stands (the NUL digit counts 0) and the scan
    // goes on behind it; a NUL between frames ends the scan.
    std::string bytes = "X01";
    bytes += '\0';
    bytes += "0\r\nX0200\r\n";
    Parse(bytes);
    EXPECT_EQ(samples.writeIndex, 2);
    EXPECT_EQ(samples.x[0], 0x100 * 500 / 4096);

    EmptySamples(samples);
    bytes = "X0100\r\n";
    bytes += '\0';
    bytes += "X0200\r\n";
    Parse(bytes);
    EXPECT_EQ(samples.writeIndex, 1);
}

TEST_F(FrameParser, FillsASweepOf374AndEmptiesItOnThe375th)
{
    Parse(Repeat("X07FFY0801Z0ABC\r\n", 200));
    Parse(Repeat("X07FFY0801Z0ABC\r\n", 174));
    EXPECT_EQ(samples.writeIndex, 374);
    EXPECT_EQ(samples.x[373], 249);
    EXPECT_EQ(samples.z[373], 335);
    EXPECT_EQ(samples.x[374], EMPTY_SAMPLE);

    Parse("X07FFY0801Z0ABC\r\n");
    EXPECT_EQ(samples.writeIndex, 0);
    for (int slot = 0; slot < SAMPLE_CAPACITY; ++slot) {
        ASSERT_EQ(samples.x[slot], EMPTY_SAMPLE) << slot;
        ASSERT_EQ(samples.y[slot], EMPTY_SAMPLE) << slot;
        ASSERT_EQ(samples.z[slot], EMPTY_SAMPLE) << slot;
    }
}

TEST_F(FrameParser, KeepsStaleChannelsWhenTheFormChanges)
{
    Parse(Repeat("X07FFY0801Z0ABC\r\n", 10));
    Parse(Repeat("X07FFY0801\r\n", 200));
    Parse(Repeat("X07FFY0801\r\n", 165));
    // The two-channel sweep ends: X and Y are emptied, Z keeps its ten samples.
    EXPECT_EQ(samples.writeIndex, 0);
    EXPECT_EQ(samples.x[0], EMPTY_SAMPLE);
    EXPECT_EQ(samples.y[0], EMPTY_SAMPLE);
    EXPECT_EQ(samples.z[9], 335);

    Parse(Repeat("X07FF\r\n", 300));
    Parse(Repeat("X07FF\r\n", 75));
    EXPECT_EQ(samples.z[9], 335);
    EXPECT_EQ(samples.x[0], EMPTY_SAMPLE);
}

TEST_F(FrameParser, NeverReadsPastAFullChunk)
{
    // A full chunk that ends in the middle of frame tests: the padding answers every test.
    std::string bytes(READ_BUFFER_SIZE - 1 - 3, '.');
    bytes += "X01";
    Parse(bytes);
    EXPECT_EQ(samples.writeIndex, 0);
    Parse(std::string(READ_BUFFER_SIZE - 1 - 16, '.') + "X0100Y0200Z0300\r");
    EXPECT_EQ(samples.writeIndex, 1);
}

TEST(FrameStart, FindsTheFirstX)
{
    EXPECT_EQ(FindFrameStart("abX", 3), 2);
    EXPECT_EQ(FindFrameStart("abc", 3), 3);
    EXPECT_EQ(FindFrameStart("X", 0), 0);
    EXPECT_EQ(FindFrameStart("X", -1), 0);
}

} // namespace

// Three frames, one of each form, cut in two at every place: each reaches the samples whole,
// with the values worked out at 12 bit (07FF 249, 0801 250, 0ABC 335, 0100 31, 0200 62, 0300
// 93). A clear between the two pieces drops what the first one left.
TEST(FrameStream, FramesCutByAChunksEndReachTheSamplesWhole)
{
    g_bitLengthSel = BIT_LENGTH_12;
    const std::string stream = "X07FFY0801Z0ABC\r\nX0100Y0200\r\nX0300\r\n";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        SampleBuffers samples;
        EmptySamples(samples);
        CFrameStream frames;
        frames.Parse(stream.data(), static_cast<int>(cut), samples);
        frames.Parse(stream.data() + cut, static_cast<int>(stream.size() - cut), samples);
        ASSERT_EQ(samples.writeIndex, 3);
        EXPECT_EQ((std::vector<int> {samples.x[0], samples.x[1], samples.x[2]}),
                  (std::vector<int> {249, 31, 93}));
        EXPECT_EQ((std::vector<int> {samples.y[0], samples.y[1]}), (std::vector<int> {250, 62}));
        EXPECT_EQ(samples.z[0], 335);
    }
    SampleBuffers samples;
    EmptySamples(samples);
    CFrameStream frames;
    frames.Parse("X07FF", 5, samples);
    frames.Reset();
    frames.Parse("\r\n", 2, samples);
    EXPECT_EQ(samples.writeIndex, 0);
}
