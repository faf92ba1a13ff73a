#pragma once

#include <cstdio>
#include <string>

// Opens the file at `path` (UTF-8) for writing, made or emptied, as a binary stream; nullptr with
// errno set when it does not open. Each system takes its own way to a name in UTF-8.
std::FILE *OpenOutputFile(const std::string &path);
