#include "logviewer.h"
#include "monitorwindowtest.h"
#include "tempworkdir.h"
#include "viewerplot.h"
#include "viewertesting.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class LogViewer : public ::testing::Test
{
protected:
    // Opens `bytes` as log.txt, shown, and waits until the whole file is read.
    void Open(const std::string &bytes)
    {
        WriteFile("log.txt", bytes);
        m_viewer = std::make_unique<CLogViewer>("log.txt");
        std::string failure;
        ASSERT_TRUE(m_viewer->Open(failure)) << failure;
        m_viewer->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_viewer.get()));
        ASSERT_TRUE(WaitFor([this] { return !m_viewer->Scanning(); }));
    }

    CViewerPlot &Plot() { return m_viewer->Plot(); }

    // The middle of the pixels that show `frame`, halfway down the plot.
    QPoint PointOnFrame(std::int64_t frame)
    {
        const int y = Plot().height() / 2;
        std::vector<int> columns;
        for (int x = 0; x < Plot().width(); ++x) {
            if (Plot().FrameAt(QPoint(x, y)) == frame)
                columns.push_back(x);
        }
        EXPECT_FALSE(columns.empty()) << "frame " << frame << " is not in view";
        return QPoint(columns.empty() ? 0 : columns[columns.size() / 2], y);
    }

    CTempWorkDir m_workDir;
    std::unique_ptr<CLogViewer> m_viewer;
};

struct ReadoutCase
{
    const char *name;
    int bitLengthEntry;
    std::int64_t frame;
    const char *expected;
};

const ReadoutCase READOUT_CASES[] = {
    {"12 bit", 2, 1,
     "フレーム 1\u3000位置 17\u3000X 07FF (249)\u3000Y 0801 (250)\u3000Z 0ABC (335)"},
    {"16 bit", 0, 1, "フレーム 1\u3000位置 17\u3000X 07FF (15)\u3000Y 0801 (15)\u3000Z 0ABC (20)"},
    {"8 bit", 4, 1, "フレーム 1\u3000位置 17\u3000X 07FF (498)\u3000Y 0801 (1)\u3000Z 0ABC (367)"},
    {"14 bit", 1, 1, "フレーム 1\u3000位置 17\u3000X 07FF (62)\u3000Y 0801 (62)\u3000Z 0ABC (83)"},
    {"10 bit", 3, 1, "フレーム 1\u3000位置 17\u3000X 07FF (499)\u3000Y 0801 (0)\u3000Z 0ABC (341)"},
    {"an XY frame at 14 bit", 1, 2, "フレーム 2\u3000位置 37\u3000X 0ABC (83)\u3000Y 0123 (8)"},
    {"an XY frame at 10 bit", 3, 2, "フレーム 2\u3000位置 37\u3000X 0ABC (341)\u3000Y 0123 (142)"},
    {"an XY frame after garbage", 2, 2,
     "フレーム 2\u3000位置 37\u3000X 0ABC (335)\u3000Y 0123 (35)"},
};

TEST_F(LogViewer, ReadsOutTheFrameUnderThePointerAtTheChosenBitLength)
{
    Open("X0100Y0200Z0300\r\nX07FFY0801Z0ABC\r\n??\rX0ABCY0123\r\n");
    auto *selector = m_viewer->findChild<QComboBox *>();
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->currentText(), QString("12Bit"));
    EXPECT_EQ(selector->itemText(4), QString(" 8Bit"));
    for (const ReadoutCase &row : READOUT_CASES) {
        selector->setCurrentIndex(row.bitLengthEntry);
        m_viewer->OnSelchangeBitLength();
        MovePointer(Plot(), PointOnFrame(row.frame));
        EXPECT_EQ(m_viewer->ReadoutText(), Text(row.expected)) << row.name;
        MovePointer(Plot(), QPoint(0, 0));
        EXPECT_EQ(m_viewer->ReadoutText(), QString()) << row.name << ", outside the plot";
    }
}

TEST_F(LogViewer, WheelZoomsAroundThePointerAndHomeShowsEverything)
{
    Open(Repeated("X0100Y0200Z0300\r\n", 10000));
    const QPoint at(Plot().width() * 3 / 10, Plot().height() / 2);
    MovePointer(Plot(), at);
    const QString pointed = m_viewer->ReadoutText();
    ASSERT_TRUE(pointed.startsWith(Text("フレーム 2"))) << pointed.toStdString();
    // Far enough in that lines join the frames themselves, and out again.
    for (const int steps : {3, 9, -2, 2, -5}) {
        const double span = Plot().Range().Span();
        Wheel(Plot(), at, steps);
        EXPECT_EQ(Plot().Range().Span() < span, steps > 0) << steps;
        EXPECT_EQ(m_viewer->ReadoutText(), pointed) << steps;
    }
    QTest::keyClick(&Plot(), Qt::Key_Home);
    EXPECT_EQ(Plot().Range().First(), 0);
    EXPECT_EQ(Plot().Range().Span(), 10000);
}

struct KeyCase
{
    Qt::Key key;
    double first;
    double span;
};

TEST_F(LogViewer, KeysZoomAndPanAndADragMovesTheFramesWithThePointer)
{
    Open(Repeated("X0100\r\n", 1000));
    const KeyCase keys[] = {{Qt::Key_Plus, 250, 500},
                            {Qt::Key_Right, 312.5, 500},
                            {Qt::Key_Left, 250, 500},
                            {Qt::Key_Minus, 0, 1000},
                            {Qt::Key_Plus, 250, 500}};
    for (const KeyCase &row : keys) {
        QTest::keyClick(&Plot(), row.key);
        EXPECT_EQ(Plot().Range().First(), row.first) << QTest::toString(row.key);
        EXPECT_EQ(Plot().Range().Span(), row.span) << QTest::toString(row.key);
    }
    const QPoint from = PointOnFrame(600);
    const QPoint to = from - QPoint(100, 0);
    QTest::mousePress(&Plot(), Qt::LeftButton, {}, from);
    QMouseEvent drag(QEvent::MouseMove, to, Plot().mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&Plot(), &drag);
    QTest::mouseRelease(&Plot(), Qt::LeftButton, {}, to);
    EXPECT_EQ(Plot().FrameAt(to), 600);
}

struct ColourCase
{
    const char *name;
    int frames;
};

// X at 62, Y at 250 and Z at 437 at 12 bit, with garbage halfway. Each trace is found by its
// colour in the middle column; their rows stand as their values do.
TEST_F(LogViewer, DrawsXRedYBlueZBlackAndMarksSkippedBytes)
{
    const std::string frame = "X0200Y0800Z0E00\r\n";
    for (const ColourCase &row :
         {ColourCase {"a line through frames", 40}, ColourCase {"a span per column", 20000}}) {
        Open(Repeated(frame, row.frames / 2) + "garbage" + Repeated(frame, row.frames / 2));
        const QImage image = Plot().grab().toImage();
        const int x = image.width() / 2;
        auto rowOf = [&](QRgb colour, int from, int step) {
            for (int y = from; y >= 0 && y < image.height(); y += step) {
                if (image.pixel(x, y) == colour)
                    return y;
            }
            return -1;
        };
        const int blue = rowOf(qRgb(0, 0, 255), 0, 1);
        const int red = rowOf(qRgb(255, 0, 0), 0, 1);
        const int black = rowOf(qRgb(0, 0, 0), blue, -1);
        ASSERT_TRUE(blue > 0 && red > blue && black > 0 && black < blue) << row.name;
        EXPECT_NEAR(double(red - black) / (blue - black), 375.0 / 187.0, 0.05) << row.name;

        // Between the Y and Z traces and their grid lines, only the mark is not white.
        const int y = blue - (blue - black) * 100 / 187;
        int marked = 0;
        for (int column = 0; column < image.width(); ++column) {
            const QRgb pixel = image.pixel(column, y);
            marked += pixel != qRgb(255, 255, 255) && pixel != qRgb(191, 191, 191)
                && pixel != qRgb(0, 0, 0);
        }
        EXPECT_GT(marked, 0) << row.name;
        EXPECT_LT(marked, image.width() / 10) << row.name;
    }
}

// The picture is of the plot as shown; the CSV file holds the frames in view, 25 to 74 of 100
// once the view is zoomed in on the middle.
TEST_F(LogViewer, SavesThePlotAsAPictureAndTheFramesInViewAsCsv)
{
    CChooserStandIn chooser;
    Open(Repeated("X07FFY0801Z0ABC\r\n", 100));
    chooser.chosen = "view.png";
    m_viewer->OnSavePicture();
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].choice, FileChoice::Save);
    EXPECT_TRUE(chooser.requests[0].start.endsWith("log.png"));
    const QImage picture("view.png");
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), Plot().size() * Plot().devicePixelRatio());

    chooser.chosen = "view.csv";
    QTest::keyClick(&Plot(), Qt::Key_Plus);
    m_viewer->OnSaveVisibleCsv();
    ASSERT_TRUE(WaitFor([this] { return !m_viewer->WritingCsv(); }));
    QFile csv("view.csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF\xE3\x83\x95")) << "the UTF-8 mark, then フ";
    const QList<QByteArray> lines = bytes.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 51);
    EXPECT_TRUE(lines[1].startsWith("25,425,0x07FF,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[50].startsWith("74,1258,0x07FF,")) << lines[50].toStdString();
}

} // namespace
