#include "pacer.h"

#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

namespace {

// Screens that report no rate of their own (virtual ones) are taken to refresh at this rate.
constexpr qreal DEFAULT_REFRESH_RATE = 60;
constexpr qint64 NS_PER_MS = 1'000'000;

} // namespace

CPacer::CPacer(Interval interval, std::function<void()> run)
    : m_interval(std::move(interval))
    , m_run(std::move(run))
{ }

bool CPacer::HoldBack()
{
    if (m_running)
        return false;
    // A run is due; it does whatever this ask would have done.
    if (m_held.isActive())
        return true;
    const qint64 waitNs
        = m_sinceRun.isValid() ? m_interval().count() - m_sinceRun.nsecsElapsed() : 0;
    if (waitNs > 0) {
        const auto waitMs = static_cast<int>((waitNs + NS_PER_MS - 1) / NS_PER_MS);
        m_held.start(waitMs, Qt::PreciseTimer, this);
        return true;
    }
    m_sinceRun.start();
    return false;
}

void CPacer::Drop()
{
    m_held.stop();
}

void CPacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_held.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_held.stop();
    m_sinceRun.start();
    m_running = true;
    m_run();
    m_running = false;
}

std::chrono::nanoseconds ScreenFrameInterval(const QWidget &window)
{
    const QScreen *screen = window.screen();
    const qreal rate
        = screen && screen->refreshRate() > 1 ? screen->refreshRate() : DEFAULT_REFRESH_RATE;
    return std::chrono::nanoseconds(static_cast<qint64>(1e9 / rate));
}
