#include "plotgeometry.h"
#include "samplebuffers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

void ExpectPoint(const PlotPoint &point, int x, int y)
{
    EXPECT_EQ(point.x, x);
    EXPECT_EQ(point.y, y);
}

TEST(PlotGeometry, GridIsElevenRowsThenSixteenColumnsWithALabelOnEveryOtherRow)
{
    const auto lines = GridLines();
    ASSERT_EQ(lines.size(), 27u);
    for (int i = 0; i < 11; ++i) {
        ExpectPoint(lines[i].from, 50, 20 + 50 * i);
        ExpectPoint(lines[i].to, 800, 20 + 50 * i);
    }
    for (int i = 0; i < 16; ++i) {
        ExpectPoint(lines[11 + i].from, 50 + 50 * i, 20);
        ExpectPoint(lines[11 + i].to, 50 + 50 * i, 520);
    }
    const char *const texts[] = {"10/5", " 8/4", " 6/3", " 4/2", " 2/1", "   0"};
    for (int i = 0; i < 6; ++i) {
        ExpectPoint(ValueLabels()[i].topLeft, 10, 8 + 100 * i);
        EXPECT_EQ(std::string(ValueLabels()[i].text), texts[i]);
    }
}

TEST(PlotGeometry, LegendsNameTheirChannelsColours)
{
    struct Row
    {
        TraceChannel channel;
        PlotColour colour;
        const char *legend;
    };
    const Row rows[] = {{TraceChannel::X, {255, 0, 0}, "X ch : RED"},
                        {TraceChannel::Y, {0, 0, 255}, "Y ch : BLUE"},
                        {TraceChannel::Z, {0, 0, 0}, "Z ch : BLACK"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_TRUE(TraceColour(row.channel) == row.colour);
        EXPECT_EQ(std::string(LegendText(row.channel).text), row.legend);
        ExpectPoint(LegendText(row.channel).topLeft, 5, 1);
    }
}

struct TraceCase
{
    const char *name;
    // Slots 0, 1, ... of the channel; the rest stay empty.
    std::vector<std::int32_t> stored;
    std::size_t pointCount;
    // The point at index, x, y.
    std::vector<std::array<int, 3>> points;
};

const TraceCase TRACE_CASES[] = {
    {"OneSampleIsNoTrace", {250}, 0, {}},
    {"TwoSamplesAreOneSegment", {250, 100}, 2, {{0, 50, 270}, {1, 52, 420}}},
    {"Value501LiesAboveTheTopLineAnd502EndsTheTrace", {501, 501, 502, 501}, 2, {{1, 52, 19}}},
    {"NegativeValueEndsTheTrace", {130, 130, 130, -7, 130}, 3, {{2, 54, 390}}},
    {"EmptyFirstSlotStartsBelowTheBottomLine",
     {EMPTY_SAMPLE, 1, 0},
     3,
     {{0, 50, 521}, {2, 54, 520}}},
    // Far outside the client, which the painter's clip cuts, but without overflow.
    {"WildFirstValueIsHeldFarOutsideTheClient",
     {std::numeric_limits<std::int32_t>::min(), 250},
     2,
     {{0, 50, 520 + 1'000'000}}},
};

TEST(PlotGeometry, TraceRunsFromSlotZeroToItsFirstUndrawableSlot)
{
    std::int32_t channel[SAMPLE_CAPACITY];
    for (const TraceCase &row : TRACE_CASES) {
        SCOPED_TRACE(row.name);
        EmptyChannel(channel);
        for (std::size_t slot = 0; slot < row.stored.size(); ++slot)
            channel[slot] = row.stored[slot];
        TracePoints room;
        const auto points = TraceOf(channel, room);
        ASSERT_EQ(points.size(), row.pointCount);
        for (const auto &[index, x, y] : row.points)
            ExpectPoint(points[index], x, y);
    }
}

// The parser empties the arrays as soon as slot 374 is filled: the longest trace ends at x = 796,
// and the slot after a sweep, which always stays empty, ends it even with 375 slots filled.
TEST(PlotGeometry, LongestTraceEndsOnTheLastSlotOfASweep)
{
    std::int32_t channel[SAMPLE_CAPACITY];
    for (const int filled : {374, 375}) {
        SCOPED_TRACE(filled);
        EmptyChannel(channel);
        for (int slot = 0; slot < filled; ++slot)
            channel[slot] = 250;
        TracePoints room;
        const auto points = TraceOf(channel, room);
        ASSERT_EQ(points.size(), static_cast<std::size_t>(filled));
        ExpectPoint(points.back(), 50 + 2 * (filled - 1), 270);
    }
}

} // namespace
