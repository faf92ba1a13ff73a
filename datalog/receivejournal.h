#pragma once

#include "journalmove.h"
#include "logfile.h"
#include "receivedtext.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// The journal: a copy of the bytes received since the last display clear, kept in a file beside
// the logs, so that a crash or a power cut does not take them with the window. Append only
// queues the bytes; a writer thread appends them to the file and syncs it at most one flush
// period later, so the window's thread never waits for the disk while data arrives. A clear
// that has put the text into a log empties the journal; a journal that a run left behind
// non-empty goes into a log at the next start. The file is locked while a run holds it, so a
// second run in the same directory neither uses nor recovers it.
//
// The journal is a safety net: when it cannot be opened or written, it takes no more bytes and
// says nothing, and the program runs as it would without it. What the file holds is always the
// start of what was received since the last clear, never bytes out of order or twice; the
// received text reads its bytes back from there (StoredSize, ReadStored), so that they need not
// stay in memory.
//
// Open, Append, Clear, Close, Recover and the reads run on one thread (the main window's); Flush
// may run on any.

inline constexpr const char *JOURNAL_FILE_NAME = ".journal";
// Half the time within which received bytes must be on the disk, so that a write that is slow
// to finish still leaves them there in time.
inline constexpr std::chrono::milliseconds JOURNAL_FLUSH_PERIOD {100};

enum class JournalRecovery { Nothing, Recovered, Failed };

class CReceiveJournal : public CTextBacking
{
public:
    explicit CReceiveJournal(const std::string &directory = LOG_DIRECTORY,
                             std::chrono::milliseconds flushPeriod = JOURNAL_FLUSH_PERIOD);
    ~CReceiveJournal() override;
    CReceiveJournal(const CReceiveJournal &) = delete;
    CReceiveJournal &operator=(const CReceiveJournal &) = delete;

    const std::string &Path() const { return m_path; }

    // Moves what an earlier run left in the journal into the log at logPath, as a clear moves it
    // (MoveIntoLog), after mending a copy that the earlier run left unfinished. Called before
    // Open. Nothing: no journal, an empty one, or one that another run holds. Failed: the bytes
    // could not be taken (a journal or folder that cannot be written) or the log did not take
    // them; the journal stays as it was, for the next start.
    JournalRecovery Recover(const std::string &logPath);

    // Creates the directory if needed, opens and locks the journal and starts the writer. Refuses
    // a journal that still holds bytes of an earlier run, so they are neither mixed with this
    // run's nor lost. True when the journal is open afterwards.
    bool Open();
    bool IsOpen() const { return m_fd >= 0; }

    // Queues the bytes for the writer; costs a copy of them. Does nothing while the journal is not
    // open or has failed.
    void Append(const char *data, std::size_t length);

    // Writes what is queued and syncs it now. True when every byte appended since the last clear
    // is in the file and on the disk.
    bool Flush();

    // Drops what is queued and empties the file; called once the bytes are safe in a log. A
    // journal that had failed takes bytes again once it has been emptied.
    void Clear();

    // Stops the writer and writes what is still queued, then closes the file. Whatever the file
    // holds stays there for the next start.
    void Close();

    // Puts every byte of the journal into the log at logPath (see journalmove.h): the file
    // itself, renamed, when the log is new, else a copy. It syncs what is queued first, and
    // moves only a journal that then holds `length` bytes, the whole text; nothing when it is not
    // open, has failed or lags, and the caller writes the text from memory then. It may run on
    // another thread while the window paints, and the window appends nothing meanwhile;
    // ResumeAfterMove on the window's thread takes bytes again: after a move into a new empty
    // journal, else into this one as it is.
    std::optional<LogWriteResult> MoveIntoLog(const std::string &logPath, std::uint64_t length,
                                              const CopyProgress &progress);
    void ResumeAfterMove();

    // The bytes written to the file since the last clear, which a read finds there.
    std::uint64_t StoredSize() const override { return m_written; }
    bool ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const override;

private:
    void WriterLoop();
    bool StartWriter();
    void StopWriter();

    std::string m_directory;
    std::string m_path;
    std::chrono::milliseconds m_flushPeriod;
    int m_fd = -1;
    std::thread m_writer;
    std::atomic<std::uint64_t> m_written {0};
    // How the last move went: the file is the log now, or it was emptied by a copy.
    std::optional<MoveResult> m_moved;

    // Held over every write, sync and truncation of the file, so that a clear never races a
    // write of bytes that it has already dropped. Taken before m_queueMutex.
    std::mutex m_fileMutex;
    std::string m_batch;

    std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::string m_queue;
    // When the oldest byte in the queue was appended; it is due on the disk one period later.
    std::chrono::steady_clock::time_point m_queuedSince;
    bool m_accepting = false;
    bool m_stopping = false;
};
