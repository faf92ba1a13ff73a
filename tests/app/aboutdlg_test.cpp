#include "aboutdlg.h"
#include "mainicon.h"

#include <QImage>
#include <QLabel>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Where a static's text leaves ink, drawn as the static draws it but with room to spare.
QRect InkOf(const QLabel &label)
{
    QImage image(label.size() * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(label.font());
        painter.drawText(image.rect(), int(label.alignment()), label.text());
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// Each text fits the one line of its static, and the icon static is as large as its image.
TEST(AboutDlg, ShowsItsTextsAndTheIconWhole)
{
    CAboutDlg dialog(MainIcon());
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 3);
    EXPECT_EQ(labels[0]->size(), QSize(32, 32));
    EXPECT_EQ(labels[0]->pixmap().size(), QSize(32, 32));
    const char *const lines[] = {"Orvanta Version 1.0", "© 2026 Orvanta 制作チーム"};
    for (int i = 0; i < 2; ++i) {
        const QLabel &label = *labels[i + 1];
        EXPECT_EQ(label.text().toStdString(), lines[i]);
        EXPECT_TRUE(label.rect().contains(InkOf(label))) << lines[i];
    }
}

} // namespace
