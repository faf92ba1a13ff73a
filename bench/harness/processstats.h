#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

// What /proc tells about a running process: the processor time of all its threads, its
// resident memory, its threads by name and how often each has gone to sleep, and the files it
// holds open. Every reading is taken afresh; none is kept.
class CProcessStats
{
public:
    explicit CProcessStats(pid_t pid);

    // User and system time of every thread, from /proc/PID/stat.
    std::optional<double> CpuSeconds() const;
    // The same for each living thread, summed over threads of one name.
    std::map<std::string, double> CpuSecondsByThreadName() const;
    // VmRSS from /proc/PID/status.
    std::optional<std::uint64_t> ResidentBytes() const;
    // The first thread whose name is `name`.
    std::optional<pid_t> ThreadNamed(const std::string &name) const;
    // How often a thread has blocked of its own accord (a wait in poll, a read); each block is
    // followed by one wake-up.
    std::optional<std::uint64_t> VoluntarySwitches(pid_t thread) const;
    // The same summed over every thread of the process.
    std::optional<std::uint64_t> VoluntarySwitchesOfAllThreads() const;
    // Whether one of the process's descriptors leads to `path`.
    bool HasOpen(const std::string &path) const;

private:
    std::string m_directory;
};
