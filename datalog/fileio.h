#pragma once

#include <cerrno>
#include <cstddef>

// Plain file operations that the log and the journal share.

// Repeats a system call that a signal interrupted; any other result, errno included, is the
// caller's.
template<typename Call> auto RetryOnEintr(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result == -1 && errno == EINTR);
    return result;
}

// Writes every byte, however many calls it takes; false as soon as one write fails.
bool WriteAll(int fd, const char *data, std::size_t length);

// Past a file size limit the kernel sends SIGXFSZ, whose default action ends the process and
// with it the received text. Ignored, the write fails with EFBIG instead, which the writer
// handles like any other failed write. A handler that the program installed stays in place.
void IgnoreFileSizeSignal();
