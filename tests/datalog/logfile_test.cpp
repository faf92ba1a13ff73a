#include "filecontents.h"
#include "logdirectory.h"
#include "logfile.h"
#include "logtimestamp.h"
#include "tempworkdir.h"
#include "unprivilegedrun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// 7 December 2026 18:05 reference time.
const system_clock::time_point NOW = sys_days {year {2026} / 12 / 7} + hours {9} + minutes {5};
const std::string LOG_COM3 = "./DATALOG/COM3_2026_12_7_18_5_DataLogger.txt";

SegmentVisitor Segments(std::vector<std::string> parts)
{
    return [parts = std::move(parts)](const LogSegmentSink &sink) {
        for (const std::string &part : parts) {
            if (!sink(part.data(), part.size()))
                return false;
        }
        return true;
    };
}

void WriteFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Each test runs in a fresh, empty working directory with the log clock at NOW.
class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_now = NOW;
        SetLogClock([this] { return m_now; });
    }

    void TearDown() override { SetLogClock({}); }

    CTempWorkDir m_workDir;
    system_clock::time_point m_now;
};

TEST_F(LogFile, AppendsTheBytesExactlyAsGiven)
{
    const std::vector<std::string> parts = {
        "X07FFY0801Z0ABC\r\n",
        "",
        std::string("\0\0X\0", 4),
        "\x82\xA0\x83\x8D\x83\x4F\r\n", // Shift_JIS
        "\x80\xFE\xFF\n\r",
    };
    ASSERT_EQ(AppendToLog(2, Segments(parts)), LogWriteResult::Written);

    std::string expected;
    for (const std::string &part : parts)
        expected += part;
    EXPECT_EQ(Contents(LOG_COM3), expected);
}

TEST_F(LogFile, AppendsClearsOfOneMinuteToOneFile)
{
    ASSERT_EQ(AppendToLog(2, Segments({"first\r\n"})), LogWriteResult::Written);
    m_now = NOW + seconds {59} + milliseconds {999};
    ASSERT_EQ(AppendToLog(2, Segments({"second"})), LogWriteResult::Written);
    m_now = NOW + minutes {1};
    ASSERT_EQ(AppendToLog(2, Segments({"third"})), LogWriteResult::Written);

    EXPECT_EQ(Contents(LOG_COM3), "first\r\nsecond");
    EXPECT_EQ(Contents("./DATALOG/COM3_2026_12_7_18_6_DataLogger.txt"), "third");
}

TEST_F(LogFile, CreatesTheFileForAnEmptyTextAndLeavesAnExistingOneAlone)
{
    ASSERT_EQ(AppendToLog(2, Segments({})), LogWriteResult::Written);
    ASSERT_TRUE(fs::is_regular_file(LOG_COM3));
    EXPECT_EQ(fs::file_size(LOG_COM3), 0u);

    ASSERT_EQ(AppendToLog(2, Segments({"abc"})), LogWriteResult::Written);
    ASSERT_EQ(AppendToLog(2, Segments({""})), LogWriteResult::Written);
    EXPECT_EQ(Contents(LOG_COM3), "abc");
}

TEST_F(LogFile, FailsToOpenAFileThatAnotherWriterHolds)
{
    ASSERT_EQ(AppendToLog(2, Segments({"earlier"})), LogWriteResult::Written);
    const int holder = open(LOG_COM3.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(AppendToLog(2, Segments({"blocked"})), LogWriteResult::OpenFailed);
    EXPECT_EQ(Contents(LOG_COM3), "earlier");

    close(holder);
    EXPECT_EQ(AppendToLog(2, Segments({"+later"})), LogWriteResult::Written);
    EXPECT_EQ(Contents(LOG_COM3), "earlier+later");
}

TEST_F(LogFile, FailsToOpenWhenAFileNamedDatalogIsInTheWay)
{
    WriteFile("DATALOG", "not a directory");
    EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed);
    EXPECT_TRUE(fs::is_regular_file("DATALOG"));
    EXPECT_EQ(Contents("DATALOG"), "not a directory");
}

TEST_F(LogFile, FailsToOpenAFifoInsteadOfWaitingForAReader)
{
    ASSERT_TRUE(EnsureDirectory("DATALOG"));
    ASSERT_EQ(mkfifo(LOG_COM3.c_str(), 0644), 0);
    EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed);
}

TEST_F(LogFile, FailsToOpenInAReadOnlyDirectory)
{
    const struct
    {
        const char *name;
        const char *readOnly;
    } rows[] = {{"working directory", "."}, {"log directory", "DATALOG"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        fs::create_directories(row.readOnly);
        fs::permissions(row.readOnly, fs::perms::owner_write, fs::perm_options::remove);
        const auto check
            = [] { EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed); };
        EXPECT_TRUE(PassesInUnprivilegedChild(check));
        fs::permissions(row.readOnly, fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all("DATALOG");
    }
}

// The child writes under a file size limit that the append crosses part-way and reports the
// result as its exit status; a child ended by SIGXFSZ reports nothing.
int AppendUnderFileSizeLimit(rlim_t limit, const std::vector<std::string> &parts)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit fileSize = {limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
            _exit(100);
        _exit(static_cast<int>(AppendToLog(2, Segments(parts))));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LogFile, CutsAFailedAppendBackToTheEarlierLength)
{
    const std::string earlier = "earlier text\r\n";
    ASSERT_EQ(AppendToLog(2, Segments({earlier})), LogWriteResult::Written);

    // The first segment fits under the limit, the second is written in part.
    const std::vector<std::string> parts = {std::string(600, 'a'), std::string(4400, 'b')};
    EXPECT_EQ(AppendUnderFileSizeLimit(earlier.size() + 1000, parts),
              static_cast<int>(LogWriteResult::WriteFailed));
    EXPECT_EQ(Contents(LOG_COM3), earlier);

    EXPECT_EQ(AppendUnderFileSizeLimit(earlier.size() + 5000, parts),
              static_cast<int>(LogWriteResult::Written));
    EXPECT_EQ(Contents(LOG_COM3), earlier + parts[0] + parts[1]);
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

TEST_F(LogFile, EnsuresTheDirectoryOnlyWhereNothingElseIsInTheWay)
{
    EXPECT_TRUE(EnsureDirectory("DATALOG"));
    EXPECT_TRUE(IsDirectory("DATALOG"));
    EXPECT_TRUE(EnsureDirectory("DATALOG"));

    WriteFile("occupied", "x");
    EXPECT_FALSE(EnsureDirectory("occupied"));
    EXPECT_FALSE(EnsureDirectory("missing/child"));
}

} // namespace
