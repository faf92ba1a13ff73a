#include "reader.h"

#include "frameparser.h"
#include "portlayer.h"
#include "posixio.h"
#include "receivemessages.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace {

// Below the window's thread, so that drawing keeps precedence; the reader needs little time.
constexpr int READER_NICE_INCREMENT = 2;

// How long the bytes of a chunk gather between two reads; well below the read interval and the
// hand-over time, and at the highest line speed a few kilobytes, which the driver holds.
constexpr std::chrono::milliseconds READ_GATHER_TIME {5};

void LowerReaderPriority()
{
    const pid_t thread = gettid();
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (niceness == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, thread, niceness + READER_NICE_INCREMENT);
}

ssize_t ReadSome(int port, char *buffer, std::int32_t length)
{
    return RetryOnInterrupt([&] { return read(port, buffer, static_cast<size_t>(length)); });
}

} // namespace

CReader::CReader(CSerialPort &port, ReaderClock clock)
    : m_port(port)
    , m_clock(std::move(clock))
{ }

CReader::~CReader()
{
    StopReader();
}

void CReader::ReaderThreadProc()
{
    pthread_setname_np(pthread_self(), READER_THREAD_NAME);
    LowerReaderPriority();
    m_lineErrorsChecked = {};
    m_lineErrorsPosted = {};
    char buffer[READ_BUFFER_SIZE];
    bool portLost = false;
    while (m_readerRun == 1) {
        const int port = portLost ? INVALID_PORT_HANDLE : m_port.Handle();
        bool lost = false;
        switch (WaitForInput(port)) {
        case WaitResult::PortReadable: {
            std::int32_t size = READ_BUFFER_SIZE;
            lost = !ReadChunk(port, buffer, size);
            // Errors in a chunk's bytes are reported before the chunk, so a window that has the
            // chunk has had every report that could come with it.
            if (size > 0) {
                CheckLineErrors();
                PostChunk(buffer, size);
            }
            break;
        }
        case WaitResult::PortLost:
            lost = true;
            break;
        case WaitResult::Woken:
            break;
        case WaitResult::Failed:
            return;
        }
        if (lost) {
            portLost = true;
            m_portLost = true;
            Post(new CPortLostEvent(m_run));
        }
    }
}

// Waits without a time-out. Without a port only a wake-up ends the wait. The wake-up is only
// ever sent with the run flag cleared, so it is never consumed.
CReader::WaitResult CReader::WaitForInput(int port)
{
    pollfd waits[] = {{m_wakeFd, POLLIN, 0}, {port, POLLIN, 0}};
    const nfds_t count = port == INVALID_PORT_HANDLE ? 1 : 2;
    if (RetryOnInterrupt([&] { return poll(waits, count, -1); }) < 0)
        return WaitResult::Failed;
    ++m_wakeCount;
    if (waits[0].revents != 0)
        return WaitResult::Woken;
    // A hang-up or error without data would be reported again on every wait.
    return (waits[1].revents & POLLIN) != 0 ? WaitResult::PortReadable : WaitResult::PortLost;
}

// Lets the bytes that follow gather for READ_GATHER_TIME before it looks for them: a fast line
// passes its bytes on in small pieces, and a wake-up for each would cost more than the reading.
// The whole wait for the next byte is still `milliseconds`, so a pause of the read interval
// ends the chunk as before.
bool CReader::MoreBytesWithin(int port, std::uint32_t milliseconds) const
{
    const auto gather = std::min<std::uint32_t>(
        milliseconds, static_cast<std::uint32_t>(READ_GATHER_TIME.count()));
    pollfd waits[] = {{m_wakeFd, POLLIN, 0}, {port, POLLIN, 0}};
    if (gather > 0
        && RetryOnInterrupt([&] { return poll(waits, 1, static_cast<int>(gather)); }) != 0)
        return false;
    const int ready
        = RetryOnInterrupt([&] { return poll(waits, 2, static_cast<int>(milliseconds - gather)); });
    return ready > 0 && waits[0].revents == 0 && (waits[1].revents & POLLIN) != 0;
}

// Called when the port has bytes. Reads into buffer, of `size` bytes on entry, at most size - 1
// bytes: the first ones waiting, then more as long as each comes within the read interval of
// the last, but no longer than CHUNK_HAND_OVER_TIME after the first, ending early on a stop. A
// device that never pauses for the interval would otherwise have its bytes wait until the
// buffer is full, seconds at a low speed, for the window and for the journal alike. On return
// `size` holds the number of bytes read, 0 when none were there after all. False when the port
// has hung up or failed (a hung-up terminal reads as end of file; an unplugged adapter fails
// with EIO or ENODEV); the bytes read before still go.
bool CReader::ReadChunk(int port, char *buffer, std::int32_t &size) const
{
    const std::int32_t capacity = size - 1;
    std::int32_t received = 0;
    std::chrono::steady_clock::time_point handOver;
    bool waiting = true;
    while (waiting && received < capacity) {
        const ssize_t got = ReadSome(port, buffer + received, capacity - received);
        if (got <= 0 && !(got < 0 && errno == EAGAIN)) {
            size = received;
            return false;
        }
        if (received == 0 && got > 0)
            handOver = std::chrono::steady_clock::now() + CHUNK_HAND_OVER_TIME;
        received += static_cast<std::int32_t>(std::max<ssize_t>(got, 0));
        waiting = received > 0 && MoreBytesWithin(port, WaitForMore(handOver));
    }
    size = received;
    return true;
}

// The read interval, or what is left until the chunk is handed over if that is less; 0 once it
// is due, which takes only the bytes that are there already.
std::uint32_t CReader::WaitForMore(std::chrono::steady_clock::time_point handOver) const
{
    const auto left
        = std::chrono::ceil<std::chrono::milliseconds>(handOver - std::chrono::steady_clock::now());
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(left.count(), 0, m_port.ReadIntervalTimeout()));
}

void CReader::PostChunk(const char *bytes, std::int32_t length) const
{
    Post(new CReceivedDataEvent(QByteArray(bytes, length)));
}

void CReader::Post(QEvent *event) const
{
    if (QObject *window = m_mainWindow)
        QCoreApplication::postEvent(window, event);
    else
        delete event;
}

// Counters that only grow: a change since the last post means new errors.
void CReader::CheckLineErrors()
{
    const auto now = m_clock();
    if (m_lineErrorsChecked && now - *m_lineErrorsChecked < LINE_ERROR_CHECK_PERIOD)
        return;
    m_lineErrorsChecked = now;
    const auto counts = m_port.ErrorCountsSinceOpen();
    if (!counts || *counts == m_lineErrorsPosted)
        return;
    m_lineErrorsPosted = *counts;
    Post(new CLineErrorsEvent(*counts));
}

void CReader::Wake() const
{
    const std::uint64_t one = 1;
    RetryOnInterrupt([&] { return write(m_wakeFd, &one, sizeof one); });
}

bool CReader::LaunchThread()
{
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return false;
    try {
        m_thread = std::thread(&CReader::ReaderThreadProc, this);
        return true;
    } catch (const std::system_error &) {
        close(m_wakeFd);
        m_wakeFd = -1;
        return false;
    }
}

void CReader::StartReader(QObject *mainWindow)
{
    m_mainWindow = mainWindow;
    if (m_thread.joinable())
        return;
    m_readerRun = 1;
    m_portLost = false;
    ++m_run;
    if (!LaunchThread())
        m_readerRun = 0;
}

void CReader::StopReader()
{
    m_readerRun = 0;
    if (m_thread.joinable()) {
        Wake();
        m_thread.join();
        close(m_wakeFd);
        m_wakeFd = -1;
    }
    // A lost-port event still on its way then belongs to a port that is closed.
    m_portLost = false;
    m_port.ClosePort();
}
