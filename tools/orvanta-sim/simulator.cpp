#include "simulator.h"

#include "bytesource.h"
#include "console.h"
#include "generatedframes.h"
#include "pseudoterminal.h"
#include "stopsignals.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// With --max, as much as one write hands over; the terminal takes about 20 KB at most.
constexpr std::size_t MAX_BATCH_BYTES = 16384;
constexpr std::size_t READ_SIZE = 4096;
// How often to look for a program on the port where the kernel gives no open watch.
constexpr int PROGRAM_RECHECK_MS = 100;
constexpr Nanos PROGRESS_INTERVAL = 250ms;
constexpr Nanos RATE_INTERVAL = 1s;

[[noreturn]] void FailPort(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

double Seconds(Nanos duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace

CSimulator::CSimulator(const SimOptions &options, CPseudoTerminal &terminal, CByteSource &source,
                       CGeneratedFrames *frames, CStopSignals &stopSignals, CConsole &console)
    : m_options(options)
    , m_terminal(terminal)
    , m_source(source)
    , m_frames(frames)
    , m_stopSignals(stopSignals)
    , m_console(console)
    , m_openWatch(terminal.SlavePath())
{ }

void CSimulator::Run()
{
    // The watch is in place by now, so an open from here on is reported even when it comes
    // before this look.
    if (!m_terminal.SlaveClosedWithin(0ms))
        PortOpened(MonotonicNow());
    while (m_stopSignal == 0) {
        const Nanos now = MonotonicNow();
        ReleaseDue(now);
        if (SendingOver() && !m_summaryShown) {
            m_summaryShown = true;
            m_console.Note(Summary());
            m_nextProgress = now;
        }
        if (SendingOver() && !m_programOnPort)
            break;
        UpdateProgress(now);
        if (m_programOnPort)
            WaitForEvents(now);
        else
            WaitForProgram();
    }
    m_console.EndProgress();
    if (!m_summaryShown)
        m_console.Note(Summary());
}

void CSimulator::Start(Nanos now)
{
    m_started = true;
    m_start = now;
    m_lastWrite = now;
    if (m_options.pace != Pace::Max)
        m_schedule.emplace(m_options.rate, now);
    if (m_options.durationSeconds)
        m_end = now
            + std::chrono::duration_cast<Nanos>(
                    std::chrono::duration<double>(*m_options.durationSeconds));
}

void CSimulator::PortOpened(Nanos now)
{
    m_programOnPort = true;
    if (m_started)
        m_closedTime += now - m_portClosedAt;
    else
        Start(now);
    // The rate counts from here, not across the time nobody took anything.
    m_rateMark = now;
    m_rateMarkFrames = FramesSent();
    m_rateMarkBytes = m_bytesWritten;
    m_nextProgress = now;
}

void CSimulator::PortClosed(Nanos now)
{
    m_programOnPort = false;
    m_portClosedAt = now;
    m_frameRate = 0;
    m_byteRate = 0;
    m_nextProgress = now;
}

void CSimulator::ReleaseDue(Nanos now)
{
    if (!m_started || m_sourceDone || Sending())
        return;
    m_pending.clear();
    m_pendingOffset = 0;
    if (m_end && now >= *m_end) {
        m_sourceDone = true;
        m_nextProgress = now;
        return;
    }
    // The send schedule starts again after a long wait, so a reopened port gets no burst of
    // the time it was closed.
    if (!m_programOnPort)
        return;
    if (!m_schedule) {
        m_source.AppendBytes(m_pending, MAX_BATCH_BYTES);
    } else {
        // Nothing falls due at the end itself: --duration 1 at 100 frames a second is 100 frames.
        const Nanos releaseTime = m_end ? std::min(now, *m_end - 1ns) : now;
        const std::uint64_t units = m_schedule->Release(releaseTime);
        if (m_options.pace == Pace::FrameRate)
            m_frames->AppendFrames(m_pending, units);
        else
            m_source.AppendBytes(m_pending, units);
    }
    m_sourceDone = m_source.AtEnd();
}

void CSimulator::WaitForEvents(Nanos now)
{
    enum { STOP, PORT, TIMER };
    pollfd watched[] = {
        {m_stopSignals.Fd(), POLLIN, 0},
        {m_terminal.MasterFd(), static_cast<short>(POLLIN | (Sending() ? POLLOUT : 0)), 0},
        {m_timer.Fd(), POLLIN, 0},
    };
    nfds_t count = 2;
    if (m_schedule && !Sending() && !m_sourceDone) {
        m_timer.FireAt(m_end ? std::min(m_schedule->NextWake(), *m_end) : m_schedule->NextWake());
        count = 3;
    }
    if (::poll(watched, count, PollTimeoutMs(now)) < 0) {
        if (errno == EINTR)
            return;
        FailPort("cannot wait for the pseudo-terminal");
    }
    if (watched[STOP].revents)
        m_stopSignal = m_stopSignals.Take();
    const short port = watched[PORT].revents;
    if (port & (POLLERR | POLLNVAL)) {
        errno = EIO;
        FailPort("the pseudo-terminal failed");
    }
    if (port & POLLIN)
        ReadSome();
    // What the program wrote before it closed the port is read first.
    if (port & POLLHUP) {
        if (!(port & POLLIN))
            PortClosed(MonotonicNow());
    } else if (port & POLLOUT) {
        WriteSome();
    }
    if (count > TIMER && watched[TIMER].revents)
        m_timer.Acknowledge();
}

// A hung-up master is readable for good, so it stays out of this poll(); the open watch wakes
// the loop instead, and the timer only for the end of --duration.
void CSimulator::WaitForProgram()
{
    enum { STOP, OPEN, TIMER };
    pollfd watched[] = {
        {m_stopSignals.Fd(), POLLIN, 0},
        {m_openWatch.Fd(), POLLIN, 0},
        {m_timer.Fd(), POLLIN, 0},
    };
    nfds_t count = 2;
    if (m_end && !m_sourceDone) {
        m_timer.FireAt(*m_end);
        count = 3;
    }
    const int timeout = m_openWatch.Fd() < 0 ? PROGRAM_RECHECK_MS : -1;
    if (::poll(watched, count, timeout) < 0) {
        if (errno == EINTR)
            return;
        FailPort("cannot wait for a program to open the pseudo-terminal");
    }
    if (watched[STOP].revents)
        m_stopSignal = m_stopSignals.Take();
    if (count > TIMER && watched[TIMER].revents)
        m_timer.Acknowledge();
    m_openWatch.Drain();
    if (!m_terminal.SlaveClosedWithin(0ms))
        PortOpened(MonotonicNow());
}

// The progress line moves on its own only while bytes are going out.
int CSimulator::PollTimeoutMs(Nanos now) const
{
    if (!m_console.ShowsProgress() || SendingOver())
        return -1;
    const Nanos wait = std::max(m_nextProgress - now, Nanos(0));
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

void CSimulator::WriteSome()
{
    const ssize_t written = ::write(m_terminal.MasterFd(), m_pending.data() + m_pendingOffset,
                                    m_pending.size() - m_pendingOffset);
    if (written < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        FailPort("cannot write to the pseudo-terminal");
    }
    m_pendingOffset += static_cast<std::size_t>(written);
    m_bytesWritten += static_cast<std::uint64_t>(written);
    // Counted as they go, so the stream forgets the ends of the frames written.
    FramesSent();
    m_lastWrite = MonotonicNow();
    m_closedTimeBeforeLastWrite = m_closedTime;
}

void CSimulator::ReadSome()
{
    char received[READ_SIZE];
    const ssize_t got = ::read(m_terminal.MasterFd(), received, sizeof received);
    if (got < 0) {
        // EIO: the program closed the port meanwhile, which the next poll() shows.
        if (errno == EAGAIN || errno == EINTR || errno == EIO)
            return;
        FailPort("cannot read from the pseudo-terminal");
    }
    if (got > 0)
        m_console.PrintReceived(std::string_view(received, static_cast<std::size_t>(got)));
}

void CSimulator::UpdateProgress(Nanos now)
{
    if (!m_console.ShowsProgress() || now < m_nextProgress)
        return;
    m_nextProgress = now + PROGRESS_INTERVAL;
    if (now - m_rateMark >= RATE_INTERVAL) {
        const double seconds = Seconds(now - m_rateMark);
        m_frameRate = static_cast<double>(FramesSent() - m_rateMarkFrames) / seconds;
        m_byteRate = static_cast<double>(m_bytesWritten - m_rateMarkBytes) / seconds;
        m_rateMark = now;
        m_rateMarkFrames = FramesSent();
        m_rateMarkBytes = m_bytesWritten;
    }
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(1);
    line << m_options.linkName << "  " << Counts() << "  ";
    if (m_frames)
        line << m_frameRate << " frames/s  ";
    line << std::llround(m_byteRate) << " B/s  " << (m_started ? Seconds(now - m_start) : 0.0)
         << " s";
    if (!m_programOnPort)
        line << "  waiting for a program to open the port";
    else if (SendingOver())
        line << "  all sent; waiting for the program to close the port";
    m_console.ShowProgress(line.str());
}

std::uint64_t CSimulator::FramesSent() const
{
    return m_frames ? m_frames->FramesCompleteWithin(m_bytesWritten) : 0;
}

std::string CSimulator::Counts() const
{
    std::ostringstream counts;
    if (m_frames)
        counts << FramesSent() << " frames, ";
    counts << m_bytesWritten << " bytes";
    return counts.str();
}

std::string CSimulator::Summary() const
{
    std::ostringstream summary;
    summary.setf(std::ios::fixed);
    summary.precision(1);
    if (m_stopSignal != 0)
        summary << "stopped by SIG" << ::sigabbrev_np(m_stopSignal) << ": ";
    // Up to the last write, and without the time no program had the port: waiting for the reader
    // is not sending.
    const Nanos sending = m_lastWrite - m_start - m_closedTimeBeforeLastWrite;
    const double seconds = Seconds(sending);
    summary << "sent " << Counts() << " in " << seconds << " s";
    // Over a short run the rate says more about the first and last frame than about the pace.
    if (sending >= RATE_INTERVAL) {
        summary << " (";
        if (m_frames)
            summary << static_cast<double>(FramesSent()) / seconds << " frames/s, ";
        summary << std::llround(static_cast<double>(m_bytesWritten) / seconds) << " B/s)";
    }
    if (m_closedTimeBeforeLastWrite > Nanos(0))
        summary << "; held back for " << Seconds(m_closedTimeBeforeLastWrite)
                << " s while no program had the port";
    return summary.str();
}
