#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Holds a window's repaints to the rate of its screen. Qt repaints a window's dirty widgets when
// the window gets an UpdateRequest event, which it posts once for every turn of the event loop
// that dirtied something; at 3 Mbaud a chunk arrives every 14 ms and dirties the graph, the
// counter and the scroll bar, so every read would cost a whole repaint. The window hands each
// UpdateRequest to HoldBack() first: one that comes sooner than a screen frame after the last
// repaint is held, and the pacer sends it again when the frame is over, so the changes of every
// chunk in between are painted at once. A request after a quiet spell passes at once, so a lone
// frame from the device is on screen without delay. Lives on the window's thread.
class CRepaintPacer : public QObject
{
public:
    explicit CRepaintPacer(QWidget &window);

    // True when the window must drop this UpdateRequest: the pacer sends one again itself.
    bool HoldBack();

    // The least time between two repaints: one frame of the window's screen.
    qint64 FrameIntervalNs() const;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    QWidget &m_window;
    QElapsedTimer m_sinceRepaint;
    QBasicTimer m_resend;
};
