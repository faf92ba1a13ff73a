#include "recordingfile.h"

#include "texts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CRecordingFile::~CRecordingFile()
{
    Close();
}

// A FIFO's open would wait for a writer, so the open does not wait: nothing blocks before the
// file is looked at. A folder opens but cannot be read.
bool CRecordingFile::Open(const std::string &path, std::string &reason)
{
    m_handle = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status = {};
    const bool opened = IsOpen() && fstat(static_cast<int>(m_handle), &status) == 0;
    if (opened && S_ISREG(status.st_mode))
        return true;
    reason = !opened              ? std::strerror(errno)
        : S_ISDIR(status.st_mode) ? std::strerror(EISDIR)
                                  : Strings::LOG_NOT_A_FILE;
    Close();
    return false;
}

std::int64_t CRecordingFile::Size() const
{
    struct stat status = {};
    if (!IsOpen() || fstat(static_cast<int>(m_handle), &status) != 0)
        return -1;
    return status.st_size;
}

std::int64_t CRecordingFile::ReadAt(char *data, std::size_t length, std::int64_t offset) const
{
    ssize_t got;
    do
        got = pread(static_cast<int>(m_handle), data, length, offset);
    while (got < 0 && errno == EINTR);
    return got;
}

void CRecordingFile::Close()
{
    if (IsOpen())
        close(static_cast<int>(m_handle));
    m_handle = CLOSED;
}
