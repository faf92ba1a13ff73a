// Runs the built program with --view, which starts the viewer alone.

#include "tempworkdir.h"
#include "viewertesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

bool HoldsOpen(pid_t pid, const fs::path &path)
{
    std::error_code error;
    for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (fs::read_symlink(fd.path(), error) == path)
            return true;
    return false;
}

// The offscreen platform comes with the tests' environment.
TEST(ViewerCommand, ViewOpensTheFileWithoutPortOrSettings)
{
    const CTempWorkDir workDir;
    WriteFile("run.txt", Repeated("X07FFY0801Z0ABC\r\n", 100));
    const fs::path log = fs::current_path() / "run.txt";
    char *const argv[] = {const_cast<char *>(ORVANTA_PATH), const_cast<char *>("--view"),
                          const_cast<char *>("run.txt"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, ORVANTA_PATH, nullptr, nullptr, argv, environ), 0);

    // The process's table of open files changes without telling anyone: it is looked at again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool opened = false;
    while (!(opened = HoldsOpen(pid, log)) && std::chrono::steady_clock::now() < deadline
           && waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(opened);
    EXPECT_FALSE(fs::exists("rs232c.ini"));
    EXPECT_FALSE(fs::exists("DATALOG"));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

} // namespace
