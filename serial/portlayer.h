#pragma once

#include "linecontrol.h"
#include "openfailure.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class CClosesInFlight;
struct CommTimeouts;
struct Dcb;
struct PortSettings;

// The serial port: opened by name "COMn", configured from the settings it is given, written to
// and closed. The main window owns one; it is opened, configured and closed on the window's
// thread, and only while the reader is stopped. The reader reads the handle and the read
// interval; sending writes on the window's thread.
//
// On Linux the descriptor is non-blocking for its whole life: the reader waits in poll() and a
// write waits in poll() with a bound, so no thread ever changes the mode under the other. On
// Windows the handle is opened for overlapped use, so the reader's wait and a write never hold
// each other up, and each waits with a bound or a stop of its own.

// How long a write may go without the port taking a byte (output held by XOFF or CTS, or a
// device that stopped reading) before it counts as failed.
inline constexpr int WRITE_STALL_TIMEOUT_MS = 5000;

// How long an open waits for this program's previous close of the same device, which may still
// wait for its output to drain, before it reports the port as busy.
inline constexpr int PREVIOUS_CLOSE_WAIT_MS = 1000;

class CSerialPort
{
public:
    explicit CSerialPort(std::shared_ptr<CLineControl> control = SystemLineControl());
    ~CSerialPort();
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Opens port portIndex (0 is "COM1") exclusively and raw; a port still open is closed first.
    // False when the port is missing, held by another program (a descriptor of another process,
    // a lock file of another program, a lock, or exclusive use), still closing from this
    // program's previous open after the wait, or portIndex is outside 0..15; LastFailure() then
    // says why. On Linux, while the port is open its lock file (see portholders.h) names this
    // process; on Windows the system keeps every other opener out.
    bool OpenPort(std::uint32_t portIndex);
    // The wait for a previous close of later opens; PREVIOUS_CLOSE_WAIT_MS until set. Tests
    // shorten it.
    void SetPreviousCloseWait(std::chrono::milliseconds bound) { m_previousCloseWait = bound; }

    // Reads the port's state into dcb, then maps settings into dcb and fills commTimeouts.
    // Returns false when the state could not be read (anything that is not a terminal or a
    // communications device); the port then stays open and commTimeouts unchanged.
    bool ApplyPortSettings(const PortSettings &settings, Dcb &dcb, CommTimeouts &commTimeouts);

    // Applies both to the port, then discards what was received before; on failure closes the
    // port itself. Fails with no port open, for a framing the line cannot carry, and for a speed
    // the driver refuses or changes.
    bool ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts);

    // Raises DTR, then RTS. Ports without modem lines refuse, which is of no consequence.
    void RaiseModemLines();

    // Writes all `length` bytes, however many partial writes it takes. False with no port open,
    // when the port fails, or when it takes nothing for the stall bound; the bytes still queued
    // then are dropped where the driver allows, so they do not go out later. A write of 0 bytes
    // succeeds on a port that still works.
    bool WritePort(const char *bytes, std::int32_t length);
    // The stall bound of later writes; WRITE_STALL_TIMEOUT_MS until set. Tests shorten it.
    void SetWriteStallTimeout(std::chrono::milliseconds bound) { m_writeStallTimeout = bound; }

    // Closes the port if one is open; harmless when none is. Returns at once whatever the
    // line's flow state: the handle itself is closed on a thread of its own, and an open of
    // the same device waits for that close, at most for the previous close's wait.
    void ClosePort();

    // The line errors the driver has counted since the port opened; none where the driver
    // keeps no counters or no port is open. Called by the reader.
    std::optional<LineErrorCounts> ErrorCountsSinceOpen() const;

    bool IsOpen() const { return m_handle != INVALID_PORT_HANDLE; }
    // The path the port was last opened at.
    const std::string &OpenedPath() const { return m_openedPath; }
    PortHandle Handle() const { return m_handle; }
    // The gap in milliseconds that ends a read once bytes have come.
    std::uint32_t ReadIntervalTimeout() const { return m_readIntervalTimeout; }
    const OpenFailure &LastFailure() const { return m_lastFailure; }

private:
    // Linux: who else holds the device, and this program's lock file.
    OpenFailure ClaimDevice(const std::string &path);
    bool ReadState(PortState &state) const;
    // All `length` bytes, or false; the port is open.
    bool WriteAll(PortHandle port, const char *bytes, std::int32_t length);

    std::shared_ptr<CLineControl> m_control;
    std::shared_ptr<CClosesInFlight> m_closes;
    std::chrono::milliseconds m_previousCloseWait {PREVIOUS_CLOSE_WAIT_MS};
    // Linux only: the lock file that names this process while the port is open.
    std::filesystem::path m_lockFile;
    std::atomic<PortHandle> m_handle {INVALID_PORT_HANDLE};
    std::optional<LineErrorCounts> m_countsAtOpen;
    std::atomic<std::uint32_t> m_readIntervalTimeout {20};
    std::chrono::milliseconds m_writeStallTimeout {WRITE_STALL_TIMEOUT_MS};
    OpenFailure m_lastFailure;
    std::string m_openedPath;
    // The port last opened (0 is "COM1").
    std::uint32_t m_portIndex = 0;
};
