#include "replaystream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

std::system_error FileError(int error, const std::string &path)
{
    return std::system_error(error, std::generic_category(), "cannot replay " + path);
}

} // namespace

CReplayStream::CReplayStream(const std::string &path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw FileError(errno, path);
    struct stat status = {};
    if (::fstat(m_fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        ::close(m_fd);
        throw FileError(error, path);
    }
    m_size = static_cast<std::uint64_t>(status.st_size);
}

CReplayStream::~CReplayStream()
{
    ::close(m_fd);
}

void CReplayStream::AppendBytes(std::string &out, std::size_t count)
{
    const std::size_t start = out.size();
    out.resize(start + count);
    std::size_t filled = 0;
    while (filled < count && !m_atEnd) {
        const ssize_t got = ::read(m_fd, out.data() + start + filled, count - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            out.resize(start + filled);
            throw std::system_error(error, std::generic_category(), "cannot read the replay file");
        }
        m_atEnd = got == 0;
        filled += static_cast<std::size_t>(got);
    }
    out.resize(start + filled);
}
