#include "logdirectory.h"

#include <sys/stat.h>

bool IsDirectory(const std::string &path)
{
    struct stat entry;
    return stat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode);
}

bool EnsureDirectory(const std::string &path)
{
    if (IsDirectory(path))
        return true;
    // Another process may create it between the test and mkdir; what counts is that it exists.
    return mkdir(path.c_str(), 0777) == 0 || IsDirectory(path);
}
