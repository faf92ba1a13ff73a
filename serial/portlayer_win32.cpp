#include "portlayer.h"

#include "closesinflight.h"
#include "portconfig.h"

#include <memory>
#include <string>

namespace {

constexpr std::uint32_t PORT_COUNT = 16;

// What the driver is asked to hold: a fifth of a second of the fastest stream the program takes
// in (300,000 B/s), several hand-over times; and two pieces of a send.
constexpr DWORD INPUT_QUEUE_SIZE = 65536;
constexpr DWORD OUTPUT_QUEUE_SIZE = 8192;

// The gap that ends a chunk is the reader's to measure, by the same rules as on Linux, with the
// hand-over time that the system's time-outs cannot express. So a read returns at once with
// what is waiting, and the reader waits for bytes itself (readerwaits_win32.cpp).
constexpr DWORD READ_WHAT_IS_WAITING = MAXDWORD;

static_assert(PARITY_NONE == NOPARITY && PARITY_ODD == ODDPARITY && PARITY_EVEN == EVENPARITY);
static_assert(STOP_BITS_ONE == ONESTOPBIT && STOP_BITS_ONE_AND_HALF == ONE5STOPBITS
              && STOP_BITS_TWO == TWOSTOPBITS);

// "\\.\COMn", the name under which COM10 and above open too.
std::wstring DeviceName(std::uint32_t portIndex)
{
    return L"\\\\.\\COM" + std::to_wstring(portIndex + 1);
}

std::string DisplayName(std::uint32_t portIndex)
{
    return "\\\\.\\COM" + std::to_string(portIndex + 1);
}

// The state the port reported, with the fields the settings decide; the port is binary.
DCB SystemDcb(const Dcb &dcb)
{
    DCB state = dcb.portState;
    state.DCBlength = sizeof state;
    state.fBinary = TRUE;
    state.BaudRate = dcb.BaudRate;
    state.ByteSize = dcb.ByteSize;
    state.Parity = dcb.Parity;
    state.StopBits = dcb.StopBits;
    state.fOutX = dcb.fOutX;
    state.fInX = dcb.fInX;
    state.fOutxCtsFlow = dcb.fOutxCtsFlow;
    state.fOutxDsrFlow = dcb.fOutxDsrFlow;
    state.XonChar = dcb.XonChar;
    state.XoffChar = dcb.XoffChar;
    state.XonLim = dcb.XonLim;
    state.XoffLim = dcb.XoffLim;
    return state;
}

// The write time-outs as the settings give them (none: writes are bounded by the stall bound);
// the read ones as above.
COMMTIMEOUTS SystemTimeouts(const CommTimeouts &timeouts)
{
    COMMTIMEOUTS system {};
    system.ReadIntervalTimeout = READ_WHAT_IS_WAITING;
    system.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    system.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    return system;
}

// A driver that cannot run at a speed may quietly pick another; the line would then carry
// garbage, so anything but the requested speed counts as a refusal.
bool LineRunsAt(HANDLE port, std::uint32_t baudRate)
{
    DCB state {};
    state.DCBlength = sizeof state;
    return GetCommState(port, &state) && state.BaudRate == baudRate;
}

// An event of its own for each write, so that a write never takes the reader's completion.
class COverlappedWrite
{
public:
    COverlappedWrite() { m_overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~COverlappedWrite()
    {
        if (m_overlapped.hEvent)
            CloseHandle(m_overlapped.hEvent);
    }
    COverlappedWrite(const COverlappedWrite &) = delete;
    COverlappedWrite &operator=(const COverlappedWrite &) = delete;

    // The bytes the port took within the bound, or none when it failed or took nothing.
    std::optional<DWORD> Write(HANDLE port, const char *bytes, DWORD length, DWORD boundMs)
    {
        if (!m_overlapped.hEvent)
            return std::nullopt;
        ResetEvent(m_overlapped.hEvent);
        DWORD written = 0;
        if (WriteFile(port, bytes, length, &written, &m_overlapped))
            return written;
        if (GetLastError() != ERROR_IO_PENDING)
            return std::nullopt;
        if (WaitForSingleObject(m_overlapped.hEvent, boundMs) != WAIT_OBJECT_0)
            CancelIoEx(port, &m_overlapped);
        // A write cut short by the bound still says how much of it went.
        const bool done = GetOverlappedResult(port, &m_overlapped, &written, TRUE);
        if (!done && GetLastError() != ERROR_OPERATION_ABORTED)
            return std::nullopt;
        return written;
    }

private:
    OVERLAPPED m_overlapped {};
};

} // namespace

// Shared mode 0: the system keeps every other opener out, this program's other handles too.
bool CSerialPort::OpenPort(std::uint32_t portIndex)
{
    ClosePort();
    if (portIndex >= PORT_COUNT) {
        m_lastFailure = {ERROR_FILE_NOT_FOUND, {}};
        return false;
    }
    const std::string path = DisplayName(portIndex);
    if (!m_closes->WaitUntilClosed(portIndex, m_previousCloseWait)) {
        m_lastFailure = {ERROR_ACCESS_DENIED, path, std::nullopt, true};
        return false;
    }
    const HANDLE port = CreateFileW(DeviceName(portIndex).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        m_lastFailure = {static_cast<int>(GetLastError()), path};
        return false;
    }
    // Advice to the driver, which may keep its own sizes.
    SetupComm(port, INPUT_QUEUE_SIZE, OUTPUT_QUEUE_SIZE);
    m_lastFailure = {};
    m_handle = port;
    m_portIndex = portIndex;
    m_openedPath = path;
    m_countsAtOpen = m_control->ReadErrorCounts(port);
    return true;
}

bool CSerialPort::ReadState(PortState &state) const
{
    const HANDLE port = m_handle;
    state.DCBlength = sizeof state;
    return port != INVALID_PORT_HANDLE && GetCommState(port, &state);
}

// What came before the user's settings were in place was received under other settings; it is
// discarded once they are in place, since bytes go on arriving while they are applied.
bool CSerialPort::ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts)
{
    const HANDLE port = m_handle;
    if (port == INVALID_PORT_HANDLE)
        return false;
    DCB state = SystemDcb(dcb);
    COMMTIMEOUTS timeouts = SystemTimeouts(commTimeouts);
    if (!SetCommState(port, &state) || !LineRunsAt(port, dcb.BaudRate)
        || !SetCommTimeouts(port, &timeouts)) {
        ClosePort();
        return false;
    }
    PurgeComm(port, PURGE_RXCLEAR);
    m_readIntervalTimeout = commTimeouts.ReadIntervalTimeout;
    return true;
}

// The bound moves with every byte taken, so only a write that stalls fails, not a long one.
bool CSerialPort::WriteAll(PortHandle port, const char *bytes, std::int32_t length)
{
    COverlappedWrite write;
    const auto bound = static_cast<DWORD>(m_writeStallTimeout.count());
    do {
        const auto written = write.Write(port, bytes, static_cast<DWORD>(length), bound);
        if (!written || (*written == 0 && length > 0))
            return false;
        bytes += *written;
        length -= static_cast<std::int32_t>(*written);
    } while (length > 0);
    return true;
}

namespace {

// What a close on the system's thread pool needs; it owns its share of both.
struct CloseJob
{
    std::shared_ptr<CLineControl> control;
    std::shared_ptr<CClosesInFlight> closes;
    HANDLE port;
    std::uint32_t index;
};

DWORD WINAPI RunCloseJob(void *context)
{
    const std::unique_ptr<CloseJob> job(static_cast<CloseJob *>(context));
    job->control->Close(job->port);
    job->closes->End(job->index);
    return 0;
}

} // namespace

// Output still queued is dropped and flow control let go first, here, so that little is left
// to drain; CloseHandle itself runs on the system's thread pool, so no window waits for a line
// that a device holds. A detached thread of the C++ library is not used: one started right after
// another had ended was seen never to run, and the port stayed open for good. An open of the same
// port waits for the close, a bounded while.
void CSerialPort::ClosePort()
{
    const HANDLE port = m_handle.exchange(INVALID_PORT_HANDLE);
    if (port == INVALID_PORT_HANDLE)
        return;
    m_control->DiscardOutput(port);
    m_control->ReleaseFlowControl(port);
    m_closes->Begin(m_portIndex);
    auto job = std::make_unique<CloseJob>(CloseJob {m_control, m_closes, port, m_portIndex});
    if (QueueUserWorkItem(RunCloseJob, job.get(), WT_EXECUTELONGFUNCTION))
        job.release();
    else
        RunCloseJob(job.release());
}
