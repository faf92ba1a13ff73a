#include "mainicon.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QSet<QRgb> OpaqueColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255)
                colours.insert(pixel);
        }
    }
    return colours;
}

// Each size is an image of its own, not the other one scaled: it has exactly its size and no
// more than 16 colours, and it shows the red and the blue trace.
TEST(MainIcon, HoldsA32And16PixelImageOfAtMost16Colours)
{
    const QIcon icon = MainIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    for (int size : {32, 16}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        const QSet<QRgb> colours = OpaqueColours(image);
        EXPECT_LE(colours.size(), 16);
        EXPECT_TRUE(colours.contains(qRgb(255, 0, 0)));
        EXPECT_TRUE(colours.contains(qRgb(0, 0, 255)));
    }
}

} // namespace
