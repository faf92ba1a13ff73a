#pragma once

#include <cstdint>
#include <string>

class CRecording;

// The viewer's texts that depend on the log, the same in each system's window. UTF-8.

// The window's title: the log's file name in the viewer's title.
std::string ViewerTitle(const std::string &logPath);

// The frame's number, its byte position and, per channel it carries, its letter, its four digit
// bytes as they stand in the file and its plot value at the bit length code; empty when the frame
// is not known (or `frame` is -1).
std::string ReadoutText(const CRecording &recording, std::int64_t frame, std::int32_t code);

// The file proposed for a save: beside the log, named after it with `suffix` (".csv") in place of
// its last extension.
std::string SuggestedFile(const std::string &logPath, const char *suffix);

// The text of the scan's progress with the share read, in whole percent, in place of %p.
std::string ScanProgressText(std::int64_t scanned, std::int64_t size);
