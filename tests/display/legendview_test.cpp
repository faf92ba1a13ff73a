#include "legendview.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr QRgb UNTOUCHED = qRgb(12, 34, 56);
constexpr QRgb WHITE = qRgb(255, 255, 255);
constexpr QRgb BLACK = qRgb(0, 0, 0);

// The three legend boxes at the size the main window gives them.
struct LegendCase
{
    const char *name;
    TraceChannel channel;
    QSize size;
    QRgb colour;
};

const LegendCase LEGENDS[] = {
    {"X", TraceChannel::X, QSize(95, 20), qRgb(255, 0, 0)},
    {"Y", TraceChannel::Y, QSize(98, 20), qRgb(0, 0, 255)},
    {"Z", TraceChannel::Z, QSize(110, 20), BLACK},
};

bool OnOuterRing(const QSize &size, int x, int y)
{
    return x == 0 || y == 0 || x == size.width() - 1 || y == size.height() - 1;
}

TEST(LegendView, WritesTheLegendInItsChannelColourOnWhiteInsideTheFrame)
{
    for (const LegendCase &legend : LEGENDS) {
        SCOPED_TRACE(legend.name);
        QImage image(legend.size, QImage::Format_RGB32);
        image.fill(UNTOUCHED);
        {
            QPainter painter(&image);
            RenderLegend(painter, image.rect(), legend.channel);
        }
        QRect ink;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (OnOuterRing(legend.size, x, y)) {
                    ASSERT_EQ(pixel, UNTOUCHED) << x << "," << y;
                } else if (pixel != WHITE) {
                    ASSERT_EQ(pixel, legend.colour) << x << "," << y;
                    ink |= QRect(x, y, 1, 1);
                }
            }
        }
        // The text starts at (5, 1) and ends clear of the right edge.
        EXPECT_GE(ink.left(), 5);
        EXPECT_LE(ink.left(), 7);
        EXPECT_GE(ink.top(), 1);
        EXPECT_LT(ink.right(), legend.size.width() - 3);
    }
}

TEST(LegendView, PaintsItsFrameBlackAndTheLegendInside)
{
    CLegendView view(TraceChannel::Y);
    view.resize(98, 20);
    const QImage image = view.grab().toImage();
    int bluePixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (OnOuterRing(image.size(), x, y))
                ASSERT_EQ(pixel, BLACK) << x << "," << y;
            else if (pixel == qRgb(0, 0, 255))
                ++bluePixels;
            else
                ASSERT_EQ(pixel, WHITE) << x << "," << y;
        }
    }
    EXPECT_GT(bluePixels, 20);
}

} // namespace
