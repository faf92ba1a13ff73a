#pragma once

#include "fileio.h"

#include <string>

// The directory that holds the log files, created on demand.

// True if `path` is a directory afterwards: it was one, or it has just been created.
bool EnsureDirectory(const std::string &path);
