#pragma once

#include <cerrno>

// Repeats a system call that a signal interrupted; any other result, errno included, is the
// caller's.
template<typename Call> auto RetryOnInterrupt(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}
