#include "reader.h"

#include "frameparser.h"
#include "portlayer.h"
#include "receivesink.h"

#include <algorithm>
#include <system_error>

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
    PrepareReaderThread(READER_THREAD_NAME);
    m_lineErrorsChecked = {};
    m_lineErrorsPosted = {};
    char buffer[READ_BUFFER_SIZE];
    bool portLost = false;
    while (m_readerRun == 1) {
        const PortHandle port = portLost ? INVALID_PORT_HANDLE : m_port.Handle();
        // Without a port only a wake-up ends the wait.
        if (port == INVALID_PORT_HANDLE) {
            if (!m_waits->WaitUntilWoken())
                return;
            ++m_wakeCount;
            continue;
        }
        std::int32_t size = READ_BUFFER_SIZE;
        const ReadEnd end = ReadChunk(port, buffer, size);
        if (end == ReadEnd::Failed)
            return;
        // Errors in a chunk's bytes are reported before the chunk, so a window that has the
        // chunk has had every report that could come with it.
        if (size > 0) {
            CheckLineErrors();
            if (CReceiveSink *destination = m_destination)
                destination->ChunkReceived(buffer, size);
        }
        if (end == ReadEnd::Lost) {
            portLost = true;
            m_portLost = true;
            if (CReceiveSink *destination = m_destination)
                destination->PortLost(m_run);
        }
    }
}

// Reads into buffer, of `size` bytes on entry, at most size - 1 bytes: waits for the first ones,
// then reads more as long as each comes within the read interval of the last, but no longer
// than CHUNK_HAND_OVER_TIME after the first, ending early on a stop. A device that never pauses
// for the interval would otherwise have its bytes wait until the buffer is full, seconds at a
// low speed, for the window and for the journal alike. On return `size` holds the number of
// bytes read, 0 when none came after all; the bytes read before a port was lost still go.
ReadEnd CReader::ReadChunk(PortHandle port, char *buffer, std::int32_t &size)
{
    const std::int32_t capacity = size - 1;
    ReadResult got = m_waits->ReadWithin(port, buffer, capacity, std::nullopt);
    ++m_wakeCount;
    const auto handOver = std::chrono::steady_clock::now() + CHUNK_HAND_OVER_TIME;
    std::int32_t received = got.bytes;
    while (got.end == ReadEnd::Open && got.bytes > 0 && received < capacity) {
        got = m_waits->ReadWithin(port, buffer + received, capacity - received,
                                  WaitForMore(handOver));
        received += got.bytes;
    }
    size = received;
    return got.end;
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

// Counters that only grow: a change since the last report means new errors.
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
    if (CReceiveSink *destination = m_destination)
        destination->LineErrorsChanged(*counts);
}

bool CReader::LaunchThread()
{
    m_waits = MakeReaderWaits();
    if (!m_waits)
        return false;
    try {
        m_thread = std::thread(&CReader::ReaderThreadProc, this);
        return true;
    } catch (const std::system_error &) {
        m_waits.reset();
        return false;
    }
}

void CReader::StartReader(CReceiveSink *destination)
{
    m_destination = destination;
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
        m_waits->Wake();
        m_thread.join();
        m_waits.reset();
    }
    // A lost-port report still on its way then belongs to a port that is closed.
    m_portLost = false;
    m_port.ClosePort();
}
