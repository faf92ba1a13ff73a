#include "unprivilegedrun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int CHILD_FAILED = 1;
constexpr int CHILD_NOT_DROPPED = 2;

bool GiveWorkingDirectoryToNobody()
{
    if (lchown(".", NOBODY_ID, NOBODY_ID) != 0)
        return false;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(".")) {
        if (lchown(entry.path().c_str(), NOBODY_ID, NOBODY_ID) != 0)
            return false;
    }
    return true;
}

// Groups first: once the user id is dropped, the groups can no longer be changed.
bool BecomeNobody()
{
    return GiveWorkingDirectoryToNobody() && setgroups(0, nullptr) == 0 && setgid(NOBODY_ID) == 0
        && setuid(NOBODY_ID) == 0 && geteuid() == NOBODY_ID;
}

[[noreturn]] void RunChild(const std::function<void()> &check)
{
    if (geteuid() == 0 && !BecomeNobody()) {
        std::fprintf(stderr, "the child could not become user %u\n", NOBODY_ID);
        _exit(CHILD_NOT_DROPPED);
    }
    check();
    std::fflush(stdout);
    std::fflush(stderr);
    // _exit, so that nothing of the parent's (the test runner's exit, Qt's statics) runs twice.
    _exit(::testing::Test::HasFailure() ? CHILD_FAILED : 0);
}

} // namespace

bool PassesInUnprivilegedChild(const std::function<void()> &check)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0)
        RunChild(check);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
