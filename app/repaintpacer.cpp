#include "repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

namespace {

// Screens that report no rate of their own (virtual ones) are taken to refresh at this rate.
constexpr qreal DEFAULT_REFRESH_RATE = 60;
constexpr qint64 NS_PER_SECOND = 1'000'000'000;
constexpr qint64 NS_PER_MS = 1'000'000;

} // namespace

CRepaintPacer::CRepaintPacer(QWidget &window)
    : m_window(window)
{ }

bool CRepaintPacer::HoldBack()
{
    // A resend is due; it paints whatever this request would have painted.
    if (m_resend.isActive())
        return true;
    const qint64 waitNs
        = m_sinceRepaint.isValid() ? FrameIntervalNs() - m_sinceRepaint.nsecsElapsed() : 0;
    if (waitNs > 0) {
        const auto waitMs = static_cast<int>((waitNs + NS_PER_MS - 1) / NS_PER_MS);
        m_resend.start(waitMs, Qt::PreciseTimer, this);
        return true;
    }
    m_sinceRepaint.start();
    return false;
}

qint64 CRepaintPacer::FrameIntervalNs() const
{
    const QScreen *screen = m_window.screen();
    const qreal rate
        = screen && screen->refreshRate() > 1 ? screen->refreshRate() : DEFAULT_REFRESH_RATE;
    return static_cast<qint64>(NS_PER_SECOND / rate);
}

void CRepaintPacer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_resend.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_resend.stop();
    // The frame is over: the request that follows passes.
    m_sinceRepaint.invalidate();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(&m_window, &request);
}
