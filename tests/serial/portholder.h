#pragma once

#include <gtest/gtest.h>

#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// Another program holding a port: a child process named "portholder" that opens the path (and
// flocks it, if asked; or only names it, with O_PATH) and holds it until this object goes. It
// closes the descriptors it was forked with.
class CPortHolder
{
public:
    enum class Open { ForReading, PathOnly };

    CPortHolder(const std::string &path, bool lock, Open how = Open::ForReading)
    {
        int link[2] = {-1, -1};
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, link), 0);
        m_pid = fork();
        if (m_pid == 0) {
            close(link[0]); // so that the read below ends when the test closes its end
            close_range(3, link[1] - 1, 0);
            close_range(link[1] + 1, ~0u, 0);
            prctl(PR_SET_NAME, "portholder");
            const int fd = open(path.c_str(),
                                how == Open::PathOnly ? O_PATH : O_RDWR | O_NOCTTY | O_NONBLOCK);
            char byte = fd >= 0 && (!lock || flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
            if (write(link[1], &byte, 1) == 1)
                static_cast<void>(read(link[1], &byte, 1));
            _exit(0);
        }
        close(link[1]);
        m_release = link[0];
        char byte = 0;
        EXPECT_TRUE(read(m_release, &byte, 1) == 1 && byte == 'y') << "the child holds " << path;
    }
    ~CPortHolder()
    {
        close(m_release);
        waitpid(m_pid, nullptr, 0);
    }
    CPortHolder(const CPortHolder &) = delete;
    CPortHolder &operator=(const CPortHolder &) = delete;

    pid_t Pid() const { return m_pid; }
    // The box's paragraph that names this holder.
    std::string BusyText() const
    {
        return "portholder (プロセスID " + std::to_string(m_pid) + ") がポートを使用中です。";
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
};
