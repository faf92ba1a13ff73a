// The log and the journal where the system is POSIX: a FIFO or a link in a file's place,
// permissions that bind, and writes that fail part-way under a file size limit.
#include "datalogtesting.h"
#include "filecontents.h"
#include "logdirectory.h"
#include "unprivilegedrun.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

std::uint64_t FileIdentity(const std::string &path)
{
    struct stat status
    {
    };
    stat(path.c_str(), &status);
    return status.st_ino;
}

const std::vector<ArrangementCase> SYSTEM_UNOPENABLE_JOURNAL_CASES = {
    {"a FIFO named .journal",
     [] {
         mkfifo(JOURNAL.c_str(), 0644);
         return [] {};
     }},
    // The bytes must not go to the file that the link names.
    {"a link named .journal",
     [] {
         WriteFile("elsewhere", "");
         fs::create_symlink("../elsewhere", JOURNAL);
         return [] { EXPECT_EQ(ContentsOf("elsewhere"), ""); };
     }},
};

namespace {

using namespace std::chrono_literals;

TEST_F(LogFile, FailsToOpenAFifoInsteadOfWaitingForAReader)
{
    ASSERT_TRUE(EnsureDirectory("DATALOG"));
    ASSERT_EQ(mkfifo(LOG_COM3.c_str(), 0644), 0);
    EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed);
}

// A folder that takes no new entry, the working folder or the log folder: neither the log nor the
// journal opens, and nothing is created there.
TEST_F(LogFile, AReadOnlyFolderTakesNeitherTheLogNorTheJournal)
{
    for (const char *readOnly : {".", "DATALOG"}) {
        SCOPED_TRACE(readOnly);
        fs::create_directories(readOnly);
        fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
        const auto check = [] {
            EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed);
            CReceiveJournal journal("DATALOG");
            EXPECT_TRUE(TakesNothing(journal));
        };
        EXPECT_TRUE(PassesInUnprivilegedChild(check));
        EXPECT_FALSE(fs::exists(JOURNAL));
        fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all("DATALOG");
    }
}

// Runs `child` in a forked child under a file size limit of `limit` bytes, which it may raise, and
// with the default action of SIGXFSZ, which the program must see to itself; gives what the child
// returned, or the signal that ended it as a negative number.
int RunUnderFileSizeLimit(rlim_t limit, const std::function<int()> &child)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit fileSize = {limit, RLIM_INFINITY};
        _exit(setrlimit(RLIMIT_FSIZE, &fileSize) == 0 ? child() : 100);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1000;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

TEST_F(LogFile, CutsAFailedAppendBackToTheEarlierLength)
{
    const std::string earlier = "earlier text\r\n";
    ASSERT_EQ(AppendToLog(2, Segments({earlier})), LogWriteResult::Written);

    // The first segment fits under the limit, the second is written in part.
    const std::vector<std::string> parts = {std::string(600, 'a'), std::string(4400, 'b')};
    const auto append = [&] { return static_cast<int>(AppendToLog(2, Segments(parts))); };
    EXPECT_EQ(RunUnderFileSizeLimit(earlier.size() + 1000, append),
              static_cast<int>(LogWriteResult::WriteFailed));
    EXPECT_EQ(ContentsOf(LOG_COM3), earlier);

    EXPECT_EQ(RunUnderFileSizeLimit(earlier.size() + 5000, append),
              static_cast<int>(LogWriteResult::Written));
    EXPECT_EQ(ContentsOf(LOG_COM3), earlier + parts[0] + parts[1]);
}

TEST_F(LogFile, TellsDirectoriesFromOtherEntries)
{
    WriteFile("plain", "x");
    fs::create_directory("folder");
    fs::create_directory_symlink("folder", "link");
    fs::create_directory_symlink("gone", "dangling");
    const struct
    {
        const char *path;
        bool directory;
    } rows[] = {{".", true},      {"folder", true},   {"link", true},
                {"plain", false}, {"missing", false}, {"dangling", false}};
    for (const auto &row : rows)
        EXPECT_EQ(IsDirectory(row.path), row.directory) << row.path;
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
        EXPECT_EQ(ContentsOf(JOURNAL), "left behind");
        EXPECT_FALSE(fs::exists(RECOVERED_LOG));
    }));
}

TEST_F(ReceiveJournal, AFailedWriteIsCutBackAndTriedAgainWithTheNextBytes)
{
    // Under a file size limit the second chunk is written in part only: the file is cut back to
    // the first, and the second waits in memory. Once the limit is raised, the next bytes take
    // it with them; a clear that cannot write the waiting bytes puts the journal back.
    enum Step {
        Done,
        FirstFlush,
        FailedFlush,
        CutBack,
        FlushAfterRaise,
        FailedClear,
        ClearAfterRaise
    };
    const std::string a(600, 'a');
    const std::string b(600, 'b');
    const int result = RunUnderFileSizeLimit(1000, [&] {
        CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
        journal.Open();
        journal.Append(a.data(), a.size());
        if (!journal.Flush() || journal.Behind())
            return FirstFlush;
        journal.Append(b.data(), b.size());
        if (journal.Flush() || !journal.Behind())
            return FailedFlush;
        if (ContentsOf(JOURNAL) != a || journal.StoredSize() != a.size())
            return CutBack;
        // The clear renames the journal to a new log, which the waiting bytes do not fit.
        journal.BeginMove();
        if (journal.MoveIntoLog(RECOVERED_LOG, 1200, {}) != LogWriteResult::WriteFailed
            || journal.EndMove() || ContentsOf(JOURNAL) != a || fs::exists(RECOVERED_LOG))
            return FailedClear;
        const rlimit raised = {RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &raised);
        journal.Append("c", 1);
        if (!journal.Flush() || journal.Behind())
            return FlushAfterRaise;
        if (!Clear(journal, RECOVERED_LOG, 1201))
            return ClearAfterRaise;
        return Done;
    });
    EXPECT_EQ(result, Done) << "a negative result is the signal that ended the child";
    EXPECT_EQ(ContentsOf(RECOVERED_LOG), a + b + "c");
}

} // namespace

const std::vector<FailedCopyCase> SYSTEM_FAILED_COPY_CASES = {
    // As on a full disk: room for the record, not for the whole copy.
    {"a file size limit part-way",
     [] {
         const int journal = open(JOURNAL.c_str(), O_RDWR | O_CLOEXEC);
         const int result = RunUnderFileSizeLimit(60, [&] {
             return static_cast<int>(
                 CopyJournalIntoLog(JOURNAL, journal, fs::file_size(JOURNAL), {}, LOG, RECORD, {}));
         });
         close(journal);
         return static_cast<MoveResult>(result);
     }},
};
