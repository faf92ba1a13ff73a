#include "programrun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int KILL_GRACE_MS = 5'000;

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (std::string &string : strings)
        pointers.push_back(string.data());
    pointers.push_back(nullptr);
    return pointers;
}

int ExitStatus(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

pid_t Spawn(std::vector<std::string> arguments, std::vector<std::string> environment,
            const posix_spawn_file_actions_t *actions)
{
    for (char **variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    std::vector<char *> argv = Pointers(arguments);
    std::vector<char *> envp = Pointers(environment);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), envp.data());
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot start " + arguments[0]);
    return pid;
}

} // namespace

CProgramRun::CProgramRun(const std::vector<std::string> &arguments,
                         const std::vector<std::string> &environment, const std::string &stdoutPath,
                         const std::string &stderrPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    try {
        m_pid = Spawn(arguments, environment, &actions);
    } catch (...) {
        posix_spawn_file_actions_destroy(&actions);
        throw;
    }
    posix_spawn_file_actions_destroy(&actions);
}

CProgramRun::~CProgramRun()
{
    if (m_status)
        return;
    if (!Terminate(KILL_GRACE_MS)) {
        ::kill(m_pid, SIGKILL);
        WaitForExit(KILL_GRACE_MS);
    }
}

std::optional<int> CProgramRun::WaitForExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_status) {
        int status = 0;
        const pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
        if (ended == m_pid)
            m_status = ExitStatus(status);
        else if (ended < 0 && errno != EINTR)
            m_status = -1;
        else if (std::chrono::steady_clock::now() > deadline)
            break;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

std::optional<int> CProgramRun::Terminate(int timeoutMs)
{
    if (!m_status)
        ::kill(m_pid, SIGTERM);
    return WaitForExit(timeoutMs);
}

int RunCommand(const std::vector<std::string> &arguments)
{
    try {
        const pid_t pid = Spawn(arguments, {}, nullptr);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR)
                return -1;
        }
        return ExitStatus(status);
    } catch (const std::system_error &) {
        return -1;
    }
}
