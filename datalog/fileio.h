#pragma once

#include <string>
#include <sys/types.h>

// Plain file operations that the log and the journal share.

// Past a file size limit the kernel sends SIGXFSZ, whose default action ends the process and
// with it the received text. Ignored, the write fails with EFBIG instead, which the writer
// handles like any other failed write. A handler that the program installed stays in place.
void IgnoreFileSizeSignal();

// Opens `path` with `flags` plus O_CLOEXEC and O_NONBLOCK (a FIFO in the file's place must not
// hold the window), takes the exclusive lock that keeps a second writer out, and refuses anything
// that is not a regular file. Gives the file's length before anything is written; -1 when any
// of it fails.
int OpenLockedRegularFile(const std::string &path, int flags, off_t &length);
