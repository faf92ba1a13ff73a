#include "posixio.h"

#include <unistd.h>

bool WriteAll(int fd, const void *data, std::size_t length)
{
    const char *bytes = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t written = RetryOnInterrupt([&] { return write(fd, bytes, length); });
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

ssize_t ReadUpTo(int fd, void *buffer, std::size_t size)
{
    char *bytes = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = RetryOnInterrupt([&] { return read(fd, bytes + done, size - done); });
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}
