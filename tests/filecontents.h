#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>

// A file's bytes as a test reads them, and a wait for them that wakes on the file's changes.

inline std::string Contents(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Waits until the file at `path` holds `expected`, looking again whenever something in its
// directory changes, so that the file may also come into being meanwhile; false when the time is
// up first.
inline bool WaitForContents(const std::filesystem::path &path, const std::string &expected,
                            std::chrono::milliseconds timeout)
{
    const std::filesystem::path directory
        = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const int changes = inotify_init1(IN_CLOEXEC);
    if (changes < 0 || inotify_add_watch(changes, directory.c_str(), IN_CREATE | IN_MODIFY) < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool arrived = Contents(path) == expected;
    while (!arrived) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd wait {changes, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            break;
        char events[4096];
        if (read(changes, events, sizeof events) <= 0)
            break;
        arrived = Contents(path) == expected;
    }
    close(changes);
    return arrived;
}
