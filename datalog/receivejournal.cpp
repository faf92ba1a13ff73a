#include "receivejournal.h"

#include "logdirectory.h"

#include <system_error>
#include <utility>

namespace {

// A write buffer larger than this, left by a long wait for the disk, is given back once written.
constexpr std::size_t LARGE_BATCH = 16 * 1024 * 1024;

// Emptied means on the disk too: a journal that came back after a power cut with bytes that
// are already in a log would put them there twice.
bool EmptyFile(FileHandle file)
{
    return TruncateFile(file, 0) && SyncData(file);
}

// Held against other runs and a regular file (OpenLockedRegularFile), read back by the text; a
// link in the journal's place does not send the bytes elsewhere.
FileHandle OpenJournalFile(const std::string &path, unsigned flags, std::uint64_t &length)
{
    return OpenLockedRegularFile(path, flags | OPEN_READING | OPEN_NO_LINK, length);
}

// Moves one journal file into the log, as a clear moves it: a kill on the way leaves either the
// journal whole or a record from which the next start mends the log, never its bytes twice. A
// journal set aside by a clear goes once it is empty.
JournalRecovery RecoverFile(const std::string &path, const std::string &recordPath,
                            const std::string &logPath, bool removeWhenEmpty)
{
    // A journal locked by another run is that run's own, not one left behind.
    std::uint64_t length = 0;
    const FileHandle file = OpenJournalFile(path, 0, length);
    if (file == NO_FILE)
        return IsLeftoverThatCannotBeTaken(path) ? JournalRecovery::Failed
                                                 : JournalRecovery::Nothing;
    // Locked, the journal and its record are this run's to mend.
    UndoUnfinishedCopy(path, recordPath);
    JournalRecovery result = JournalRecovery::Nothing;
    if (length > 0) {
        const bool moved = RenameJournalToLog(path, logPath)
            || CopyJournalIntoLog(path, file, length, {}, logPath, recordPath, {})
                == MoveResult::Copied;
        result = moved ? JournalRecovery::Recovered : JournalRecovery::Failed;
    }
    if (removeWhenEmpty && result != JournalRecovery::Failed)
        RemoveFile(path);
    CloseFile(file);
    return result;
}

} // namespace

CReceiveJournal::CReceiveJournal(const std::string &directory,
                                 std::chrono::milliseconds flushPeriod)
    : m_directory(directory)
    , m_path(directory + '/' + JOURNAL_FILE_NAME)
    , m_movingPath(directory + '/' + JOURNAL_MOVING_FILE_NAME)
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
    const std::string recordPath = m_directory + '/' + CLEAR_RECORD_FILE_NAME;
    // The journal after it holds later bytes: it waits while the earlier one cannot go.
    const JournalRecovery earlier = RecoverFile(m_movingPath, recordPath, logPath, true);
    if (earlier == JournalRecovery::Failed)
        return earlier;
    const JournalRecovery later = RecoverFile(m_path, recordPath, logPath, false);
    return later == JournalRecovery::Nothing ? earlier : later;
}

bool CReceiveJournal::Open()
{
    if (IsOpen())
        return true;
    IgnoreFileSizeSignal();
    EnsureDirectory(m_directory);
    std::uint64_t length = 0;
    const FileHandle file = OpenJournalFile(m_path, OPEN_CREATING | OPEN_APPENDING, length);
    if (file == NO_FILE)
        return false;
    if (length != 0) {
        CloseFile(file);
        return false;
    }
    m_file = file;
    m_written = 0;
    if (!StartWriter()) {
        CloseFile(std::exchange(m_file, NO_FILE));
        return false;
    }
    std::lock_guard queue(m_queueMutex);
    m_accepting = true;
    return true;
}

bool CReceiveJournal::StartWriter()
{
    if (m_writer.joinable())
        return true;
    m_stopping = false;
    try {
        m_writer = std::thread(&CReceiveJournal::WriterLoop, this);
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}

void CReceiveJournal::BeginMove()
{
    std::lock_guard queue(m_queueMutex);
    m_queueOfText = std::exchange(m_queue, {});
    m_moving = true;
}

std::optional<LogWriteResult> CReceiveJournal::MoveIntoLog(const std::string &logPath,
                                                           std::uint64_t length,
                                                           const CopyProgress &progress)
{
    m_moved.reset();
    m_setAside = false;
    if (!IsOpen())
        return std::nullopt;
    StopWriter();
    {
        std::lock_guard file(m_fileMutex);
        m_batch += std::exchange(m_queueOfText, {});
        WriteBatch({m_file, &m_written});
        if (m_written + m_batch.size() != length)
            return std::nullopt;
    }
    // What the file did not take is in m_batch; it goes to the log after the file, and the
    // bytes of the clear wait in memory. Otherwise a fresh journal takes them at once.
    m_setAside = m_batch.empty() && SetAside();
    m_moved
        = MoveFile(m_setAside ? m_movingPath : m_path,
                   m_setAside ? std::string_view() : std::string_view(m_batch), logPath, progress);
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

// The journal goes to the side, still open and locked, and a fresh one takes its place and the
// bytes that wait for it.
bool CReceiveJournal::SetAside()
{
    if (!RenameJournalToLog(m_path, m_movingPath))
        return false;
    std::uint64_t length = 0;
    const FileHandle fresh = OpenJournalFile(m_path, OPEN_CREATING | OPEN_APPENDING, length);
    if (fresh == NO_FILE || length != 0 || !StartWriter()) {
        if (fresh != NO_FILE)
            CloseFile(fresh);
        RenameReplacing(m_movingPath, m_path);
        return false;
    }
    std::lock_guard file(m_fileMutex);
    std::lock_guard queue(m_queueMutex);
    m_freshFile = fresh;
    m_freshWritten = 0;
    m_wake.notify_one();
    return true;
}

// The file at `path` is the journal's, open as m_file; `tail` follows its bytes in the log.
MoveResult CReceiveJournal::MoveFile(const std::string &path, std::string_view tail,
                                     const std::string &logPath, const CopyProgress &progress)
{
    const std::uint64_t length = m_written + tail.size();
    if (RenameJournalToLog(path, logPath)) {
        if (tail.empty() || (AppendAll(m_file, tail.data(), tail.size()) && SyncData(m_file))) {
            if (progress)
                progress(length, length);
            return MoveResult::Renamed;
        }
        // The log was new: without its tail it goes back to being the journal.
        TruncateFile(m_file, m_written);
        RenameReplacing(logPath, path);
        return MoveResult::WriteFailed;
    }
    return CopyJournalIntoLog(path, m_file, m_written, tail, logPath,
                              m_directory + '/' + CLEAR_RECORD_FILE_NAME, progress);
}

bool CReceiveJournal::EndMove()
{
    const std::optional<MoveResult> moved = std::exchange(m_moved, std::nullopt);
    const bool logged = moved == MoveResult::Renamed || moved == MoveResult::Copied;
    if (std::exchange(m_setAside, false)) {
        if (logged)
            TakeFresh(*moved);
        else
            PutBackAfterFailedMove();
        return logged;
    }
    {
        std::lock_guard file(m_fileMutex);
        std::lock_guard queue(m_queueMutex);
        m_queue.clear();
        m_moving = false;
        if (logged)
            m_batch.clear();
        m_behind = !m_batch.empty();
    }
    if (moved == MoveResult::Renamed) {
        // The handle is the log's now, and its hold goes with it.
        CloseFile(std::exchange(m_file, NO_FILE));
        m_written = 0;
        {
            std::lock_guard queue(m_queueMutex);
            m_accepting = false;
        }
        Open();
        return false;
    }
    if (moved == MoveResult::Copied)
        m_written = 0;
    if (IsOpen() && !StartWriter()) {
        std::lock_guard queue(m_queueMutex);
        m_accepting = false;
    }
    return false;
}

void CReceiveJournal::TakeFresh(MoveResult moved)
{
    std::lock_guard file(m_fileMutex);
    std::lock_guard queue(m_queueMutex);
    // Renamed, the file set aside is the log now; copied, it is empty and goes.
    if (moved != MoveResult::Renamed)
        RemoveFile(m_movingPath);
    CloseFile(std::exchange(m_file, std::exchange(m_freshFile, NO_FILE)));
    m_written = m_freshWritten.load();
    m_moving = false;
}

// The journal set aside comes back with the text it holds, in the fresh one's place; what the
// fresh one took is dropped with it, for the caller to append again after the text.
void CReceiveJournal::PutBackAfterFailedMove()
{
    StopWriter();
    {
        std::lock_guard file(m_fileMutex);
        std::lock_guard queue(m_queueMutex);
        PutBackOver(m_movingPath, m_path, std::exchange(m_freshFile, NO_FILE));
        m_queue.clear();
        m_batch.clear();
        m_moving = false;
        m_behind = false;
    }
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
    Target target {m_file, &m_written};
    {
        std::lock_guard queue(m_queueMutex);
        if (m_moving) {
            if (m_freshFile == NO_FILE)
                return false;
            target = {m_freshFile, &m_freshWritten};
        }
        // The two buffers trade places, so neither is allocated again while data streams in.
        if (m_batch.empty())
            m_batch.swap(m_queue);
        else
            m_batch += std::exchange(m_queue, {});
    }
    const bool caughtUp = WriteBatch(target);
    m_behind = !caughtUp;
    std::lock_guard queue(m_queueMutex);
    return caughtUp && m_accepting;
}

// Writes and syncs m_batch at the end of the target's file. A write that fails is cut back to
// what the file held, so that the next try appends the same bytes where they belong.
bool CReceiveJournal::WriteBatch(Target target)
{
    if (m_batch.empty())
        return true;
    if (AppendAll(target.file, m_batch.data(), m_batch.size()) && SyncData(target.file)) {
        *target.written += m_batch.size();
        m_batch.clear();
        if (m_batch.capacity() > LARGE_BATCH)
            std::string().swap(m_batch);
        return true;
    }
    TruncateFile(target.file, target.written->load());
    return false;
}

void CReceiveJournal::Clear()
{
    std::lock_guard file(m_fileMutex);
    std::lock_guard queue(m_queueMutex);
    m_queue.clear();
    m_batch.clear();
    m_written = 0;
    m_behind = false;
    if (IsOpen())
        m_accepting = EmptyFile(m_file);
}

bool CReceiveJournal::ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const
{
    return IsOpen() && offset + length <= m_written && ReadExactly(m_file, offset, buffer, length);
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
    CloseFile(std::exchange(m_file, NO_FILE));
}

void CReceiveJournal::WriterLoop()
{
    std::unique_lock queue(m_queueMutex);
    while (!m_stopping) {
        // During a move the queue waits for the fresh journal.
        m_wake.wait(queue, [this] {
            return m_stopping || (!m_queue.empty() && (!m_moving || m_freshFile != NO_FILE));
        });
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
    if (!m_writer.joinable())
        return;
    {
        std::lock_guard queue(m_queueMutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_writer.join();
}
