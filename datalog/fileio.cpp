#include "fileio.h"

#include <csignal>
#include <unistd.h>

bool WriteAll(int fd, const char *data, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = RetryOnEintr([&] { return write(fd, data, length); });
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

void IgnoreFileSizeSignal()
{
    struct sigaction current = {};
    if (sigaction(SIGXFSZ, nullptr, &current) != 0)
        return;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}
