#pragma once

#include <atomic>
#include <cstdint>

class QObject;

// The reader thread: waits for bytes on com_handle, reads them in chunks of at most
// READ_BUFFER_SIZE - 1 bytes and posts each chunk to the main window as a WM_RECEIVED_DATA
// event. It touches nothing else of the program.

struct ReceiveMessageIds
{
    std::uint32_t receivedData;
    std::uint32_t receiveError;
};

extern const ReceiveMessageIds g_receiveMessageIds;
extern std::atomic<std::int32_t> g_readerRun;
extern std::atomic<QObject *> g_hwndMain;

// Starts the reader thread, posting to mainWindow.
void StartReader(QObject *mainWindow);

// Stops the reader thread and waits until it has ended, then closes the port, so that the
// reader never touches a descriptor number that has been reused.
void StopReader();
