#pragma once

#include <chrono>
#include <functional>

// Holds something that is asked for more often than it is worth doing to once an interval. An ask
// that comes sooner than the interval after the last run is held, and the pacer runs the action
// itself when its timer says the interval is over, so every ask in between is served by that one
// run. An ask after a quiet spell passes at once, so the first change after a pause is seen
// without delay. Lives on one thread, which also runs the timer.
//
// The main window paces two things this way. Showing what was received: at 3 Mbaud a chunk
// arrives every 14 ms, and laying out the counter's new text, indexing the text view and drawing
// the whole graph for each would cost more than the chunk; the window shows them at most
// RECEIVED_SHOW_INTERVAL apart (WHOLE_SWEEP_SHOW_INTERVAL on a fast line). And, where the system
// paints on request, its repaints, at the screen's rate.
class CPacer
{
public:
    using Clock = std::chrono::steady_clock;
    using Interval = std::function<std::chrono::nanoseconds()>;

    // The owner's single-shot timer: started for a delay, after which the owner calls
    // TimerExpired, or stopped before.
    struct Timer
    {
        std::function<void(std::chrono::nanoseconds delay)> start;
        std::function<void()> stop;
    };

    CPacer(Interval interval, std::function<void()> run, Timer timer,
           std::function<Clock::time_point()> now = Clock::now);

    // True when the caller must not do it now: the pacer runs the action when the interval is
    // over. False during the pacer's own run, which the action may ask again.
    bool HoldBack();

    // Forgets a held ask: the action will not run for it.
    void Drop();

    void TimerExpired();

private:
    Interval m_interval;
    std::function<void()> m_run;
    Timer m_timer;
    std::function<Clock::time_point()> m_now;
    Clock::time_point m_lastRun;
    bool m_ranBefore = false;
    bool m_held = false;
    bool m_running = false;
};

// How often received chunks are shown while they stream in: 25 pictures a second, as smooth as
// the eye follows, and with the chunk's own hand-over well inside a tenth of a second.
inline constexpr std::chrono::milliseconds RECEIVED_SHOW_INTERVAL {40};
// How often they are shown once a whole sweep of frames or more comes between two shows (from
// about 160,000 B/s of XYZ frames): then every picture of the graph is new from end to end and
// the sweep crosses it faster than the eye follows, so 10 pictures a second show as much, and
// spare the window most of what a fast line costs it. What arrives is still on the screen within
// a fifth of a second.
inline constexpr std::chrono::milliseconds WHOLE_SWEEP_SHOW_INTERVAL {100};
