#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

// The CPU time, user and system, that the thread of this process called `name` has used so far,
// as the kernel counts it in clock ticks in /proc/self/task/<id>/stat; none while no thread has
// that name. A thread that waits in the kernel uses next to none, one that spins nearly all.
inline std::optional<std::chrono::milliseconds> ThreadCpuTime(const std::string &name)
{
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name)
            continue;
        std::string stat;
        std::getline(std::ifstream(task.path() / "stat"), stat);
        // The name in parentheses may hold spaces; the fields after it are the state, then
        // ten more before user time and system time.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int skipped = 0; skipped < 11; ++skipped)
            fields >> field;
        long long userTicks = 0;
        long long systemTicks = 0;
        fields >> userTicks >> systemTicks;
        return std::chrono::milliseconds((userTicks + systemTicks) * 1000 / sysconf(_SC_CLK_TCK));
    }
    return std::nullopt;
}

// The CPU time the thread called `name` uses while `pass` runs; max() when there is no such
// thread before or after.
template<typename Action>
std::chrono::milliseconds ThreadCpuTimeDuring(const std::string &name, Action pass)
{
    const std::optional<std::chrono::milliseconds> before = ThreadCpuTime(name);
    pass();
    const std::optional<std::chrono::milliseconds> after = ThreadCpuTime(name);
    return before && after ? *after - *before : std::chrono::milliseconds::max();
}
