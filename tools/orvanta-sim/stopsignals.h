#pragma once

// SIGINT, SIGTERM and SIGHUP as a descriptor for poll(). They are blocked from construction on,
// so a Ctrl+C at any moment, even while the link is being made, ends in the orderly way that
// removes the link, never in the default action that would leave it behind.
class CStopSignals
{
public:
    // Throws std::system_error.
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals &) = delete;
    CStopSignals &operator=(const CStopSignals &) = delete;

    int Fd() const { return m_fd; }
    // Takes the pending signal and returns its number, 0 when none was pending.
    int Take();

private:
    int m_fd = -1;
};
