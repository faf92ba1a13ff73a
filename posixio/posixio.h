#pragma once

#include <cerrno>
#include <cstddef>
#include <sys/types.h>

// The system-call loops that the port, the settings file, the log and the journal share: a call
// that a signal interrupted is repeated, and a transfer goes on until every byte is through.

// Repeats a system call that a signal interrupted; any other result, errno included, is the
// caller's.
template<typename Call> auto RetryOnInterrupt(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

// Writes every byte, however many calls it takes; false as soon as one write fails. For a
// descriptor that blocks: on a non-blocking one a full buffer counts as a failure.
bool WriteAll(int fd, const void *data, std::size_t length);

// Reads until `size` bytes have come or the file ends; how many came, -1 when a read fails.
ssize_t ReadUpTo(int fd, void *buffer, std::size_t size);
