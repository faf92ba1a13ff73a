#include "csvexport.h"

#include "frameparser.h"
#include "outputfile.h"
#include "recording.h"
#include "texts.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr std::int64_t FRAMES_PER_PIECE = 16384;
constexpr const char *CRLF = "\r\n";
constexpr const char *UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

std::string SystemFailure(const char *text)
{
    return std::string(text) + "：" + std::strerror(errno);
}

bool StandsAsItIs(char ch)
{
    const auto byte = static_cast<unsigned char>(ch);
    return byte >= 0x20 && byte < 0x7F && byte != '\\';
}

bool NeedsQuotes(char ch)
{
    return ch == ',' || ch == '"';
}

// The digits follow 0x, so that a spreadsheet keeps them as text: bare, 0800 would read as 800
// and 1E10 as a number in scientific notation.
void AppendDigits(std::string &row, const char (&digits)[4])
{
    const bool quoted = std::any_of(std::begin(digits), std::end(digits), NeedsQuotes);
    if (quoted)
        row += '"';
    row += "0x";
    for (const char ch : digits) {
        if (!StandsAsItIs(ch)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(ch));
            row += escaped;
            continue;
        }
        if (ch == '"')
            row += '"';
        row += ch;
    }
    if (quoted)
        row += '"';
}

void AppendNumber(std::string &row, std::int64_t number)
{
    char text[24];
    const std::to_chars_result end = std::to_chars(std::begin(text), std::end(text), number);
    row.append(text, end.ptr);
}

void AppendRow(std::string &out, const RecordedFrame &frame, std::int32_t code)
{
    AppendNumber(out, frame.number);
    out += ',';
    AppendNumber(out, frame.bytePosition);
    for (int ch = 0; ch < 3; ++ch) {
        out += ',';
        if (ch < frame.channels)
            AppendDigits(out, frame.digits[ch]);
    }
    for (int ch = 0; ch < 3; ++ch) {
        out += ',';
        if (ch < frame.channels)
            AppendNumber(out, DecodeChannelValue(frame.digits[ch], code));
    }
    out += CRLF;
}

// A piece left in the stream's buffer could still fail to be written, so each is flushed.
bool Write(const std::string &text, std::FILE *out, std::string &failure)
{
    if (std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0)
        return true;
    failure = SystemFailure(Strings::CSV_CANNOT_WRITE);
    return false;
}

} // namespace

bool WriteCsv(const CRecording &recording, std::int64_t first, std::int64_t last, std::int32_t code,
              std::FILE *out, std::string &failure)
{
    std::string piece = std::string(Strings::CSV_HEADER) + CRLF;
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, recording.FrameCount());
    for (std::int64_t next = first; next < last;) {
        const std::int64_t count = std::min(FRAMES_PER_PIECE, last - next);
        const std::vector<RecordedFrame> frames = recording.Frames(next, count);
        if (static_cast<std::int64_t>(frames.size()) != count) {
            failure = Strings::LOG_CANNOT_READ;
            return false;
        }
        for (const RecordedFrame &frame : frames)
            AppendRow(piece, frame, code);
        if (!Write(piece, out, failure))
            return false;
        piece.clear();
        next += count;
    }
    return Write(piece, out, failure);
}

bool WriteWholeCsv(const CRecording &recording, std::int32_t code, std::FILE *out,
                   std::string &failure)
{
    recording.WaitForScan();
    return WriteCsv(recording, 0, recording.FrameCount(), code, out, failure);
}

bool WriteCsvFile(const CRecording &recording, std::int64_t first, std::optional<std::int64_t> last,
                  std::int32_t code, const std::string &path, std::string &failure)
{
    std::FILE *out = OpenOutputFile(path);
    if (out == nullptr) {
        failure = SystemFailure(Strings::CSV_CANNOT_WRITE);
        return false;
    }
    // A spreadsheet reads a file without the UTF-8 mark in the system's code page, which turns
    // the Japanese header into nonsense; standard output, for scripts, goes without it.
    bool written = std::fputs(UTF8_BYTE_ORDER_MARK, out) >= 0;
    if (!written)
        failure = SystemFailure(Strings::CSV_CANNOT_WRITE);
    written = written
        && (last ? WriteCsv(recording, first, *last, code, out, failure)
                 : WriteWholeCsv(recording, code, out, failure));
    if (std::fclose(out) != 0 && written) {
        failure = SystemFailure(Strings::CSV_CANNOT_WRITE);
        written = false;
    }
    return written;
}
