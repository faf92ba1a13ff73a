// The least a program can do with a serial line: open the terminal raw and read() it in a loop
// into one buffer, keeping nothing. The harness runs it beside Orvanta on a line of its own fed
// at the same rate, so that Orvanta's processor time per megabyte has its floor from the same
// run. Ends on SIGTERM or SIGINT and prints how many bytes it read.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Stop(int)
{
    g_stop = 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TERMINAL\n", argv[0]);
        return 2;
    }
    // Without SA_RESTART, so that the signal ends a read that is waiting.
    struct sigaction stop = {};
    stop.sa_handler = Stop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    const int fd = open(argv[1], O_RDONLY | O_NOCTTY | O_CLOEXEC);
    termios mode {};
    if (fd < 0 || tcgetattr(fd, &mode) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    cfmakeraw(&mode);
    tcsetattr(fd, TCSANOW, &mode);

    char buffer[4096];
    std::uint64_t total = 0;
    while (!g_stop) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0)
            total += static_cast<std::uint64_t>(got);
        else if (got == 0 || errno != EINTR)
            break;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(total));
    return 0;
}
