#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <functional>

class QWidget;

// Holds something that is asked for more often than it is worth doing to once an interval. An ask
// that comes sooner than the interval after the last run is held, and the pacer runs the action
// itself when the interval is over, so every ask in between is served by that one run. An ask
// after a quiet spell passes at once, so the first change after a pause is seen without delay.
// Lives on one thread, whose event loop runs the held action.
//
// The main window paces two things this way. Its repaints: Qt repaints a window's dirty widgets
// when the window gets an UpdateRequest event, posted once for every turn of the event loop that
// dirtied something, and the window hands each one to a pacer at the screen's rate. And the showing
// of what was received: at 3 Mbaud a chunk arrives every 14 ms, and laying out the counter's new
// text, indexing the text view and drawing the whole graph for each would cost more than the
// chunk; the window shows them at most RECEIVED_SHOW_INTERVAL apart.
class CPacer : public QObject
{
public:
    using Interval = std::function<std::chrono::nanoseconds()>;

    CPacer(Interval interval, std::function<void()> run);

    // True when the caller must not do it now: the pacer runs the action when the interval is
    // over. False during the pacer's own run, which the action may ask again.
    bool HoldBack();

    // Forgets a held ask: the action will not run for it.
    void Drop();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    Interval m_interval;
    std::function<void()> m_run;
    QElapsedTimer m_sinceRun;
    QBasicTimer m_held;
    bool m_running = false;
};

// One frame of the window's screen.
std::chrono::nanoseconds ScreenFrameInterval(const QWidget &window);

// How often received chunks are shown while they stream in: 25 pictures a second, as smooth as
// the eye follows, and with the chunk's own hand-over well inside a tenth of a second.
inline constexpr std::chrono::milliseconds RECEIVED_SHOW_INTERVAL {40};
