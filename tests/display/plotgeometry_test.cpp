#include "plotgeometry.h"
#include "samplebuffers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

bool operator==(const PlotPoint &a, const PlotPoint &b)
{
    return a.x == b.x && a.y == b.y;
}

std::string Describe(const PlotPoint &point)
{
    return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")";
}

TEST(PlotGeometry, GridIsElevenRowsThenSixteenColumnsFiftyApart)
{
    std::vector<PlotLine> expected;
    for (int y = 20; y <= 520; y += 50)
        expected.push_back({{50, y}, {800, y}});
    for (int x = 50; x <= 800; x += 50)
        expected.push_back({{x, 20}, {x, 520}});
    ASSERT_EQ(expected.size(), 27u);
    const auto lines = GridLines();
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(lines[i].from == expected[i].from) << Describe(lines[i].from);
        EXPECT_TRUE(lines[i].to == expected[i].to) << Describe(lines[i].to);
    }
}

TEST(PlotGeometry, LabelsMarkEveryOtherRowFromTheTop)
{
    const PlotText expected[] = {{{10, 8}, "10/5"},   {{10, 108}, " 8/4"}, {{10, 208}, " 6/3"},
                                 {{10, 308}, " 4/2"}, {{10, 408}, " 2/1"}, {{10, 508}, "   0"}};
    const auto labels = ValueLabels();
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(labels[i].topLeft == expected[i].topLeft) << Describe(labels[i].topLeft);
        EXPECT_EQ(std::string(labels[i].text), expected[i].text);
    }
}

TEST(PlotGeometry, ErasedAreaAndLegendFillLeaveTheirFramesAlone)
{
    const PlotRect erased = ErasedArea(809, 527);
    EXPECT_EQ(erased.left, 4);
    EXPECT_EQ(erased.top, 4);
    EXPECT_EQ(erased.right, 805);
    EXPECT_EQ(erased.bottom, 523);
    const PlotRect fill = LegendFillArea(95, 20);
    EXPECT_EQ(fill.left, 1);
    EXPECT_EQ(fill.top, 1);
    EXPECT_EQ(fill.right, 94);
    EXPECT_EQ(fill.bottom, 19);
}

TEST(PlotGeometry, ColoursAndLegendsOfTheChannels)
{
    struct Row
    {
        TraceChannel channel;
        PlotColour colour;
        const char *legend;
    };
    const Row rows[] = {
        {TraceChannel::X, {255, 0, 0}, "X ch : RED"},
        {TraceChannel::Y, {0, 0, 255}, "Y ch : BLUE"},
        {TraceChannel::Z, {0, 0, 0}, "Z ch : BLACK"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_TRUE(TraceColour(row.channel) == row.colour);
        EXPECT_EQ(std::string(LegendText(row.channel).text), row.legend);
        EXPECT_TRUE(LegendText(row.channel).topLeft == (PlotPoint {5, 1}));
    }
    EXPECT_TRUE(GRID_COLOUR == (PlotColour {191, 191, 191}));
}

struct TraceCase
{
    const char *name;
    // Slots 0, 1, ... of the channel; the rest stay empty.
    std::vector<std::int32_t> stored;
    std::size_t pointCount;
    // Some of the points, by index.
    std::vector<std::pair<std::size_t, PlotPoint>> points;
};

const TraceCase TRACE_CASES[] = {
    {"OneSampleIsNoTrace", {250}, 0, {}},
    {"TwoSamplesAreOneSegment", {250, 100}, 2, {{0, {50, 270}}, {1, {52, 420}}}},
    {"Value501LiesAboveTheTopLineAnd502EndsTheTrace",
     {501, 501, 502, 501},
     2,
     {{0, {50, 19}}, {1, {52, 19}}}},
    {"NegativeValueEndsTheTrace", {130, 130, 130, -7, 130}, 3, {{2, {54, 390}}}},
    {"ZeroLiesOnTheBottomLine", {0, 0}, 2, {{1, {52, 520}}}},
    {"EmptyFirstSlotStartsBelowTheBottomLine",
     {EMPTY_SAMPLE, 1, 2},
     3,
     {{0, {50, 521}}, {1, {52, 519}}, {2, {54, 518}}}},
    {"WildFirstValueIsHeldFarOutsideTheClient",
     {std::numeric_limits<std::int32_t>::max(), 250},
     2,
     {{0, {50, 520 - 1'000'000}}}},
    {"NegativeWildFirstValueLikewise",
     {std::numeric_limits<std::int32_t>::min(), 250},
     2,
     {{0, {50, 520 + 1'000'000}}}},
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
        for (const auto &[index, point] : row.points)
            EXPECT_TRUE(points[index] == point) << index << ": " << Describe(points[index]);
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
        EXPECT_TRUE(points.back() == (PlotPoint {50 + 2 * (filled - 1), 270}));
    }
}

} // namespace
