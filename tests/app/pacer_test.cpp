#include "pacer.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

// A window that hands its UpdateRequest events to a pacer, as the main window does, and notes
// when each of its paints happened.
class CPacedWindow : public QWidget
{
public:
    CPacedWindow()
    {
        resize(200, 100);
        m_clock.start();
    }

    qint64 FrameIntervalNs() const { return ScreenFrameInterval(*this).count(); }
    std::size_t Paints() const { return m_paintTimes.size(); }
    qint64 SinceLastPaintNs() const { return m_clock.nsecsElapsed() - m_paintTimes.back(); }
    const std::vector<qint64> &PaintTimes() const { return m_paintTimes; }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest && m_pacer.HoldBack())
            return true;
        return QWidget::event(event);
    }
    void paintEvent(QPaintEvent *) override { m_paintTimes.push_back(m_clock.nsecsElapsed()); }

private:
    CPacer m_pacer {[this] { return ScreenFrameInterval(*this); },
                    [this] {
                        QEvent request(QEvent::UpdateRequest);
                        QCoreApplication::sendEvent(this, &request);
                    }};
    QElapsedTimer m_clock;
    std::vector<qint64> m_paintTimes;
};

class RepaintPacer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Paints() > 0; }));
    }

    // Until a whole frame has passed since the last paint.
    bool WaitForQuiet()
    {
        return QTest::qWaitFor(
            [&] { return window.SinceLastPaintNs() > window.FrameIntervalNs(); });
    }

    CPacedWindow window;
};

TEST_F(RepaintPacer, FramesComeAtTheScreensRate)
{
    // 60 Hz, or the rate of a screen that reports one.
    EXPECT_GT(window.FrameIntervalNs(), 1'000'000);
    EXPECT_LE(window.FrameIntervalNs(), 1'000'000'000 / 59);
}

TEST_F(RepaintPacer, RepaintsAtOnceAfterAQuietFrame)
{
    ASSERT_TRUE(WaitForQuiet());
    const std::size_t before = window.Paints();
    window.update();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Paints(), before + 1);
}

TEST_F(RepaintPacer, HoldsARepaintBackUntilTheFrameIsOver)
{
    ASSERT_TRUE(WaitForQuiet());
    window.update();
    QCoreApplication::processEvents();
    const std::size_t painted = window.Paints();

    window.update();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Paints() > painted; }));
    const std::vector<qint64> &times = window.PaintTimes();
    EXPECT_GE(times[painted] - times[painted - 1], window.FrameIntervalNs());
}

TEST_F(RepaintPacer, PaintsManyChangesOnceAFrame)
{
    ASSERT_TRUE(WaitForQuiet());
    const std::size_t first = window.Paints();
    int updates = 0;
    QElapsedTimer limit;
    limit.start();
    while (window.Paints() < first + 5 && limit.elapsed() < 10'000) {
        window.update();
        QCoreApplication::processEvents();
        ++updates;
    }
    ASSERT_EQ(window.Paints(), first + 5);
    EXPECT_GT(updates, 5);
    const std::vector<qint64> &times = window.PaintTimes();
    for (std::size_t i = first + 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], window.FrameIntervalNs()) << "paint " << i;
}

} // namespace
