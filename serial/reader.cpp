#include "reader.h"

#include "frameparser.h"
#include "portlayer.h"
#include "receivemessages.h"
#include "retryoninterrupt.h"

#include <QCoreApplication>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

const ReceiveMessageIds g_receiveMessageIds = {WM_RECEIVED_DATA, WM_RECEIVE_ERROR};
std::atomic<std::int32_t> g_readerRun {0};
std::atomic<QObject *> g_hwndMain {nullptr};

namespace {

// Below the window's thread, so that drawing keeps precedence; the reader needs little time.
constexpr int READER_NICE_INCREMENT = 2;

std::thread g_readerThread;
int g_readerWakeFd = -1;
std::atomic<std::uint64_t> g_readerWakeCount {0};

enum class WaitResult { PortReadable, PortLost, Woken, Failed };

void LowerReaderPriority()
{
    const pid_t thread = gettid();
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (niceness == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, thread, niceness + READER_NICE_INCREMENT);
}

// Waits without a time-out. Without a port only a wake-up ends the wait. The wake-up is only
// ever sent with g_readerRun cleared, so it is never consumed.
WaitResult WaitForInput(int port, int wakeFd)
{
    pollfd waits[] = {{wakeFd, POLLIN, 0}, {port, POLLIN, 0}};
    const nfds_t count = port == INVALID_PORT_HANDLE ? 1 : 2;
    if (RetryOnInterrupt([&] { return poll(waits, count, -1); }) < 0)
        return WaitResult::Failed;
    ++g_readerWakeCount;
    if (waits[0].revents != 0)
        return WaitResult::Woken;
    // A hang-up or error without data would be reported again on every wait.
    return (waits[1].revents & POLLIN) != 0 ? WaitResult::PortReadable : WaitResult::PortLost;
}

bool MoreBytesWithin(int port, int wakeFd, std::uint32_t milliseconds)
{
    pollfd waits[] = {{wakeFd, POLLIN, 0}, {port, POLLIN, 0}};
    const int ready
        = RetryOnInterrupt([&] { return poll(waits, 2, static_cast<int>(milliseconds)); });
    return ready > 0 && waits[0].revents == 0 && (waits[1].revents & POLLIN) != 0;
}

ssize_t ReadSome(int port, char *buffer, std::int32_t length)
{
    return RetryOnInterrupt([&] { return read(port, buffer, static_cast<size_t>(length)); });
}

void PostChunk(const char *bytes, std::int32_t length)
{
    if (QObject *window = g_hwndMain)
        QCoreApplication::postEvent(window, new CReceivedDataEvent(QByteArray(bytes, length)));
}

void WakeReader()
{
    const std::uint64_t one = 1;
    RetryOnInterrupt([&] { return write(g_readerWakeFd, &one, sizeof one); });
}

bool LaunchReaderThread()
{
    g_readerWakeFd = eventfd(0, EFD_CLOEXEC);
    if (g_readerWakeFd < 0)
        return false;
    try {
        g_readerThread = std::thread(ReaderThreadProc, g_readerWakeFd);
        return true;
    } catch (const std::system_error &) {
        close(g_readerWakeFd);
        g_readerWakeFd = -1;
        return false;
    }
}

} // namespace

void ReaderThreadProc(int wakeFd)
{
    pthread_setname_np(pthread_self(), READER_THREAD_NAME);
    LowerReaderPriority();
    char buffer[READ_BUFFER_SIZE];
    bool portLost = false;
    while (g_readerRun == 1) {
        const int port = portLost ? INVALID_PORT_HANDLE : com_handle.load();
        switch (WaitForInput(port, wakeFd)) {
        case WaitResult::PortReadable: {
            std::int32_t size = READ_BUFFER_SIZE;
            if (!ReadChunk(port, wakeFd, buffer, size))
                portLost = true;
            else if (size > 0)
                PostChunk(buffer, size);
            break;
        }
        case WaitResult::PortLost:
            portLost = true;
            break;
        case WaitResult::Woken:
            break;
        case WaitResult::Failed:
            return;
        }
    }
}

bool ReadChunk(int port, int wakeFd, char *buffer, std::int32_t &size)
{
    const std::int32_t capacity = size - 1;
    const ssize_t first = ReadSome(port, buffer, capacity);
    // The descriptor is non-blocking while a write is under way; then a read can find nothing.
    if (first < 0 && errno == EAGAIN) {
        size = 0;
        return true;
    }
    // End of file: the line has hung up.
    if (first <= 0)
        return false;

    std::int32_t received = static_cast<std::int32_t>(first);
    while (received < capacity && MoreBytesWithin(port, wakeFd, g_readIntervalTimeout)) {
        const ssize_t more = ReadSome(port, buffer + received, capacity - received);
        // A failure is seen again, and handled, on the next pass; the bytes so far still go.
        if (more <= 0)
            break;
        received += static_cast<std::int32_t>(more);
    }
    size = received;
    return true;
}

void StartReader(QObject *mainWindow)
{
    g_hwndMain = mainWindow;
    if (g_readerThread.joinable())
        return;
    g_readerRun = 1;
    if (!LaunchReaderThread())
        g_readerRun = 0;
}

void StopReader()
{
    g_readerRun = 0;
    if (g_readerThread.joinable()) {
        WakeReader();
        g_readerThread.join();
        close(g_readerWakeFd);
        g_readerWakeFd = -1;
    }
    ClosePort();
}

std::uint64_t ReaderWakeCount()
{
    return g_readerWakeCount;
}
