#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A program that the harness starts and ends. Its output goes to files; a run that is still
// going when the object goes is stopped (SIGTERM, then SIGKILL) and reaped.
class CProgramRun
{
public:
    // `arguments` starts with the program's path; `environment` holds extra NAME=value pairs.
    // Throws std::system_error when the program cannot be started.
    CProgramRun(const std::vector<std::string> &arguments,
                const std::vector<std::string> &environment, const std::string &stdoutPath,
                const std::string &stderrPath);
    ~CProgramRun();
    CProgramRun(const CProgramRun &) = delete;
    CProgramRun &operator=(const CProgramRun &) = delete;

    pid_t Pid() const { return m_pid; }
    // The exit status once the program has ended within `timeoutMs`; -1 for a signal.
    std::optional<int> WaitForExit(int timeoutMs);
    // Sends SIGTERM and waits for the end.
    std::optional<int> Terminate(int timeoutMs);

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs a command to its end and returns its exit status (-1 when it could not run).
int RunCommand(const std::vector<std::string> &arguments);
