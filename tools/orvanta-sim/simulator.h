#pragma once

#include "deadlinetimer.h"
#include "openwatch.h"
#include "sendschedule.h"
#include "simoptions.h"

#include <cstdint>
#include <optional>
#include <string>

class CByteSource;
class CConsole;
class CGeneratedFrames;
class CPseudoTerminal;
class CStopSignals;

// Sends the source's bytes to the pseudo-terminal at the chosen pace, prints what the program
// on the other end sends back, and keeps the progress line up to date.
//
// Everything happens on the calling thread in one poll() over the stop signals, the master and
// a deadline timer. Bytes are released by the send schedule when they fall due and written as the
// terminal takes them: while its buffer is full the loop sits in poll() without using the
// processor, and nothing is ever dropped.
//
// The simulator holds no descriptor of the slave, so the master hangs up whenever no program has
// the port open. Nothing falls due then, as from a device that sends only while the line is
// ready: the loop leaves the master out of its poll() and sleeps until the open watch reports an
// open, without waking in between; the stream starts with the first open and picks up where it
// stopped at every later one. Bytes the program left unread when it closed the port stay queued
// for the next open. When the source ends, the loop waits until the program closes the port:
// nothing on this side of the line shows when the reader has taken the last byte, and closing
// the master throws away what is still queued.
class CSimulator
{
public:
    CSimulator(const SimOptions &options, CPseudoTerminal &terminal, CByteSource &source,
               CGeneratedFrames *frames, CStopSignals &stopSignals, CConsole &console);

    // Returns when everything was sent and the program has closed the port, or at a stop signal.
    // Notes the summary once sending is over. Throws std::system_error when the pseudo-terminal
    // fails.
    void Run();

private:
    bool Sending() const { return m_pendingOffset < m_pending.size(); }
    bool SendingOver() const { return m_sourceDone && !Sending(); }
    void Start(Nanos now);
    void PortOpened(Nanos now);
    void PortClosed(Nanos now);
    void ReleaseDue(Nanos now);
    void WaitForEvents(Nanos now);
    void WaitForProgram();
    int PollTimeoutMs(Nanos now) const;
    void WriteSome();
    void ReadSome();
    void UpdateProgress(Nanos now);
    std::uint64_t FramesSent() const;
    std::string Counts() const;
    std::string Summary() const;

    SimOptions m_options;
    CPseudoTerminal &m_terminal;
    CByteSource &m_source;
    CGeneratedFrames *m_frames;
    CStopSignals &m_stopSignals;
    CConsole &m_console;
    CDeadlineTimer m_timer;
    COpenWatch m_openWatch;
    std::optional<CSendSchedule> m_schedule;

    bool m_started = false;
    bool m_programOnPort = false;
    Nanos m_start {};
    Nanos m_lastWrite {};
    std::optional<Nanos> m_end;
    // Time without a program on the port since the start, up to its last reopen, and as much of
    // it as lies before the last write.
    Nanos m_portClosedAt {};
    Nanos m_closedTime {};
    Nanos m_closedTimeBeforeLastWrite {};
    std::string m_pending;
    std::size_t m_pendingOffset = 0;
    std::uint64_t m_bytesWritten = 0;
    bool m_sourceDone = false;
    bool m_summaryShown = false;
    int m_stopSignal = 0;

    Nanos m_nextProgress {};
    Nanos m_rateMark {};
    std::uint64_t m_rateMarkFrames = 0;
    std::uint64_t m_rateMarkBytes = 0;
    double m_frameRate = 0;
    double m_byteRate = 0;
};
