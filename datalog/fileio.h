#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <sys/types.h>

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

// Opens `path` with `flags` plus O_CLOEXEC and O_NONBLOCK (a FIFO in the file's place must not
// hold the window), takes the exclusive lock that keeps a second writer out, and refuses anything
// that is not a regular file. Gives the file's length before anything is written; -1 when any
// of it fails.
int OpenLockedRegularFile(const std::string &path, int flags, off_t &length);
