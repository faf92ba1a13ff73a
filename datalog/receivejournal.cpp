#include "receivejournal.h"

#include "fileio.h"
#include "logdirectory.h"
#include "posixio.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

bool SyncData(int fd)
{
    return RetryOnInterrupt([&] { return fdatasync(fd); }) == 0;
}

// Emptied means on the disk too: a journal that came back after a power cut with bytes that
// are already in a log would put them there twice.
bool EmptyFile(int fd)
{
    return RetryOnInterrupt([&] { return ftruncate(fd, 0); }) == 0 && SyncData(fd);
}

// Locked against other runs and a regular file (OpenLockedRegularFile); O_NOFOLLOW keeps a link
// in the journal's place from sending the bytes elsewhere.
int OpenJournalFile(const std::string &path, int flags, off_t &length)
{
    return OpenLockedRegularFile(path, flags | O_NOFOLLOW, length);
}

// Reads exactly `length` bytes at `offset`; false when the file fails or is shorter.
bool ReadExactly(int fd, std::uint64_t offset, char *buffer, std::size_t length)
{
    while (length > 0) {
        const ssize_t got = RetryOnInterrupt(
            [&] { return pread(fd, buffer, length, static_cast<off_t>(offset)); });
        if (got <= 0)
            return false;
        buffer += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

// A journal with bytes in it that cannot be opened for writing (a read-only file, taken over
// from another machine or user) is left behind all the same; a run that holds it would hold its
// lock, which a look for reading could not then take.
bool HasLeftoverThatCannotBeTaken(const std::string &path)
{
    struct stat file
    {
    };
    if (lstat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_size == 0)
        return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return true;
    const bool heldByAnotherRun = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return !heldByAnotherRun;
}

} // namespace

CReceiveJournal::CReceiveJournal(const std::string &directory,
                                 std::chrono::milliseconds flushPeriod)
    : m_directory(directory)
    , m_path(directory + '/' + JOURNAL_FILE_NAME)
    , m_flushPeriod(flushPeriod)
{ }

CReceiveJournal::~CReceiveJournal()
{
    Close();
}

JournalRecovery CReceiveJournal::Recover(const std::string &logPath)
{
    if (IsOpen())
        return JournalRecovery::Nothing;
    // A journal locked by another run is that run's own, not one left behind.
    off_t length = 0;
    const int fd = OpenJournalFile(m_path, O_RDWR, length);
    if (fd < 0)
        return HasLeftoverThatCannotBeTaken(m_path) ? JournalRecovery::Failed
                                                    : JournalRecovery::Nothing;
    // Locked, the journal and its record are this run's to mend.
    const std::string recordPath = m_directory + '/' + CLEAR_RECORD_FILE_NAME;
    UndoUnfinishedCopy(m_path, recordPath);
    JournalRecovery result = JournalRecovery::Nothing;
    // Moved as a clear moves it: a kill on the way leaves either the journal whole or a record
    // from which the next start mends the log, never its bytes twice.
    if (length > 0) {
        if (RenameJournalToLog(m_path, logPath)) {
            result = JournalRecovery::Recovered;
        } else {
            const MoveResult moved = CopyJournalIntoLog(fd, static_cast<std::uint64_t>(length),
                                                        logPath, recordPath, {});
            result = moved == MoveResult::Copied || moved == MoveResult::Renamed
                ? JournalRecovery::Recovered
                : JournalRecovery::Failed;
        }
    }
    close(fd);
    return result;
}

bool CReceiveJournal::Open()
{
    if (IsOpen())
        return true;
    IgnoreFileSizeSignal();
    EnsureDirectory(m_directory);
    off_t length = 0;
    const int fd = OpenJournalFile(m_path, O_RDWR | O_CREAT | O_APPEND, length);
    if (fd < 0)
        return false;
    if (length != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    m_written = 0;
    if (!StartWriter()) {
        close(m_fd);
        m_fd = -1;
        return false;
    }
    std::lock_guard queue(m_queueMutex);
    m_accepting = true;
    return true;
}

bool CReceiveJournal::StartWriter()
{
    m_stopping = false;
    try {
        m_writer = std::thread(&CReceiveJournal::WriterLoop, this);
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}

std::optional<LogWriteResult> CReceiveJournal::MoveIntoLog(const std::string &logPath,
                                                           std::uint64_t length,
                                                           const CopyProgress &progress)
{
    m_moved.reset();
    if (!IsOpen() || !Flush() || m_written != length)
        return std::nullopt;
    StopWriter();
    if (RenameJournalToLog(m_path, logPath)) {
        m_moved = MoveResult::Renamed;
        if (progress)
            progress(length, length);
        return LogWriteResult::Written;
    }
    m_moved = CopyJournalIntoLog(m_fd, length, logPath, m_directory + '/' + CLEAR_RECORD_FILE_NAME,
                                 progress);
    switch (*m_moved) {
    case MoveResult::Renamed:
    case MoveResult::Copied:
        return LogWriteResult::Written;
    case MoveResult::OpenFailed:
        return LogWriteResult::OpenFailed;
    case MoveResult::WriteFailed:
        break;
    }
    return LogWriteResult::WriteFailed;
}

void CReceiveJournal::ResumeAfterMove()
{
    if (!m_moved)
        return;
    const MoveResult moved = *std::exchange(m_moved, std::nullopt);
    if (moved == MoveResult::Renamed) {
        // The descriptor is the log's now, and its lock goes with it.
        close(m_fd);
        m_fd = -1;
        m_written = 0;
        {
            std::lock_guard queue(m_queueMutex);
            m_accepting = false;
        }
        Open();
        return;
    }
    if (moved == MoveResult::Copied)
        m_written = 0;
    if (!StartWriter()) {
        std::lock_guard queue(m_queueMutex);
        m_accepting = false;
    }
}

void CReceiveJournal::Append(const char *data, std::size_t length)
{
    std::lock_guard queue(m_queueMutex);
    if (!m_accepting || length == 0)
        return;
    if (m_queue.empty()) {
        m_queuedSince = std::chrono::steady_clock::now();
        m_wake.notify_one();
    }
    m_queue.append(data, length);
}

bool CReceiveJournal::Flush()
{
    std::lock_guard file(m_fileMutex);
    {
        // The two buffers trade places, so neither is allocated again while data streams in.
        std::lock_guard queue(m_queueMutex);
        m_batch.swap(m_queue);
    }
    bool written = true;
    if (!m_batch.empty()) {
        written = WriteAll(m_fd, m_batch.data(), m_batch.size());
        if (written)
            m_written += m_batch.size();
        written = written && SyncData(m_fd);
        m_batch.clear();
    }
    std::lock_guard queue(m_queueMutex);
    // After a failed write the file holds the start of the text at most; bytes appended later
    // would leave a gap, so none are taken until a clear has emptied it.
    if (!written)
        m_accepting = false;
    return m_accepting;
}

void CReceiveJournal::Clear()
{
    std::lock_guard file(m_fileMutex);
    std::lock_guard queue(m_queueMutex);
    m_queue.clear();
    m_written = 0;
    if (IsOpen())
        m_accepting = EmptyFile(m_fd);
}

bool CReceiveJournal::ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const
{
    return IsOpen() && offset + length <= m_written && ReadExactly(m_fd, offset, buffer, length);
}

void CReceiveJournal::Close()
{
    if (!IsOpen())
        return;
    StopWriter();
    Flush();
    {
        std::lock_guard queue(m_queueMutex);
        m_accepting = false;
    }
    close(m_fd);
    m_fd = -1;
}

void CReceiveJournal::WriterLoop()
{
    std::unique_lock queue(m_queueMutex);
    while (!m_stopping) {
        m_wake.wait(queue, [this] { return m_stopping || !m_queue.empty(); });
        // Later bytes gather behind the oldest until it is due, then all go with one sync. Timed
        // from the oldest byte, not from the last write, a slow sync does not delay the next.
        m_wake.wait_until(queue, m_queuedSince + m_flushPeriod, [this] { return m_stopping; });
        queue.unlock();
        Flush();
        queue.lock();
    }
}

void CReceiveJournal::StopWriter()
{
    {
        std::lock_guard queue(m_queueMutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_writer.join();
}
