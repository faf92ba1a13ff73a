#pragma once

#include <string>

// Tells when a program opens the port: inotify reports every open of the slave's path under
// /dev/pts/, so the simulator can sleep while nobody has the port instead of asking over and
// over. An open only says that something may have changed; whether a program still has the port
// is what the master's hang-up tells, read after Drain(), so that an open between the two is
// never missed. Where the kernel gives no watch (its inotify instances used up), Fd() is -1.
class COpenWatch
{
public:
    explicit COpenWatch(const std::string &path);
    ~COpenWatch();
    COpenWatch(const COpenWatch &) = delete;
    COpenWatch &operator=(const COpenWatch &) = delete;

    int Fd() const { return m_fd; }
    // Takes every open reported so far.
    void Drain();

private:
    int m_fd = -1;
};
