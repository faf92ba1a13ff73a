#pragma once

#include <string>

class CDibSurface;

// Writes the surface's pixels as a PNG file at `path` (UTF-8) through the system's imaging
// component; false when the file could not be made or written.
bool SavePng(const CDibSurface &surface, const std::string &path);
