#include "processstats.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::optional<std::string> ReadText(const std::string &path)
{
    std::ifstream file(path);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The number after `key` in a "Key:   value" file such as /proc/PID/status.
std::optional<std::uint64_t> StatusField(const std::string &path, const std::string &key)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) == 0 && line.size() > key.size()
            && line[key.size()] == ':')
            return std::strtoull(line.c_str() + key.size() + 1, nullptr, 10);
    }
    return std::nullopt;
}

// User and system time from a /proc stat file, of a process or of one of its threads.
std::optional<double> StatCpuSeconds(const std::string &path)
{
    const std::optional<std::string> stat = ReadText(path);
    if (!stat)
        return std::nullopt;
    // The name in parentheses may hold blanks; the fields are counted after it. utime and stime
    // are fields 14 and 15 of the line, the 12th and 13th after the name.
    const std::size_t nameEnd = stat->rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat->substr(nameEnd + 1));
    std::string skipped;
    for (int i = 0; i < 11; ++i)
        fields >> skipped;
    unsigned long long userTicks = 0;
    unsigned long long systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks))
        return std::nullopt;
    return static_cast<double>(userTicks + systemTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

CProcessStats::CProcessStats(pid_t pid)
    : m_directory("/proc/" + std::to_string(pid))
{ }

std::optional<double> CProcessStats::CpuSeconds() const
{
    return StatCpuSeconds(m_directory + "/stat");
}

std::map<std::string, double> CProcessStats::CpuSecondsByThreadName() const
{
    std::map<std::string, double> seconds;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator(m_directory + "/task", error)) {
        const std::optional<std::string> comm = ReadText(task.path().string() + "/comm");
        const std::optional<double> cpu = StatCpuSeconds(task.path().string() + "/stat");
        if (comm && cpu)
            seconds[comm->substr(0, comm->find('\n'))] += *cpu;
    }
    return seconds;
}

std::optional<std::uint64_t> CProcessStats::ResidentBytes() const
{
    const std::optional<std::uint64_t> kilobytes = StatusField(m_directory + "/status", "VmRSS");
    if (!kilobytes)
        return std::nullopt;
    return *kilobytes * 1024;
}

std::optional<pid_t> CProcessStats::ThreadNamed(const std::string &name) const
{
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator(m_directory + "/task", error)) {
        const std::optional<std::string> comm = ReadText(task.path().string() + "/comm");
        if (comm && *comm == name + "\n")
            return static_cast<pid_t>(std::stol(task.path().filename().string()));
    }
    return std::nullopt;
}

std::optional<std::uint64_t> CProcessStats::VoluntarySwitches(pid_t thread) const
{
    return StatusField(m_directory + "/task/" + std::to_string(thread) + "/status",
                       "voluntary_ctxt_switches");
}

std::optional<std::uint64_t> CProcessStats::VoluntarySwitchesOfAllThreads() const
{
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator(m_directory + "/task", error)) {
        const std::optional<std::uint64_t> switches
            = StatusField(task.path().string() + "/status", "voluntary_ctxt_switches");
        total += switches.value_or(0);
    }
    if (error)
        return std::nullopt;
    return total;
}

bool CProcessStats::HasOpen(const std::string &path) const
{
    std::error_code error;
    for (const auto &fd : std::filesystem::directory_iterator(m_directory + "/fd", error)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(fd.path(), unreadable) == path)
            return true;
    }
    return false;
}
