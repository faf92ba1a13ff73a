#pragma once

#include "journalmove.h"
#include "logfile.h"
#include "logtimestamp.h"
#include "receivejournal.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

// What the tests of the log and the journal share on both systems: the files they look at and
// the arrangements that only one system can make, defined in that system's test file.

namespace fs = std::filesystem;

inline const std::string JOURNAL = "DATALOG/.journal";
inline const std::string MOVING = "DATALOG/.journal.moving";
inline const std::string RECORD = "DATALOG/.journal.clear";
inline const std::string RECOVERED_LOG = "DATALOG/recovered.txt";
// The log that the tests of the journal's move take it into.
inline const std::string LOG = "DATALOG/COM1_2026_12_8_21_5_DataLogger.txt";

// A path given in UTF-8, as the program's paths are, whatever the system's narrow code page.
inline fs::path Utf8Path(const std::string &path)
{
    return fs::path(std::u8string(path.begin(), path.end()));
}

inline std::string ContentsOf(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Each log test runs in a fresh, empty working directory with the log clock at 7 December 2026
// 18:05 Japan time.
class LogFile : public ::testing::Test
{
protected:
    static constexpr std::chrono::sys_days DAY {std::chrono::year {2026} / 12 / 7};
    static constexpr std::chrono::system_clock::time_point NOW
        = DAY + std::chrono::hours {9} + std::chrono::minutes {5};
    inline static const std::string LOG_COM3 = "./DATALOG/COM3_2026_12_7_18_5_DataLogger.txt";

    void SetUp() override
    {
        m_now = NOW;
        SetLogClock([this] { return m_now; });
    }

    void TearDown() override { SetLogClock({}); }

    CTempWorkDir m_workDir;
    std::chrono::system_clock::time_point m_now;
};

inline SegmentVisitor Segments(std::vector<std::string> parts)
{
    return [parts = std::move(parts)](const LogSegmentSink &sink) {
        for (const std::string &part : parts) {
            if (!sink(part.data(), part.size()))
                return false;
        }
        return true;
    };
}

// Long enough that queued bytes stay queued until the test flushes them.
inline constexpr std::chrono::milliseconds NEVER_BY_ITSELF = std::chrono::hours {1};

// Each test runs in a fresh, empty working directory.
class ReceiveJournal : public ::testing::Test
{
protected:
    CTempWorkDir m_workDir;
};

// Takes everything appended since the last clear into the log at `logPath`.
inline bool Clear(CReceiveJournal &journal, const std::string &logPath, std::uint64_t length)
{
    journal.BeginMove();
    const bool written = journal.MoveIntoLog(logPath, length, {}) == LogWriteResult::Written;
    journal.EndMove();
    return written;
}

// The program runs on without the journal; nothing is created where it cannot be.
inline bool TakesNothing(CReceiveJournal &journal)
{
    const bool opened = journal.Open();
    journal.Append("lost", 4);
    const bool flushed = journal.Flush();
    journal.Clear();
    journal.Close();
    return !opened && !journal.IsOpen() && !flushed;
}

// Which file the path names, whatever its name: a renamed file keeps it, a copy does not.
std::uint64_t FileIdentity(const std::string &path);

// Makes the journal unopenable for a run; returns what undoes it.
using Arrangement = std::function<std::function<void()>()>;

struct ArrangementCase
{
    const char *name;
    Arrangement arrange;
};

// Ways of keeping the journal from opening that only this system has.
extern const std::vector<ArrangementCase> SYSTEM_UNOPENABLE_JOURNAL_CASES;

// A copy of the journal onto the end of LOG, made to fail as the case arranges; gives its result.
struct FailedCopyCase
{
    const char *name;
    std::function<MoveResult()> copy;
};

// Ways of making the copy fail that only this system has.
extern const std::vector<FailedCopyCase> SYSTEM_FAILED_COPY_CASES;
