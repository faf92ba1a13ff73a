#include "plotrenderer.h"
#include "plotview.h"
#include "samplebuffers.h"

#include <QEvent>
#include <QImage>
#include <QPen>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr QRgb WHITE = qRgb(255, 255, 255);
constexpr QRgb BLACK = qRgb(0, 0, 0);

// A point of the traces below, away from every grid line.
const QPoint TRACE_POINT(110, 280);

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }

    int count = 0;
};

class PlotView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptySamples(samples);
        for (int slot = 0; slot < 100; ++slot)
            samples.x[slot] = samples.y[slot] = samples.z[slot] = 240;
        view.resize(813, 531);
    }

    QRgb ClientPixel(const QPoint &point)
    {
        const QImage image = view.grab().toImage();
        return image.pixel(view.contentsRect().topLeft() + point);
    }

    SampleBuffers samples;
    QPen penX = MakeTracePen(TraceChannel::X);
    QPen penY = MakeTracePen(TraceChannel::Y);
    QPen penZ = MakeTracePen(TraceChannel::Z);
    QPen penGrid = MakeGridPen();
    CPlotView view {samples, {penX, penY, penZ, penGrid}};
};

TEST_F(PlotView, ClientOfTheTemplateSizeHoldsTheWholeGraph)
{
    EXPECT_GE(view.contentsRect().width(), PLOT_CLIENT_MIN_WIDTH);
    EXPECT_GE(view.contentsRect().height(), PLOT_CLIENT_MIN_HEIGHT);
}

TEST_F(PlotView, FramesTheClientInBlackAroundTheErasedArea)
{
    const QRect client(QPoint(0, 0), view.contentsRect().size());
    EXPECT_EQ(ClientPixel(client.topLeft()), BLACK);
    EXPECT_EQ(ClientPixel(client.bottomRight()), BLACK);
    EXPECT_EQ(ClientPixel(QPoint(0, 300)), BLACK);
    EXPECT_EQ(ClientPixel(QPoint(4, 4)), WHITE);
    EXPECT_EQ(ClientPixel(client.bottomRight() - QPoint(4, 4)), WHITE);
}

TEST_F(PlotView, ShowsTheWindowBackgroundBetweenTheFrameAndTheGraph)
{
    const QPoint band(2, 2);
    EXPECT_EQ(ClientPixel(band), view.palette().color(QPalette::Window).rgb());
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, QColor(10, 200, 30));
    view.setPalette(palette);
    EXPECT_EQ(ClientPixel(band), qRgb(10, 200, 30));
}

TEST_F(PlotView, FramesTheWholeClientAfterAResize)
{
    ASSERT_EQ(ClientPixel(QPoint(4, 4)), WHITE);
    view.resize(900, 600);
    const QRect client(QPoint(0, 0), view.contentsRect().size());
    EXPECT_EQ(ClientPixel(client.bottomRight()), BLACK);
    EXPECT_EQ(ClientPixel(client.bottomRight() - QPoint(4, 4)), WHITE);
}

// The pens are the main window's: what it sets them to is what the plot draws with.
TEST_F(PlotView, DrawsWithThePensItWasGiven)
{
    penZ = QPen(QColor(0, 160, 0));
    penGrid = QPen(QColor(200, 0, 200));
    view.ShowTraces();
    EXPECT_EQ(ClientPixel(TRACE_POINT), qRgb(0, 160, 0));
    EXPECT_EQ(ClientPixel(QPoint(100, 70)), qRgb(200, 0, 200));
}

TEST_F(PlotView, EveryPaintShowsWhatItWasLastToldToShow)
{
    EXPECT_FALSE(view.TracesShown());
    EXPECT_EQ(ClientPixel(TRACE_POINT), WHITE);
    view.ShowTraces();
    EXPECT_EQ(ClientPixel(TRACE_POINT), BLACK);
    EXPECT_EQ(ClientPixel(TRACE_POINT), BLACK);
    view.ShowGrid();
    EXPECT_EQ(ClientPixel(TRACE_POINT), WHITE);
    EXPECT_EQ(ClientPixel(TRACE_POINT), WHITE);
}

TEST_F(PlotView, TracesReflectTheSamplesAtPaintTime)
{
    view.ShowTraces();
    samples.z[1] = EMPTY_SAMPLE;
    EXPECT_EQ(ClientPixel(TRACE_POINT), qRgb(0, 0, 255));
}

TEST_F(PlotView, ShowingGridOrTracesRepaintsTheWidget)
{
    PaintCounter paints;
    view.installEventFilter(&paints);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }));

    paints.count = 0;
    view.ShowTraces();
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }));

    paints.count = 0;
    view.ShowGrid();
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }));
}

} // namespace
