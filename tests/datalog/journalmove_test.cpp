// The journal's bytes into a log: by renaming the file when the log is new, by copying when it is
// not, and a copy killed at any point mended at the next start.
#include "datalogtesting.h"
#include "journalmove.h"

#include <functional>
#include <optional>

namespace {

using namespace std::chrono_literals;

// Journals that take their bytes now and are moved at once.
class JournalMove : public testing::Test
{
protected:
    void Receive(const std::string &bytes)
    {
        ASSERT_TRUE(m_journal.Open());
        m_journal.Append(bytes.data(), bytes.size());
        m_received += bytes.size();
    }
    // `during` runs while the bytes are on their way to the log, on the move's thread.
    std::optional<LogWriteResult> Move(const std::function<void()> &during = {})
    {
        m_journal.BeginMove();
        auto moved
            = m_journal.MoveIntoLog(LOG, m_received, [&](std::uint64_t done, std::uint64_t total) {
                  m_progress = {done, total};
                  if (during)
                      during();
              });
        m_endedWithChunks = m_journal.EndMove();
        m_received = 0;
        return moved;
    }

    CTempWorkDir m_workDir;
    CReceiveJournal m_journal {"DATALOG", 1h};
    std::pair<std::uint64_t, std::uint64_t> m_progress;
    std::uint64_t m_received = 0;
    bool m_endedWithChunks = false;
};

} // namespace

// Bytes still queued for the journal's writer go with the move.
TEST_F(JournalMove, ANewLogIsTheJournalRenamedAndAnExistingOneGetsACopy)
{
    Receive("first\r\n");
    const std::uint64_t journalFile = FileIdentity(JOURNAL);
    EXPECT_EQ(Move(), LogWriteResult::Written);
    EXPECT_EQ(ContentsOf(LOG), "first\r\n");
    EXPECT_EQ(FileIdentity(LOG), journalFile) << "the log is the journal's own file";
    EXPECT_EQ(m_progress, std::make_pair(std::uint64_t {7}, std::uint64_t {7}));

    // The same minute: the log is there already.
    ASSERT_TRUE(m_journal.IsOpen()) << "a new journal takes the next bytes";
    Receive("second\r\n");
    EXPECT_EQ(Move(), LogWriteResult::Written);
    EXPECT_EQ(ContentsOf(LOG), "first\r\nsecond\r\n");
    EXPECT_EQ(m_progress, std::make_pair(std::uint64_t {8}, std::uint64_t {8}));
    EXPECT_EQ(ContentsOf(JOURNAL), "");
    EXPECT_FALSE(fs::exists(RECORD));

    // The journal goes on after the copy, from its start.
    Receive("third");
    ASSERT_TRUE(m_journal.Flush());
    EXPECT_EQ(m_journal.StoredSize(), 5u);
    EXPECT_EQ(ContentsOf(JOURNAL), "third");
}

// A copy that fails, from a journal that cannot be read or as the system can arrange, leaves the
// log, the journal and the folder as they were.
TEST(JournalCopy, ThatFailsLeavesLogAndJournalAsTheyWere)
{
    std::vector<FailedCopyCase> cases = {
        {"a journal open for writing only",
         [] {
             std::uint64_t length = 0;
             const FileHandle writeOnly = OpenLockedRegularFile(JOURNAL, 0, length);
             EXPECT_NE(writeOnly, NO_FILE);
             const MoveResult result
                 = CopyJournalIntoLog(JOURNAL, writeOnly, length, "tail", LOG, RECORD, {});
             CloseFile(writeOnly);
             return result;
         }},
    };
    cases.insert(cases.end(), SYSTEM_FAILED_COPY_CASES.begin(), SYSTEM_FAILED_COPY_CASES.end());
    const std::string earlier(50, 'e');
    for (const FailedCopyCase &row : cases) {
        SCOPED_TRACE(row.name);
        CTempWorkDir workDir;
        fs::create_directory("DATALOG");
        WriteFile(LOG, earlier);
        WriteFile(JOURNAL, "X07FFY0801Z0ABC\r\n");
        EXPECT_EQ(row.copy(), MoveResult::WriteFailed);
        EXPECT_EQ(ContentsOf(LOG), earlier);
        EXPECT_EQ(ContentsOf(JOURNAL), "X07FFY0801Z0ABC\r\n");
        EXPECT_FALSE(fs::exists(RECORD));
    }
}

// A journal that does not hold the whole text (a write of it failed) is not the text.
TEST_F(JournalMove, AJournalShorterThanTheTextStaysWhereItIs)
{
    Receive("part");
    m_journal.BeginMove();
    EXPECT_EQ(m_journal.MoveIntoLog(LOG, 9, {}), std::nullopt);
    EXPECT_FALSE(m_journal.EndMove());
    EXPECT_FALSE(fs::exists(LOG));
    EXPECT_EQ(ContentsOf(JOURNAL), "part");
}

// Bytes that arrive during a clear are in a fresh journal before the move has ended; a move that
// fails puts the journal back as it was, and the caller appends them again.
TEST_F(JournalMove, BytesOfAClearGoToAFreshJournalAtOnce)
{
    Receive("old");
    WriteFile(LOG, "earlier");
    std::string fresh;
    std::string setAside;
    EXPECT_EQ(Move([&] {
                  m_journal.Append("new", 3);
                  m_journal.Flush();
                  fresh = ContentsOf(JOURNAL);
                  setAside = ContentsOf(MOVING);
              }),
              LogWriteResult::Written);
    EXPECT_EQ(fresh, "new");
    EXPECT_EQ(setAside, "old");
    EXPECT_TRUE(m_endedWithChunks);
    EXPECT_EQ(ContentsOf(LOG), "earlierold");
    EXPECT_FALSE(fs::exists(MOVING));
    EXPECT_EQ(m_journal.StoredSize(), 3u);

    // A log that cannot be opened: the text stays, and so does its journal.
    fs::remove(LOG);
    fs::create_directory(LOG);
    m_received = 3;
    Receive("+");
    m_journal.BeginMove();
    m_journal.Append("lost", 4);
    EXPECT_EQ(m_journal.MoveIntoLog(LOG, m_received, {}), LogWriteResult::OpenFailed);
    EXPECT_FALSE(m_journal.EndMove());
    EXPECT_EQ(m_journal.StoredSize(), 4u);
    m_journal.Append("again", 5);
    ASSERT_TRUE(m_journal.Flush());
    EXPECT_EQ(ContentsOf(JOURNAL), "new+again");
    EXPECT_FALSE(fs::exists(MOVING));
}

// A run killed while it copied the journal into "earlier": wherever the copy had got, the next
// start leaves the log as it was before the copy and recovers the journal whole, or, once the
// journal was emptied, leaves the finished log alone.
TEST(JournalMoveKilled, IsMendedAtTheNextStartWithNothingLostOrTwice)
{
    struct KillPoint
    {
        const char *name;
        std::string log;
        std::string journal;
        // Set aside by a clear, a fresh journal holding what arrived during the copy.
        std::optional<std::string> fresh;
        std::string expectedLog;
        std::string expectedRecovery;
    };
    const std::string bytes = "X07FFY0801Z0ABC\r\n";
    const std::string arrived = "X0100\r\n";
    const KillPoint points[] = {
        {"record written, nothing copied", "earlier", bytes, {}, "earlier", bytes},
        {"part copied", "earlier" + bytes.substr(0, 5), bytes, {}, "earlier", bytes},
        {"all copied, journal not emptied", "earlier" + bytes, bytes, {}, "earlier", bytes},
        {"journal emptied, record left", "earlier" + bytes, "", {}, "earlier" + bytes, ""},
        {"during the copy, with chunks arriving", "earlier" + bytes.substr(0, 5), bytes, arrived,
         "earlier", bytes + arrived},
        {"set aside and emptied, with chunks arriving", "earlier" + bytes, "", arrived,
         "earlier" + bytes, arrived},
    };
    for (const KillPoint &point : points) {
        SCOPED_TRACE(point.name);
        CTempWorkDir workDir;
        fs::create_directory("DATALOG");
        WriteFile(LOG, point.log);
        const std::string &copied = point.fresh ? MOVING : JOURNAL;
        WriteFile(copied, point.journal);
        if (point.fresh)
            WriteFile(JOURNAL, *point.fresh);
        WriteFile(RECORD, "7 " + std::to_string(bytes.size()) + "\n" + LOG + "\n" + copied + "\n");

        CReceiveJournal journal("DATALOG");
        journal.Recover(RECOVERED_LOG);
        EXPECT_EQ(ContentsOf(LOG), point.expectedLog);
        EXPECT_EQ(ContentsOf(RECOVERED_LOG), point.expectedRecovery);
        EXPECT_FALSE(fs::exists(RECORD));
        EXPECT_FALSE(fs::exists(MOVING));
    }
}
