#include "logcheck.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr std::size_t BLOCK_SIZE = 1 << 20;

struct LogFile
{
    std::array<int, 5> time; // year, month, day, hour, minute
    std::filesystem::path path;
};

// "COM1_2026_12_7_18_5_DataLogger.txt": the numbers carry no leading zeros, so the names do not
// sort by time as text.
std::vector<LogFile> LogsInTimeOrder(const std::string &directory)
{
    std::vector<LogFile> logs;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(directory, error)) {
        LogFile log {{}, entry.path()};
        int port = 0;
        const std::string name = entry.path().filename().string();
        if (std::sscanf(name.c_str(), "COM%d_%d_%d_%d_%d_%d_DataLogger.txt", &port, &log.time[0],
                        &log.time[1], &log.time[2], &log.time[3], &log.time[4])
            == 6)
            logs.push_back(log);
    }
    std::sort(logs.begin(), logs.end(),
              [](const LogFile &a, const LogFile &b) { return a.time < b.time; });
    return logs;
}

} // namespace

std::uint64_t LogComparison::LostBytes() const
{
    const std::uint64_t matched = std::min(firstDifference.value_or(loggedBytes), loggedBytes);
    return sentBytes > matched ? sentBytes - matched : 0;
}

LogComparison CompareLogsWithRecord(const std::string &logDirectory, const std::string &record)
{
    LogComparison comparison;
    std::ifstream sent(record, std::ios::binary);
    std::vector<char> logged(BLOCK_SIZE);
    std::vector<char> expected(BLOCK_SIZE);
    for (const LogFile &log : LogsInTimeOrder(logDirectory)) {
        ++comparison.files;
        std::ifstream file(log.path, std::ios::binary);
        while (file) {
            file.read(logged.data(), static_cast<std::streamsize>(logged.size()));
            const auto got = static_cast<std::size_t>(file.gcount());
            sent.read(expected.data(), static_cast<std::streamsize>(got));
            const auto compared = static_cast<std::size_t>(sent.gcount());
            const auto mismatch
                = std::mismatch(logged.begin(), logged.begin() + compared, expected.begin());
            if (!comparison.firstDifference
                && (mismatch.first != logged.begin() + compared || compared < got))
                comparison.firstDifference = comparison.loggedBytes
                    + static_cast<std::uint64_t>(mismatch.first - logged.begin());
            comparison.loggedBytes += got;
        }
    }
    comparison.sentBytes = std::filesystem::file_size(record);
    if (!comparison.firstDifference && comparison.loggedBytes < comparison.sentBytes)
        comparison.firstDifference = comparison.loggedBytes;
    return comparison;
}
