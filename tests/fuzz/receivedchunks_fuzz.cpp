// Feeds any bytes, cut into chunks anywhere, through what the main window does with each chunk
// from the reader: pad it for the parser, append it to the received text, count it, decode its
// frames into the samples. Between chunks the bit length may change and the display may be
// cleared. After every input the store must hold exactly the bytes fed since the last clear, with
// a line index that does not depend on where the chunks were cut, and the samples must stay
// inside one sweep.
#include "frameparser.h"
#include "receivedtext.h"
#include "samplebuffers.h"
#include "shiftjis.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A broken invariant ends the run with a report, like a sanitizer finding.
void Require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string Copy(const CReceivedText &text, std::uint64_t from, std::uint64_t to)
{
    std::string bytes;
    text.CopyRange(from, to, bytes);
    return bytes;
}

bool IsBreak(const std::string &gap)
{
    return gap.empty() || gap == "\r" || gap == "\n" || gap == "\r\n";
}

// Whether the line ends on a lead byte whose trail byte has not come yet.
bool EndsInsideCharacter(const std::string &line)
{
    bool leadPending = false;
    for (const char ch : line) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool trail = leadPending && IsShiftJisTrailByte(byte);
        leadPending = !trail && IsShiftJisLeadByte(byte);
    }
    return leadPending;
}

void CheckLineIndex(const CReceivedText &text, const std::string &bytes)
{
    const std::uint64_t lines = text.LineCount();
    Require(lines >= 1, "at least one line");
    std::uint64_t longest = 0;
    std::uint64_t previousEnd = 0;
    std::string previousLine;
    for (std::uint64_t line = 0; line < lines; ++line) {
        const CReceivedText::LineRange range = text.Line(line);
        Require(range.begin <= range.end && range.end <= bytes.size(), "line inside the text");
        Require(range.begin >= previousEnd, "lines in order");
        const std::string gap = bytes.substr(previousEnd, range.begin - previousEnd);
        Require(line == 0 ? range.begin == 0 : IsBreak(gap), "one break between lines");
        if (line > 0 && gap.empty()) {
            Require(previousLine.size() + 1 >= CReceivedText::DISPLAY_LINE_LIMIT,
                    "a line broken without a break is full");
            Require(!(EndsInsideCharacter(previousLine)
                      && IsShiftJisTrailByte(static_cast<unsigned char>(bytes[range.begin]))),
                    "a character is never cut");
        }
        if (gap == "\r")
            Require(range.begin == bytes.size() || bytes[range.begin] != '\n',
                    "CR LF is one break");
        const std::string content = bytes.substr(range.begin, range.end - range.begin);
        Require(content.find_first_of("\r\n") == std::string::npos, "no break inside a line");
        Require(content.size() <= CReceivedText::DISPLAY_LINE_LIMIT, "line within the limit");
        longest = std::max<std::uint64_t>(longest, content.size());

        // The first and last offsets of the line and of its break, and one between.
        const std::uint64_t next = line + 1 < lines ? text.Line(line + 1).begin : bytes.size() + 1;
        for (const std::uint64_t offset :
             {range.begin, range.begin + (next - range.begin) / 2, range.end, next - 1}) {
            Require(offset >= next || text.LineAt(offset) == line, "every offset finds its line");
        }
        previousEnd = range.end;
        previousLine = content;
    }
    Require(text.Line(lines - 1).end == bytes.size(), "the last line ends the text");
    Require(text.LongestLineLength() == longest, "longest line length");
}

// The index must be the same whether the bytes came in one piece or in many.
void CheckIndexIgnoresChunkBoundaries(const CReceivedText &text, const std::string &bytes)
{
    CReceivedText whole;
    whole.Append(bytes.data(), bytes.size());
    Require(whole.LineCount() == text.LineCount(), "line count independent of chunking");
    for (std::uint64_t line = 0; line < whole.LineCount(); ++line) {
        const CReceivedText::LineRange a = whole.Line(line);
        const CReceivedText::LineRange b = text.Line(line);
        Require(a.begin == b.begin && a.end == b.end, "lines independent of chunking");
    }
}

// from and to may lie past the end, where the copy clamps them.
void CheckText(const CReceivedText &text, const std::string &bytes, std::uint64_t byteCount,
               std::uint64_t from, std::uint64_t to)
{
    Require(text.Size() == byteCount, "the counter equals the bytes fed");
    Require(Copy(text, 0, text.Size()) == bytes, "the store holds the bytes in order");
    const std::string expected = from < to && from < bytes.size()
        ? bytes.substr(from, std::min<std::uint64_t>(to, bytes.size()) - from)
        : std::string();
    Require(Copy(text, from, to) == expected, "a range copies its bytes");
    CheckLineIndex(text, bytes);
    CheckIndexIgnoresChunkBoundaries(text, bytes);
}

void CheckSamples(const SampleBuffers &samples)
{
    Require(samples.writeIndex >= 0 && samples.writeIndex < SWEEP_LENGTH,
            "the write index stays in the sweep");
    for (const std::int32_t *channel : {samples.x, samples.y, samples.z}) {
        Require(std::all_of(channel + SWEEP_LENGTH, channel + SAMPLE_CAPACITY,
                            [](std::int32_t value) { return value == EMPTY_SAMPLE; }),
                "slots past the sweep stay empty");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto copyFrom = input.ConsumeIntegral<std::uint16_t>();
    const auto copyTo = input.ConsumeIntegral<std::uint16_t>();
    // On the heap, so that a read past the padding is caught.
    auto chunk = std::make_unique<ChunkText>();
    auto samples = std::make_unique<SampleBuffers>();
    EmptySamples(*samples);
    CReceivedText text;
    std::string fed;
    std::uint64_t byteCount = 0;

    while (input.remaining_bytes() > 0) {
        g_bitLengthSel = input.ConsumeIntegralInRange<std::int32_t>(1, 5);
        if (input.ConsumeProbability<float>() < 0.05f) {
            text.Clear();
            EmptySamples(*samples);
            fed.clear();
            byteCount = 0;
        }
        const int length = input.ConsumeIntegralInRange<int>(1, READ_BUFFER_SIZE - 1);
        // A device repeats itself; repeated chunks carry the text past the store's segments.
        const int repeats
            = input.ConsumeProbability<float>() < 0.1f ? input.ConsumeIntegralInRange(2, 40) : 1;
        const std::vector<char> bytes = input.ConsumeBytes<char>(static_cast<std::size_t>(length));
        if (bytes.empty())
            break;
        for (int i = 0; i < repeats; ++i) {
            FillChunkText(*chunk, bytes.data(), static_cast<int>(bytes.size()));
            text.Append(bytes.data(), bytes.size());
            byteCount += bytes.size();
            fed.append(bytes.data(), bytes.size());
            ParseFrames(*chunk, *samples);
            CheckSamples(*samples);
        }
    }
    CheckText(text, fed, byteCount, copyFrom, copyTo);
    return 0;
}
