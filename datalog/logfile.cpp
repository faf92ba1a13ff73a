#include "logfile.h"

#include "fileio.h"
#include "logdirectory.h"
#include "posixio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Written means on the disk, not only in the page cache: the caller discards its copy next.
bool WriteSegments(int fd, const SegmentVisitor &segments)
{
    bool ok = true;
    if (segments) {
        const bool handedOver = segments([&](const char *data, std::size_t length) {
            ok = ok && WriteAll(fd, data, length);
            return ok;
        });
        ok = ok && handedOver;
    }
    return ok && RetryOnInterrupt([&] { return fsync(fd); }) == 0;
}

} // namespace

LogWriteResult AppendToLogFile(const std::string &path, const SegmentVisitor &segments)
{
    IgnoreFileSizeSignal();
    off_t earlierLength = 0;
    const int fd = OpenLockedRegularFile(path, O_WRONLY | O_CREAT | O_APPEND, earlierLength);
    if (fd < 0)
        return LogWriteResult::OpenFailed;
    LogWriteResult result = LogWriteResult::Written;
    if (!WriteSegments(fd, segments)) {
        RetryOnInterrupt([&] { return ftruncate(fd, earlierLength); });
        result = LogWriteResult::WriteFailed;
    }
    // fsync has reported every error of the writes; closing releases the lock.
    close(fd);
    return result;
}

LogWriteResult AppendToLog(std::uint32_t portIndex, const SegmentVisitor &segments)
{
    const std::string path = LogFileName(portIndex);
    // A directory that cannot be made shows as a failed open of the file inside it.
    EnsureDirectory(LOG_DIRECTORY);
    return AppendToLogFile(path, segments);
}
