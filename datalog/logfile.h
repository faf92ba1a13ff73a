#pragma once

#include "lognames.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The log files: the received bytes of a port, appended unchanged to one file per port and
// minute (lognames.h). A file is opened, locked, written and closed within one call and never
// read back. Used on the main window's thread.

// Written: every byte is in the file and on the device. OpenFailed: nothing was written.
// WriteFailed: the file has been cut back to its length before the append.
enum class LogWriteResult { Written, OpenFailed, WriteFailed };

// Takes one segment of the text; returns false once the file takes nothing more, so the caller
// may stop visiting.
using LogSegmentSink = std::function<bool(const char *data, std::size_t length)>;

// Hands every segment of the text, in order, to the sink. The bytes are written from where they
// lie, one write per segment. False when the text could not all be handed over (its file could
// not be read); the log is then cut back as after a failed write.
using SegmentVisitor = std::function<bool(const LogSegmentSink &sink)>;

// Appends the segments' bytes to the file at `path`, creating it if needed, and nothing else:
// an empty text still creates the file. Fails to open when another writer holds the file.
LogWriteResult AppendToLogFile(const std::string &path, const SegmentVisitor &segments);

// Appends the segments to the log file of port `portIndex` for the current minute, creating
// the log directory first if it is missing.
LogWriteResult AppendToLog(std::uint32_t portIndex, const SegmentVisitor &segments);
