#pragma once

#include "linecontrol.h"
#include "portsystem.h"
#include "readerwaits.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class CReceiveSink;
class CSerialPort;

// The reader thread: waits for bytes on the port, reads them in chunks of at most
// READ_BUFFER_SIZE - 1 bytes, each ended by a pause of the read interval or by
// CHUNK_HAND_OVER_TIME after its first byte, and hands each chunk to its destination (on Linux
// the main window, as a CReceivedDataEvent). These rules are the same on both systems; only the
// waits and reads they are made of are each system's (readerwaits.h). On Linux it lets the bytes
// of a chunk gather for a few milliseconds between reads, so that a fast line costs a few
// wake-ups a chunk, not one for every piece the driver passes on. A port that hangs up or fails
// (an unplugged adapter) is reported once and waited on no more. While bytes arrive, it looks at
// the driver's line error counts at most once a LINE_ERROR_CHECK_PERIOD and reports them when
// they have changed. It touches nothing else of the program. It waits on the port and on a
// wake-up together (poll() on Linux, WaitForMultipleObjects() on Windows), so an idle reader
// costs nothing and a stop takes effect at once. StartReader and StopReader run on the main
// window's thread.

// The reader thread's name, as thread lists (top -H, /proc/PID/task) show it.
inline constexpr const char *READER_THREAD_NAME = "orvanta-reader";

inline constexpr std::chrono::seconds LINE_ERROR_CHECK_PERIOD {1};
// The longest a chunk's first byte waits for the rest before the chunk goes to the window.
inline constexpr std::chrono::milliseconds CHUNK_HAND_OVER_TIME {50};

// What the reader takes the time from for its look at the line errors; tests set the time.
using ReaderClock = std::function<std::chrono::steady_clock::time_point()>;

class CReader
{
public:
    explicit CReader(CSerialPort &port, ReaderClock clock = std::chrono::steady_clock::now);
    // Stops the thread and closes the port, as StopReader does.
    ~CReader();
    CReader(const CReader &) = delete;
    CReader &operator=(const CReader &) = delete;

    // Starts the reader thread, reporting to destination. The run flag and the destination are
    // set before the thread starts, so it needs no time to settle. With a reader already
    // running only the destination changes; if no thread can be started, the reader stays
    // stopped.
    void StartReader(CReceiveSink *destination);

    // Stops the reader thread and waits until it has ended, then closes the port, so that the
    // reader never touches a handle that has been reused. Harmless without a reader.
    void StopReader();

    bool Running() const { return m_readerRun == 1; }
    // Whether the running reader has found its port hung up or failed; false once it stops.
    bool PortLost() const { return m_portLost; }
    // Whether a lost-port event of reader run `run` is about the port being read now.
    bool LostNow(std::uint64_t run) const { return Running() && run == m_run && m_portLost; }
    // How often the reader's wait for bytes has returned since it was made.
    std::uint64_t WakeCount() const { return m_wakeCount; }

private:
    void ReaderThreadProc();
    ReadEnd ReadChunk(PortHandle port, char *buffer, std::int32_t &size);
    std::uint32_t WaitForMore(std::chrono::steady_clock::time_point handOver) const;
    void CheckLineErrors();
    bool LaunchThread();

    CSerialPort &m_port;
    const ReaderClock m_clock;
    std::thread m_thread;
    std::unique_ptr<CReaderWaits> m_waits;
    std::atomic<std::int32_t> m_readerRun {0};
    std::atomic<CReceiveSink *> m_destination {nullptr};
    std::atomic<std::uint64_t> m_wakeCount {0};
    std::atomic<bool> m_portLost {false};
    std::atomic<std::uint64_t> m_run {0};
    // The reader thread's own; none before the first look.
    std::optional<std::chrono::steady_clock::time_point> m_lineErrorsChecked;
    LineErrorCounts m_lineErrorsPosted;
};
