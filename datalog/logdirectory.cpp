#include "logdirectory.h"

bool EnsureDirectory(const std::string &path)
{
    if (IsDirectory(path))
        return true;
    // Another process may create it between the test and the creation; what counts is that it
    // exists.
    return MakeDirectory(path) || IsDirectory(path);
}
