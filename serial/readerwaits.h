#pragma once

#include "portsystem.h"

#include <cstdint>
#include <memory>
#include <optional>

// The reader's waits and reads on the system, one kind per system; the rules that make chunks of
// what they read are the reader's own, the same on both. Each wait also ends at a wake-up, which
// is only ever sent to stop the reader, so a stop takes effect at once.

enum class ReadEnd {
    // The port works; the bytes read, if any, follow.
    Open,
    // The port hung up or failed (an unplugged adapter); the bytes read before still count.
    Lost,
    // The wait itself failed; the reader cannot go on.
    Failed,
};

struct ReadResult
{
    std::int32_t bytes = 0;
    ReadEnd end = ReadEnd::Open;
};

class CReaderWaits
{
public:
    virtual ~CReaderWaits() = default;

    // Reads up to `length` bytes into buffer: those waiting, or else the first ones to come
    // within `milliseconds`, without end when none is given. 0 bytes when none came in time or
    // the reader was woken.
    virtual ReadResult ReadWithin(PortHandle port, char *buffer, std::int32_t length,
                                  std::optional<std::uint32_t> milliseconds)
        = 0;
    // Waits for nothing but the wake-up; false when the wait failed.
    virtual bool WaitUntilWoken() = 0;
    // Ends the wait under way and every later one; called from another thread.
    virtual void Wake() = 0;
};

// None when the system has no wake-up to give.
std::unique_ptr<CReaderWaits> MakeReaderWaits();

// Names the calling thread READER_THREAD_NAME and puts it below the window's thread, so that
// drawing keeps precedence; the reader needs little time.
void PrepareReaderThread(const char *name);
