#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The program's log files against the record of what the device sent. Each clear and the close
// append the text to the log of their minute, so the files read in the order of their names'
// times, one after the other, must be the record byte for byte.
struct LogComparison
{
    int files = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t loggedBytes = 0;
    // The first offset at which the logs and the record differ, if they do.
    std::optional<std::uint64_t> firstDifference;

    // Sent bytes that no log holds, counted up to the first difference.
    std::uint64_t LostBytes() const;
};

LogComparison CompareLogsWithRecord(const std::string &logDirectory, const std::string &record);
