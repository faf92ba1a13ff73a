#pragma once

#include <string>

// The directory that holds the log files, created on demand.

// True if `path` names an existing directory (a symbolic link to one counts); false if nothing
// is there or the entry is something else.
bool IsDirectory(const std::string &path);

// True if `path` is a directory afterwards: it was one, or it has just been created.
bool EnsureDirectory(const std::string &path);
