#include "filecontents.h"
#include "logfile.h"
#include "receivejournal.h"
#include "tempworkdir.h"
#include "unprivilegedrun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <linux/capability.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string JOURNAL = "DATALOG/.journal";
const std::string RECOVERED_LOG = "DATALOG/recovered.txt";
// Long enough that queued bytes stay queued until the test flushes them.
constexpr std::chrono::milliseconds NEVER_BY_ITSELF = 1h;

void WriteFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs `check` in a child process and gives its verdict. There, file permissions bind the way
// they bind a user: a root process drops its power to override them, so a read-only directory
// stays read-only.
bool InChildWherePermissionsBind(const std::function<bool()> &check)
{
    const pid_t child = fork();
    if (child == 0) {
        __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct capabilities[2] = {};
        if (syscall(SYS_capget, &header, capabilities) != 0)
            _exit(2);
        capabilities[0].effective
            &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        if (syscall(SYS_capset, &header, capabilities) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

// A log writer that keeps what it is given and answers `result`.
// Each test runs in a fresh, empty working directory.
class ReceiveJournal : public ::testing::Test
{
protected:
    CTempWorkDir m_workDir;
};

TEST_F(ReceiveJournal, KeepsEveryByteInTheOrderAppended)
{
    const std::vector<std::string> chunks = {
        "X07FFY0801Z0ABC\r\n",
        "",
        std::string("\0\0X\0", 4),
        "\x82\xA0\x83\x8D\x83\x4F\r\n", // Shift_JIS
        "\x80\xFE\xFF\n\r",
        std::string(4095, '\x11'),
        "X0100\r\n",
    };
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    std::string expected;
    for (const std::string &chunk : chunks) {
        journal.Append(chunk.data(), chunk.size());
        expected += chunk;
    }
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(Contents(JOURNAL), expected);

    journal.Append("more", 4);
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(Contents(JOURNAL), expected + "more");
}

TEST_F(ReceiveJournal, WritesWhatIsQueuedWithoutBeingAsked)
{
    CReceiveJournal journal("DATALOG");
    ASSERT_TRUE(journal.Open());
    journal.Append("X0100\r\n", 7);
    EXPECT_TRUE(WaitForContents(JOURNAL, "X0100\r\n", 10s));
    journal.Append("X0200\r\n", 7);
    EXPECT_TRUE(WaitForContents(JOURNAL, "X0100\r\nX0200\r\n", 10s));
}

TEST_F(ReceiveJournal, ClearEmptiesTheFileAndDropsWhatIsQueued)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    journal.Append("written", 7);
    ASSERT_TRUE(journal.Flush());
    journal.Append("queued", 6);
    journal.Clear();
    EXPECT_EQ(fs::file_size(JOURNAL), 0u);

    journal.Append("after", 5);
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(Contents(JOURNAL), "after");
}

TEST_F(ReceiveJournal, CloseWritesWhatIsQueuedAndKeepsIt)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    journal.Append("queued", 6);
    journal.Close();
    EXPECT_FALSE(journal.IsOpen());
    EXPECT_EQ(Contents(JOURNAL), "queued");

    journal.Append("closed", 6);
    EXPECT_FALSE(journal.Flush());
    EXPECT_EQ(Contents(JOURNAL), "queued");
}

// A new log becomes the journal's file itself, an existing one gets the bytes copied onto its
// end; either way the journal serves this run afterwards, empty.
TEST_F(ReceiveJournal, RecoverMovesALeftoverIntoTheLog)
{
    const std::string leftover
        = std::string("X07FFY0801Z0ABC\r\n\0\x82\xA0\xFF", 21) + std::string(100000, '\xA5');
    for (const char *earlier : {"", "earlier"}) {
        SCOPED_TRACE(earlier);
        fs::create_directory("DATALOG");
        if (*earlier)
            WriteFile(RECOVERED_LOG, earlier);
        WriteFile(JOURNAL, leftover);

        CReceiveJournal journal("DATALOG");
        EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Recovered);
        EXPECT_EQ(Contents(RECOVERED_LOG), earlier + leftover);
        ASSERT_TRUE(journal.Open());
        journal.Append("new", 3);
        EXPECT_TRUE(journal.Flush());
        EXPECT_EQ(Contents(JOURNAL), "new");
        journal.Close();
        fs::remove_all("DATALOG");
    }
}

TEST_F(ReceiveJournal, RecoverFindsNothingWhereNoRunLeftBytes)
{
    CReceiveJournal holder("DATALOG", NEVER_BY_ITSELF);
    const struct
    {
        const char *name;
        std::function<void()> prepare;
        const char *journalAfter;
    } rows[] = {
        {"no log directory", [] {}, nullptr},
        {"no journal", [] { fs::create_directory("DATALOG"); }, nullptr},
        {"an empty journal",
         [] {
             fs::create_directory("DATALOG");
             WriteFile(JOURNAL, "");
         },
         ""},
        {"a journal that another run holds",
         [&holder] {
             holder.Open();
             holder.Append("in use", 6);
             holder.Flush();
         },
         "in use"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.prepare();
        CReceiveJournal journal("DATALOG");
        EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Nothing);
        EXPECT_FALSE(fs::exists(RECOVERED_LOG));
        if (row.journalAfter)
            EXPECT_EQ(Contents(JOURNAL), row.journalAfter);
        else
            EXPECT_FALSE(fs::exists(JOURNAL));
        holder.Close();
        fs::remove_all("DATALOG");
    }
}

TEST_F(ReceiveJournal, KeepsALeftoverThatTheLogDidNotTakeForTheNextStart)
{
    fs::create_directory("DATALOG");
    WriteFile(JOURNAL, "left behind");
    // A directory in the log's place takes neither a rename nor a copy.
    fs::create_directory(RECOVERED_LOG);
    CReceiveJournal journal("DATALOG");
    EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Failed);
    EXPECT_EQ(Contents(JOURNAL), "left behind");

    // This run neither mixes its bytes into the leftover nor empties it.
    EXPECT_FALSE(journal.Open());
    journal.Append("this run", 8);
    EXPECT_FALSE(journal.Flush());
    journal.Clear();
    EXPECT_EQ(Contents(JOURNAL), "left behind");

    fs::remove(RECOVERED_LOG);
    CReceiveJournal nextStart("DATALOG");
    EXPECT_EQ(nextStart.Recover(RECOVERED_LOG), JournalRecovery::Recovered);
    EXPECT_EQ(Contents(RECOVERED_LOG), "left behind");
}

// A leftover that this user may not write, in a folder that takes no log, is reported as not
// recovered, not as nothing there, and left as it is.
TEST_F(ReceiveJournal, ReportsALeftoverItCannotWriteAndLeavesItAlone)
{
    fs::create_directory("DATALOG");
    WriteFile(JOURNAL, "left behind");
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(JOURNAL, readOnly);
    fs::permissions("DATALOG",
                    readOnly | fs::perms::owner_exec | fs::perms::group_exec
                        | fs::perms::others_exec);
    EXPECT_TRUE(PassesInUnprivilegedChild([] {
        CReceiveJournal journal("DATALOG");
        EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Failed);
        EXPECT_EQ(Contents(JOURNAL), "left behind");
        EXPECT_FALSE(fs::exists(RECOVERED_LOG));
    }));
}

TEST_F(ReceiveJournal, ASecondRunLeavesTheJournalInUseAlone)
{
    CReceiveJournal first("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(first.Open());
    first.Append("first", 5);
    ASSERT_TRUE(first.Flush());

    CReceiveJournal second("DATALOG", NEVER_BY_ITSELF);
    EXPECT_FALSE(second.Open());
    second.Append("second", 6);
    EXPECT_FALSE(second.Flush());
    second.Clear();
    second.Close();
    EXPECT_EQ(Contents(JOURNAL), "first");
}

// The program runs on without the journal; nothing is created where it cannot be.
bool TakesNothing(CReceiveJournal &journal)
{
    const bool opened = journal.Open();
    journal.Append("lost", 4);
    const bool flushed = journal.Flush();
    journal.Clear();
    journal.Close();
    return !opened && !journal.IsOpen() && !flushed;
}

TEST_F(ReceiveJournal, TakesNothingWhereTheJournalCannotBeOpened)
{
    const struct
    {
        const char *name;
        std::function<void()> prepare;
    } rows[] = {
        {"a file named DATALOG", [] { WriteFile("DATALOG", "not a directory"); }},
        {"a directory named .journal", [] { fs::create_directories(JOURNAL); }},
        {"a FIFO named .journal",
         [] {
             fs::create_directory("DATALOG");
             mkfifo(JOURNAL.c_str(), 0644);
         }},
        {"a link named .journal",
         [] {
             fs::create_directory("DATALOG");
             WriteFile("elsewhere", "");
             fs::create_symlink("../elsewhere", JOURNAL);
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.prepare();
        CReceiveJournal journal("DATALOG");
        EXPECT_TRUE(TakesNothing(journal));
        fs::remove_all("DATALOG");
    }
    EXPECT_EQ(Contents("elsewhere"), "");
}

TEST_F(ReceiveJournal, TakesNothingInAReadOnlyLogDirectory)
{
    fs::create_directory("DATALOG");
    fs::permissions("DATALOG", fs::perms::all, fs::perm_options::remove);
    fs::permissions("DATALOG", fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::add);
    EXPECT_TRUE(InChildWherePermissionsBind([] {
        CReceiveJournal journal("DATALOG");
        return TakesNothing(journal);
    }));
    EXPECT_FALSE(fs::exists(JOURNAL));
}

TEST_F(ReceiveJournal, AFailedWriteIsCutBackAndTriedAgainWithTheNextBytes)
{
    // Under a file size limit the second chunk is written in part only: the file is cut back to
    // the first, and the second waits in memory. Once the limit is raised, the next bytes take
    // it with them; a clear that cannot write the waiting bytes puts the journal back.
    enum Step { Done, FirstFlush, FailedFlush, CutBack, FlushAfterRaise, Clear, ClearAfterRaise };
    const std::string a(600, 'a');
    const std::string b(600, 'b');
    const pid_t child = fork();
    if (child == 0) {
        rlimit fileSize = {1000, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
        journal.Open();
        journal.Append(a.data(), a.size());
        if (!journal.Flush() || journal.Behind())
            _exit(FirstFlush);
        journal.Append(b.data(), b.size());
        if (journal.Flush() || !journal.Behind())
            _exit(FailedFlush);
        if (Contents(JOURNAL) != a || journal.StoredSize() != a.size())
            _exit(CutBack);
        // The clear renames the journal to a new log, which the waiting bytes do not fit.
        journal.BeginMove();
        if (journal.MoveIntoLog(RECOVERED_LOG, 1200, {}) != LogWriteResult::WriteFailed
            || journal.EndMove() || Contents(JOURNAL) != a || fs::exists(RECOVERED_LOG))
            _exit(Clear);
        fileSize.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &fileSize);
        journal.Append("c", 1);
        if (!journal.Flush() || journal.Behind())
            _exit(FlushAfterRaise);
        journal.BeginMove();
        if (journal.MoveIntoLog(RECOVERED_LOG, 1201, {}) != LogWriteResult::Written)
            _exit(ClearAfterRaise);
        journal.EndMove();
        _exit(Done);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), Done);
    EXPECT_EQ(Contents(RECOVERED_LOG), a + b + "c");
}

} // namespace
