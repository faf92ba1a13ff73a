#include "logfile.h"

#include "fileio.h"
#include "logdirectory.h"

namespace {

// Written means on the disk, not only in the cache: the caller discards its copy next.
bool WriteSegments(FileHandle file, const SegmentVisitor &segments)
{
    bool ok = true;
    if (segments) {
        const bool handedOver = segments([&](const char *data, std::size_t length) {
            ok = ok && AppendAll(file, data, length);
            return ok;
        });
        ok = ok && handedOver;
    }
    return ok && SyncFile(file);
}

} // namespace

LogWriteResult AppendToLogFile(const std::string &path, const SegmentVisitor &segments)
{
    IgnoreFileSizeSignal();
    std::uint64_t earlierLength = 0;
    const FileHandle file
        = OpenLockedRegularFile(path, OPEN_CREATING | OPEN_APPENDING, earlierLength);
    if (file == NO_FILE)
        return LogWriteResult::OpenFailed;
    LogWriteResult result = LogWriteResult::Written;
    if (!WriteSegments(file, segments)) {
        TruncateFile(file, earlierLength);
        result = LogWriteResult::WriteFailed;
    }
    // The sync has reported every error of the writes; closing releases the hold.
    CloseFile(file);
    return result;
}

LogWriteResult AppendToLog(std::uint32_t portIndex, const SegmentVisitor &segments)
{
    const std::string path = LogFileName(portIndex);
    // A directory that cannot be made shows as a failed open of the file inside it.
    EnsureDirectory(LOG_DIRECTORY);
    return AppendToLogFile(path, segments);
}
