#pragma once

#include "deadlinetimer.h"
#include "pacer.h"
#include "simoptions.h"

#include <cstdint>
#include <optional>
#include <string>

class CByteSource;
class CConsole;
class CFrameStream;
class CPseudoTerminal;
class CStopSignals;

// Sends the source's bytes to the pseudo-terminal at the chosen pace, prints what the program
// on the other end sends back, and keeps the progress line up to date.
//
// Everything happens on the calling thread in one poll() over the stop signals, the master and
// a deadline timer. Bytes are released by the pacer when they fall due and written as the
// terminal takes them: while its buffer is full the loop sits in poll() without using the
// processor, and nothing is ever dropped. When the source ends, the loop waits until the reader
// has taken every byte, because closing the master throws away what is still queued.
class CSimulator
{
public:
    CSimulator(const SimOptions &options, CPseudoTerminal &terminal, CByteSource &source,
               CFrameStream *frames, CStopSignals &stopSignals, CConsole &console);

    // Returns when everything was sent and taken, or at a stop signal. Throws std::system_error
    // when the pseudo-terminal fails.
    void Run();
    // What was sent, for the last line.
    std::string Summary() const;

private:
    bool Sending() const { return m_pendingOffset < m_pending.size(); }
    bool Finished(Nanos now);
    void ReleaseDue(Nanos now);
    void WaitForEvents(Nanos now);
    int PollTimeoutMs(Nanos now) const;
    void WriteSome();
    void ReadSome();
    void UpdateProgress(Nanos now);
    std::uint64_t FramesSent() const;
    std::string Counts() const;

    SimOptions m_options;
    CPseudoTerminal &m_terminal;
    CByteSource &m_source;
    CFrameStream *m_frames;
    CStopSignals &m_stopSignals;
    CConsole &m_console;
    CDeadlineTimer m_timer;
    std::optional<CPacer> m_pacer;

    Nanos m_start {};
    Nanos m_lastWrite {};
    std::optional<Nanos> m_end;
    std::string m_pending;
    std::size_t m_pendingOffset = 0;
    std::uint64_t m_bytesWritten = 0;
    bool m_sourceDone = false;
    int m_stopSignal = 0;
    std::optional<Nanos> m_queueEmptySince;

    Nanos m_nextProgress {};
    Nanos m_rateMark {};
    std::uint64_t m_rateMarkFrames = 0;
    std::uint64_t m_rateMarkBytes = 0;
    double m_frameRate = 0;
    double m_byteRate = 0;
};
