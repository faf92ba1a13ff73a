#include "simulator.h"

#include "bytesource.h"
#include "console.h"
#include "framestream.h"
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
// The terminal moves queued bytes into the reader's input as soon as there is room, so an empty
// input that stays empty this long means the reader has taken everything.
constexpr Nanos DRAIN_CONFIRMATION = 10ms;
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
                       CFrameStream *frames, CStopSignals &stopSignals, CConsole &console)
    : m_options(options)
    , m_terminal(terminal)
    , m_source(source)
    , m_frames(frames)
    , m_stopSignals(stopSignals)
    , m_console(console)
{ }

void CSimulator::Run()
{
    m_start = MonotonicNow();
    m_lastWrite = m_start;
    m_rateMark = m_start;
    m_nextProgress = m_start;
    if (m_options.pace != Pace::Max)
        m_pacer.emplace(m_options.rate, m_start);
    if (m_options.durationSeconds)
        m_end = m_start
            + std::chrono::duration_cast<Nanos>(
                    std::chrono::duration<double>(*m_options.durationSeconds));
    while (m_stopSignal == 0) {
        const Nanos now = MonotonicNow();
        ReleaseDue(now);
        if (Finished(now))
            break;
        UpdateProgress(now);
        WaitForEvents(now);
    }
    m_console.EndProgress();
}

bool CSimulator::Finished(Nanos now)
{
    if (!m_sourceDone || Sending())
        return false;
    if (m_terminal.BytesWaitingForReader() > 0) {
        m_queueEmptySince.reset();
        return false;
    }
    if (!m_queueEmptySince)
        m_queueEmptySince = now;
    return now - *m_queueEmptySince >= DRAIN_CONFIRMATION;
}

void CSimulator::ReleaseDue(Nanos now)
{
    if (m_sourceDone || Sending())
        return;
    m_pending.clear();
    m_pendingOffset = 0;
    if (m_end && now >= *m_end) {
        m_sourceDone = true;
        return;
    }
    if (!m_pacer) {
        m_source.AppendBytes(m_pending, MAX_BATCH_BYTES);
    } else {
        // Nothing falls due at the end itself: --duration 1 at 100 frames a second is 100 frames.
        const Nanos releaseTime = m_end ? std::min(now, *m_end - 1ns) : now;
        const std::uint64_t units = m_pacer->Release(releaseTime);
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
    if (m_pacer && !Sending() && !m_sourceDone) {
        m_timer.FireAt(m_end ? std::min(m_pacer->NextWake(), *m_end) : m_pacer->NextWake());
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
    if (port & POLLIN)
        ReadSome();
    if (port & POLLOUT)
        WriteSome();
    if ((port & (POLLERR | POLLHUP | POLLNVAL)) && !(port & POLLIN)) {
        errno = EIO;
        FailPort("the pseudo-terminal hung up");
    }
    if (count > TIMER && watched[TIMER].revents)
        m_timer.Acknowledge();
}

int CSimulator::PollTimeoutMs(Nanos now) const
{
    std::optional<Nanos> wait;
    if (m_sourceDone && !Sending())
        wait = DRAIN_CONFIRMATION;
    if (m_console.ShowsProgress())
        wait = std::min(wait.value_or(Nanos::max()), std::max(m_nextProgress - now, Nanos(0)));
    if (!wait)
        return -1;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*wait).count());
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
    m_lastWrite = MonotonicNow();
}

void CSimulator::ReadSome()
{
    char received[READ_SIZE];
    const ssize_t got = ::read(m_terminal.MasterFd(), received, sizeof received);
    if (got < 0) {
        if (errno == EAGAIN || errno == EINTR)
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
    line << std::llround(m_byteRate) << " B/s  " << Seconds(now - m_start) << " s";
    if (m_sourceDone && !Sending())
        line << "  waiting for the reader to take " << m_terminal.BytesWaitingForReader()
             << " bytes";
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
    // Up to the last write: waiting for the reader to take the last bytes is not sending.
    const double seconds = Seconds(m_lastWrite - m_start);
    summary << "sent " << Counts() << " in " << seconds << " s";
    // Over a short run the rate says more about the first and last frame than about the pace.
    if (m_lastWrite - m_start >= RATE_INTERVAL) {
        summary << " (";
        if (m_frames)
            summary << static_cast<double>(FramesSent()) / seconds << " frames/s, ";
        summary << std::llround(static_cast<double>(m_bytesWritten) / seconds) << " B/s)";
    }
    return summary.str();
}
