#pragma once

#include <atomic>
#include <cstdint>

class QObject;

// The reader thread: waits for bytes on com_handle, reads them in chunks of at most
// READ_BUFFER_SIZE - 1 bytes and posts each chunk to the main window as a CReceivedDataEvent
// (WM_RECEIVED_DATA). It touches nothing else of the program. It waits in poll() on the port
// and on a wake-up descriptor, so an idle reader costs nothing and a stop takes effect at once.
// StartReader and StopReader run on the main window's thread.

struct ReceiveMessageIds
{
    std::uint32_t receivedData;
    std::uint32_t receiveError;
};

// The reader thread's name, as thread lists (top -H, /proc/PID/task) show it.
inline constexpr const char *READER_THREAD_NAME = "orvanta-reader";

extern const ReceiveMessageIds g_receiveMessageIds;
extern std::atomic<std::int32_t> g_readerRun;
extern std::atomic<QObject *> g_hwndMain;

// The thread's body: runs while g_readerRun is 1. A port that hangs up or fails is left alone
// until the stop, so the reader neither spins on it nor posts anything from it.
void ReaderThreadProc(int wakeFd);

// Called when the port has bytes. Reads into buffer, of `size` bytes on entry, at most size - 1
// bytes: the first ones waiting, then more as long as each comes within
// g_readIntervalTimeout of the last, ending early when wakeFd is signalled. On return `size`
// holds the number of bytes read, 0 when none were there after all. False when the port has
// hung up or failed.
bool ReadChunk(int port, int wakeFd, char *buffer, std::int32_t &size);

// Starts the reader thread, posting to mainWindow. The run flag and the window are set before
// the thread starts, so it needs no time to settle. With a reader already running only the
// window changes; if no thread can be started, g_readerRun goes back to 0 and nothing is read.
void StartReader(QObject *mainWindow);

// Stops the reader thread and waits until it has ended, then closes the port, so that the
// reader never touches a descriptor number that has been reused. Harmless without a reader.
void StopReader();

// For tests: how often the reader's wait for bytes has returned since the process started.
std::uint64_t ReaderWakeCount();
