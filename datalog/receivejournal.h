#pragma once

#include "fileio.h"
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
#include <string_view>
#include <thread>

// The journal: a copy of the bytes received since the last display clear, kept in a file beside
// the logs, so that a crash or a power cut does not take them with the window. Append only
// queues the bytes; a writer thread appends them to the file and syncs it at most one flush
// period later, so the window's thread never waits for the disk while data arrives. A clear
// that has put the text into a log empties the journal; a journal that a run left behind
// non-empty goes into a log at the next start. The file is locked while a run holds it, so a
// second run in the same directory neither uses nor recovers it.
//
// The journal is a safety net: when it cannot be opened, it takes no bytes and says nothing, and
// the program runs as it would without it. A write that fails (a full disk) is cut back and
// tried again with the next bytes, which wait in memory meanwhile; Behind says so. What the file
// holds is always the start of what was received since the last clear, never bytes out of order
// or twice; the received text reads its bytes back from there (StoredSize, ReadStored), so that
// they need not stay in memory.
//
// While a clear moves the journal into a log, the bytes that arrive go to a fresh journal at
// once: the file being moved is set aside under another name first. A start after a kill
// recovers the one set aside before the fresh one.
//
// Open, Append, Clear, Close, Recover, the reads and the ends of a move run on one thread (the
// main window's); Flush and MoveIntoLog may run on any.

inline constexpr const char *JOURNAL_FILE_NAME = ".journal";
// The journal that a clear moves into a log, while a fresh one takes what arrives meanwhile.
inline constexpr const char *JOURNAL_MOVING_FILE_NAME = ".journal.moving";
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
    // (MoveIntoLog), after mending a copy that the earlier run left unfinished: first a journal
    // that a clear had set aside, then the one after it. Called before Open. Nothing: no
    // journal, an empty one, or one that another run holds. Failed: the bytes could not be taken
    // (a journal or folder that cannot be written) or the log did not take them; the journals
    // stay as they were, for the next start.
    JournalRecovery Recover(const std::string &logPath);

    // Creates the directory if needed, opens and locks the journal and starts the writer. Refuses
    // a journal that still holds bytes of an earlier run, so they are neither mixed with this
    // run's nor lost. True when the journal is open afterwards.
    bool Open();
    bool IsOpen() const { return m_file != NO_FILE; }

    // Queues the bytes for the writer; costs a copy of them. Does nothing while the journal is not
    // open.
    void Append(const char *data, std::size_t length);

    // Writes what is queued and syncs it now. True when every byte appended since the last clear
    // is in the file and on the disk.
    bool Flush();

    // True while bytes wait in memory because the file did not take them.
    bool Behind() const { return m_behind; }

    // Drops what is queued and empties the file; called once the bytes are safe in a log.
    void Clear();

    // Stops the writer and writes what is still queued, then closes the file. Whatever the file
    // holds stays there for the next start.
    void Close();

    // A clear in three steps. BeginMove, on the window's thread: what is appended from now on
    // belongs to the text after the clear. MoveIntoLog, on another thread while the window goes
    // on: every byte of the text, `length` of them, into the log at logPath (see
    // journalmove.h): the file itself, renamed, when the log is new, else a copy, followed by
    // what the journal still held in memory. Nothing when it is not open or does not hold the
    // whole text; the caller writes the text from memory then. EndMove, on the window's thread:
    // true when the bytes appended since BeginMove are in the journal, which then holds them
    // alone after a move, or follows the text that stayed after a failed one. False: they were
    // dropped, and the caller appends them again once it has cleared or kept the text.
    void BeginMove();
    std::optional<LogWriteResult> MoveIntoLog(const std::string &logPath, std::uint64_t length,
                                              const CopyProgress &progress);
    bool EndMove();

    // The bytes written to the file since the last clear, which a read finds there.
    std::uint64_t StoredSize() const override { return m_written; }
    bool ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const override;

private:
    // Where the writer puts the queue: the journal, or during a move the fresh one.
    struct Target
    {
        FileHandle file;
        std::atomic<std::uint64_t> *written;
    };

    void WriterLoop();
    bool StartWriter();
    void StopWriter();
    bool WriteBatch(Target target);
    bool SetAside();
    MoveResult MoveFile(const std::string &path, std::string_view tail, const std::string &logPath,
                        const CopyProgress &progress);
    void TakeFresh(MoveResult moved);
    void PutBackAfterFailedMove();

    std::string m_directory;
    std::string m_path;
    std::string m_movingPath;
    std::chrono::milliseconds m_flushPeriod;
    FileHandle m_file = NO_FILE;
    std::thread m_writer;
    std::atomic<std::uint64_t> m_written {0};
    std::atomic<bool> m_behind {false};

    // During a move: the fresh journal, how the move went, and whether the journal had been set
    // aside for it.
    FileHandle m_freshFile = NO_FILE;
    std::atomic<std::uint64_t> m_freshWritten {0};
    std::optional<MoveResult> m_moved;
    bool m_setAside = false;

    // Held over every write, sync and truncation of the file, so that a clear never races a
    // write of bytes that it has already dropped. Taken before m_queueMutex. m_batch holds the
    // bytes being written, and keeps those that a failed write left for the next try.
    std::mutex m_fileMutex;
    std::string m_batch;

    std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::string m_queue;
    // When the oldest byte in the queue was appended; it is due on the disk one period later.
    std::chrono::steady_clock::time_point m_queuedSince;
    bool m_accepting = false;
    bool m_stopping = false;
    // Set by BeginMove: the queue belongs to the fresh journal, and waits until it is open; the
    // queue of before is kept in m_queueOfText.
    bool m_moving = false;
    std::string m_queueOfText;
};
