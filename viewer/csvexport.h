#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

class CRecording;

// Writes frames [first, last) of a recording as CSV (RFC 4180, UTF-8, CRLF line ends): a header
// line, then per frame its number, its byte position, the four digit bytes of X, Y and Z as they
// stand in the file and their plot values at the bit length code, with empty cells for channels
// the frame lacks. A digit byte that is not printable ASCII, and the backslash, are written as
// \xHH so that the text stays valid UTF-8 and the bytes can be told apart. Written in pieces, so
// a file of any length takes little memory. False with the reason, for the user, when the file
// could not be read or the output not written.
bool WriteCsv(const CRecording &recording, std::int64_t first, std::int64_t last, std::int32_t code,
              std::FILE *out, std::string &failure);

// Writes every frame of the file: waits until the scan has found them all, so that an export
// asked for while the scan still runs holds the whole file too.
bool WriteWholeCsv(const CRecording &recording, std::int32_t code, std::FILE *out,
                   std::string &failure);

// Writes frames [first, last) into a file of their own at `path` (UTF-8), after the UTF-8 mark,
// on the calling thread; without a last frame, every frame of the file. False with the reason,
// for the user, when the file could not be made or written or the log not read.
bool WriteCsvFile(const CRecording &recording, std::int64_t first, std::optional<std::int64_t> last,
                  std::int32_t code, const std::string &path, std::string &failure);
