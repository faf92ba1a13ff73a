#pragma once

#include <functional>

// Permissions do not bind root, and CI runs as root. A check of how the program meets a read-only
// file or directory therefore runs in a forked child which, when the test runs as root, first
// gives the working directory and everything in it to NOBODY_ID and then becomes that user. The
// child reports its failures through GoogleTest's output; the parent sees only whether it passed.
// The child can also change what must not outlast the check, such as a resource limit.

inline constexpr unsigned NOBODY_ID = 65534;

// Runs check in the child; true when the child ran it without a failure and exited normally.
bool PassesInUnprivilegedChild(const std::function<void()> &check);
