#pragma once

#include "linecontrol.h"

#include <cstdint>

// Where the reader's messages go, called on the reader's thread in the order the reader sends
// them: every chunk read from a port comes before the report that the port is lost. On Linux the
// main window's events (receivemessages.h) carry them to the window's thread.
class CReceiveSink
{
public:
    virtual ~CReceiveSink() = default;

    // 1 to READ_BUFFER_SIZE - 1 bytes, the reader's own again once the call returns.
    virtual void ChunkReceived(const char *bytes, std::int32_t length) = 0;
    // The port hung up or failed, found by reader run `readerRun`; said once per run.
    virtual void PortLost(std::uint64_t readerRun) = 0;
    // The line error counts since the port opened, when they have changed.
    virtual void LineErrorsChanged(const LineErrorCounts &counts) = 0;
};
