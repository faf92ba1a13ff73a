#include "fileio.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void IgnoreFileSizeSignal()
{
    struct sigaction current = {};
    if (sigaction(SIGXFSZ, nullptr, &current) != 0)
        return;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

int OpenLockedRegularFile(const std::string &path, int flags, off_t &length)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return -1;
    struct stat file;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        close(fd);
        return -1;
    }
    length = file.st_size;
    return fd;
}
