#include "plotrenderer.h"
#include "samplebuffers.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// The plotting area as the main window lays it out: 813 x 531 pixels, the client inside a
// 2-pixel edge. Pixels outside the client keep this colour unless something paints there.
const QSize CONTROL_SIZE(813, 531);
const QRect CLIENT(2, 2, 809, 527);
constexpr QRgb UNTOUCHED = qRgb(12, 34, 56);

constexpr QRgb WHITE = qRgb(255, 255, 255);
constexpr QRgb GRID = qRgb(191, 191, 191);
constexpr QRgb RED = qRgb(255, 0, 0);
constexpr QRgb BLUE = qRgb(0, 0, 255);
constexpr QRgb BLACK = qRgb(0, 0, 0);

struct Label
{
    int top;
    int leadingBlanks;
};

const Label LABELS[] = {{8, 0}, {108, 1}, {208, 1}, {308, 1}, {408, 1}, {508, 3}};

// Room for a label: from x = 10 up to the grid, and less than the 100 pixels between labels.
QRect LabelBox(const Label &label)
{
    return QRect(10, label.top, 40, 20);
}

bool InLabelBox(int x, int y)
{
    for (const Label &label : LABELS) {
        if (LabelBox(label).contains(x, y))
            return true;
    }
    return false;
}

bool IsGridPixel(int x, int y)
{
    const bool onRow = y >= 20 && y <= 520 && (y - 20) % 50 == 0;
    const bool onColumn = x >= 50 && x <= 800 && (x - 50) % 50 == 0;
    return (onRow && x >= 50 && x <= 800) || (onColumn && y >= 20 && y <= 520);
}

QImage Render(const SampleBuffers &samples, bool tracesShown)
{
    QImage image(CONTROL_SIZE, QImage::Format_RGB32);
    image.fill(UNTOUCHED);
    QPainter painter(&image);
    const QPen x = MakeTracePen(TraceChannel::X);
    const QPen y = MakeTracePen(TraceChannel::Y);
    const QPen z = MakeTracePen(TraceChannel::Z);
    const QPen grid = MakeGridPen();
    RenderPlot(painter, CLIENT, samples, {x, y, z, grid}, tracesShown);
    return image;
}

// A pixel in client coordinates.
QRgb At(const QImage &image, int x, int y)
{
    return image.pixel(CLIENT.x() + x, CLIENT.y() + y);
}

class PlotRenderer : public ::testing::Test
{
protected:
    void SetUp() override { EmptySamples(samples); }

    SampleBuffers samples;
};

TEST_F(PlotRenderer, EmptyGraphIsWhiteWithGreyGridAndLabelsInsideTheErasedArea)
{
    const QImage image = Render(samples, false);
    const QRect erased = QRect(QPoint(0, 0), CLIENT.size()).adjusted(4, 4, -4, -4);
    for (int y = -CLIENT.y(); y < CONTROL_SIZE.height() - CLIENT.y(); ++y) {
        for (int x = -CLIENT.x(); x < CONTROL_SIZE.width() - CLIENT.x(); ++x) {
            const QRgb pixel = At(image, x, y);
            if (!erased.contains(x, y))
                ASSERT_EQ(pixel, UNTOUCHED) << x << "," << y;
            else if (IsGridPixel(x, y))
                ASSERT_EQ(pixel, GRID) << x << "," << y;
            else if (InLabelBox(x, y))
                ASSERT_TRUE(pixel == WHITE || pixel == BLACK) << x << "," << y;
            else
                ASSERT_EQ(pixel, WHITE) << x << "," << y;
        }
    }
}

TEST_F(PlotRenderer, LabelsAreWrittenAfterTheirLeadingBlanks)
{
    const QImage image = Render(samples, false);
    const int blankWidth = QFontMetrics(DrawingFont()).horizontalAdvance(QLatin1Char(' '));
    for (const Label &label : LABELS) {
        SCOPED_TRACE(label.top);
        const QRect box = LabelBox(label);
        int inkLeft = box.right() + 1;
        int inkPixels = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                if (At(image, x, y) == BLACK) {
                    ++inkPixels;
                    inkLeft = std::min(inkLeft, x);
                }
            }
        }
        EXPECT_GT(inkPixels, 10);
        EXPECT_GE(inkLeft, box.left() + label.leadingBlanks * blankWidth);
    }
}

struct StoredRun
{
    TraceChannel channel;
    int firstSlot;
    int lastSlot;
    std::int32_t value;
};

// Pixels x = left..right on row y, in client coordinates.
struct DrawnRun
{
    int left;
    int right;
    int y;
    QRgb colour;
};

struct TraceCase
{
    const char *name;
    std::vector<StoredRun> stored;
    std::vector<DrawnRun> drawn;
};

const TraceCase TRACE_CASES[] = {
    {"OneSampleOfEachChannelDrawsNothing",
     {{TraceChannel::X, 0, 0, 250}, {TraceChannel::Y, 0, 0, 250}, {TraceChannel::Z, 0, 0, 250}},
     {}},
    {"FullSweepEndsAt796WithBlackOverBlueOverRed",
     {{TraceChannel::X, 0, 373, 250},
      {TraceChannel::Y, 0, 373, 250},
      {TraceChannel::Z, 0, 373, 250}},
     {{50, 796, 270, BLACK}}},
    {"BlueCoversRed",
     {{TraceChannel::X, 0, 9, 120}, {TraceChannel::Y, 0, 9, 120}},
     {{50, 68, 400, BLUE}}},
    {"Value501LiesAboveTheTopLineAnd502EndsTheTrace",
     {{TraceChannel::X, 0, 1, 501}, {TraceChannel::X, 2, 2, 502}, {TraceChannel::X, 3, 9, 501}},
     {{50, 52, 19, RED}}},
    {"XRunsOnWhileYThatStartsAtSlot10DrawsNothing",
     {{TraceChannel::X, 0, 29, 310}, {TraceChannel::Y, 10, 29, 100}},
     {{50, 108, 210, RED}}},
    {"EmptyFirstSlotStartsTheTraceBelowTheBottomLine",
     {{TraceChannel::Z, 1, 1, 1}},
     {{50, 50, 521, BLACK}, {51, 51, 520, BLACK}, {52, 52, 519, BLACK}}},
    {"NegativeValueEndsTheTrace",
     {{TraceChannel::Y, 0, 4, 130}, {TraceChannel::Y, 5, 5, -7}, {TraceChannel::Y, 6, 9, 130}},
     {{50, 58, 390, BLUE}}},
};

std::int32_t *Channel(SampleBuffers &samples, TraceChannel channel)
{
    switch (channel) {
    case TraceChannel::X:
        return samples.x;
    case TraceChannel::Y:
        return samples.y;
    case TraceChannel::Z:
        return samples.z;
    }
    return nullptr;
}

const DrawnRun *FindRun(const std::vector<DrawnRun> &runs, int x, int y)
{
    for (const DrawnRun &run : runs) {
        if (run.y == y && x >= run.left && x <= run.right)
            return &run;
    }
    return nullptr;
}

// Every pixel that the traces change lies on an expected run and has its colour, and every
// pixel of the runs is drawn.
TEST_F(PlotRenderer, DrawsEachTraceUpToItsFirstUndrawableSlot)
{
    for (const TraceCase &row : TRACE_CASES) {
        SCOPED_TRACE(row.name);
        EmptySamples(samples);
        for (const StoredRun &run : row.stored) {
            for (int slot = run.firstSlot; slot <= run.lastSlot; ++slot)
                Channel(samples, run.channel)[slot] = run.value;
        }
        const QImage grid = Render(samples, false);
        const QImage traces = Render(samples, true);
        for (int y = 0; y < CLIENT.height(); ++y) {
            for (int x = 0; x < CLIENT.width(); ++x) {
                const DrawnRun *run = FindRun(row.drawn, x, y);
                if (run)
                    ASSERT_EQ(At(traces, x, y), run->colour) << x << "," << y;
                else
                    ASSERT_EQ(At(traces, x, y), At(grid, x, y)) << x << "," << y;
            }
        }
    }
}

// Slot 0 is never checked; whatever it holds, the first segment runs to the client's edge and
// stops there.
TEST_F(PlotRenderer, WildFirstValuePaintsUpToTheClientEdgeAndNoFurther)
{
    struct Row
    {
        std::int32_t value;
        int edgeRow;
        int outsideRow;
    };
    const Row rows[] = {
        {std::numeric_limits<std::int32_t>::max(), 0, -1},
        {std::numeric_limits<std::int32_t>::min(), CLIENT.height() - 1, CLIENT.height()},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        samples.x[0] = row.value;
        samples.x[1] = 250;
        const QImage image = Render(samples, true);
        const bool reachesEdge = At(image, 50, row.edgeRow) == RED
            || At(image, 51, row.edgeRow) == RED || At(image, 52, row.edgeRow) == RED;
        EXPECT_TRUE(reachesEdge);
        for (int x = -CLIENT.x(); x < CONTROL_SIZE.width() - CLIENT.x(); ++x)
            ASSERT_EQ(At(image, x, row.outsideRow), UNTOUCHED) << x;
    }
}

} // namespace
