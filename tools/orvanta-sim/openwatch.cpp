#include "openwatch.h"

#include <cerrno>
#include <climits>
#include <sys/inotify.h>
#include <unistd.h>

COpenWatch::COpenWatch(const std::string &path)
{
    m_fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_fd < 0)
        return;
    if (::inotify_add_watch(m_fd, path.c_str(), IN_OPEN) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

COpenWatch::~COpenWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void COpenWatch::Drain()
{
    if (m_fd < 0)
        return;
    alignas(inotify_event) char events[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t got = ::read(m_fd, events, sizeof events);
        if (got <= 0 && !(got < 0 && errno == EINTR))
            return;
    }
}
