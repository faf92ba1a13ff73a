#include "receivejournal.h"

#include "fileio.h"
#include "logdirectory.h"
#include "posixio.h"

#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

// The whole journal at once: a read that fails part-way must not leave part of it in a log.
// The run that wrote it held as much in memory.
bool ReadWhole(int fd, off_t length, std::string &bytes)
{
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc &) {
        return false;
    }
    const ssize_t got = ReadUpTo(fd, bytes.data(), bytes.size());
    if (got < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(got));
    return true;
}

JournalRecovery RecoverFrom(int fd, off_t length, const JournalLogWriter &writeLog)
{
    if (length == 0)
        return JournalRecovery::Nothing;
    std::string bytes;
    if (!ReadWhole(fd, length, bytes))
        return JournalRecovery::Failed;
    const LogWriteResult logged
        = writeLog([&bytes](const LogSegmentSink &sink) { sink(bytes.data(), bytes.size()); });
    if (logged != LogWriteResult::Written)
        return JournalRecovery::Failed;
    // The log is synced; should emptying fail, Open refuses the journal and the next start
    // recovers the same bytes again, which is better than losing them.
    EmptyFile(fd);
    return JournalRecovery::Recovered;
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

JournalRecovery CReceiveJournal::Recover(const JournalLogWriter &writeLog)
{
    if (IsOpen())
        return JournalRecovery::Nothing;
    // A journal locked by another run is that run's own, not one left behind.
    off_t length = 0;
    const int fd = OpenJournalFile(m_path, O_RDWR, length);
    if (fd < 0)
        return JournalRecovery::Nothing;
    const JournalRecovery result = RecoverFrom(fd, length, writeLog);
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
    const int fd = OpenJournalFile(m_path, O_WRONLY | O_CREAT | O_APPEND, length);
    if (fd < 0)
        return false;
    if (length != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    m_stopping = false;
    try {
        m_writer = std::thread(&CReceiveJournal::WriterLoop, this);
    } catch (const std::system_error &) {
        close(m_fd);
        m_fd = -1;
        return false;
    }
    std::lock_guard queue(m_queueMutex);
    m_accepting = true;
    return true;
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
        written = WriteAll(m_fd, m_batch.data(), m_batch.size()) && SyncData(m_fd);
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
    if (IsOpen())
        m_accepting = EmptyFile(m_fd);
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
