#pragma once

struct PortSettings;

// rs232c.ini in the working directory: reading it, and replacing it so that it is never left
// half written.

inline constexpr const char *SETTINGS_FILE_NAME = "rs232c.ini";

// Decodes the file's first record into settings. Returns false, leaving settings untouched, when
// there is no file, it cannot be read, or it holds no well-formed record.
bool ReadSettingsFile(PortSettings &settings);

// Writes the record to a temporary file beside rs232c.ini, flushes it to the disk and renames it
// over the old file. Returns false, with the old file as it was and no temporary file left, when
// the target cannot be written: an existing file that is read-only or locked by another holder,
// something other than a plain file in the way, a directory that takes no new file, or a failed
// write.
bool WriteSettingsFile(const PortSettings &settings);
