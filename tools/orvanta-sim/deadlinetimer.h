#pragma once

#include "sendschedule.h"

// The monotonic clock that the pacing runs on.
Nanos MonotonicNow();

// A timer that fires at absolute times on the monotonic clock, as a descriptor that poll()
// watches beside the port and the stop signals: the wait for the next frame ends at once when
// the program sends something or the user stops the simulator.
class CDeadlineTimer
{
public:
    // Throws std::system_error.
    CDeadlineTimer();
    ~CDeadlineTimer();
    CDeadlineTimer(const CDeadlineTimer &) = delete;
    CDeadlineTimer &operator=(const CDeadlineTimer &) = delete;

    void FireAt(Nanos deadline);
    // Clears a firing so that poll() waits again.
    void Acknowledge();
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};
