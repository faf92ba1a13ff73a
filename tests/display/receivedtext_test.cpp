#include "receivedtext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Every block that this test program takes from the heap counts while it lives, so that the
// memory tests see what the store really holds.
std::atomic<std::int64_t> g_liveBytes {0};
constexpr std::size_t BLOCK_HEADER = alignof(std::max_align_t);

std::int64_t LiveBytes()
{
    return g_liveBytes.load();
}

} // namespace

// Kept out of line: where the compiler inlines them into a caller (it may when nothing can
// interpose them, as on Windows), it follows the header arithmetic into a block it knows the size
// of and warns of bounds and allocators that it reads wrong.
[[gnu::noinline]] void *operator new(std::size_t size)
{
    auto *block = static_cast<char *>(std::malloc(size + BLOCK_HEADER));
    if (!block)
        throw std::bad_alloc();
    *reinterpret_cast<std::size_t *>(block) = size;
    g_liveBytes += static_cast<std::int64_t>(size);
    return block + BLOCK_HEADER;
}

[[gnu::noinline]] void operator delete(void *pointer) noexcept
{
    if (!pointer)
        return;
    char *block = static_cast<char *>(pointer) - BLOCK_HEADER;
    g_liveBytes -= static_cast<std::int64_t>(*reinterpret_cast<std::size_t *>(block));
    std::free(block);
}

void operator delete(void *pointer, std::size_t) noexcept
{
    operator delete(pointer);
}

namespace {

// A backing that keeps what it is handed in a temporary file; it can fall behind the text,
// as the journal does between its writes, and it can fail. It counts the reads, so that a test
// can tell that the text came back from it.
class CHeldBacking : public CTextBacking
{
public:
    CHeldBacking()
        : m_file(std::tmpfile())
    { }
    ~CHeldBacking() override { std::fclose(m_file); }
    CHeldBacking(const CHeldBacking &) = delete;
    CHeldBacking &operator=(const CHeldBacking &) = delete;

    std::uint64_t StoredSize() const override { return m_stored; }
    bool ReadStored(std::uint64_t offset, char *buffer, std::size_t length) const override
    {
        ++m_reads;
        if (m_failing || offset + length > m_stored)
            return false;
        return std::fseek(m_file, static_cast<long>(offset), SEEK_SET) == 0
            && std::fread(buffer, 1, length, m_file) == length;
    }
    void Store(const std::string &bytes)
    {
        if (std::fseek(m_file, static_cast<long>(m_stored), SEEK_SET) == 0
            && std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size())
            m_stored += bytes.size();
    }
    void Fail() { m_failing = true; }
    std::uint64_t Reads() const { return m_reads; }

private:
    std::FILE *m_file;
    std::uint64_t m_stored = 0;
    mutable std::uint64_t m_reads = 0;
    bool m_failing = false;
};

using Lines = std::vector<std::string>;

void AppendString(CReceivedText &text, const std::string &bytes)
{
    text.Append(bytes.data(), bytes.size());
}

// Appends `bytes` in pieces of `chunkLength`.
void AppendInChunks(CReceivedText &text, const std::string &bytes, std::size_t chunkLength)
{
    for (std::size_t at = 0; at < bytes.size(); at += chunkLength)
        text.Append(bytes.data() + at, std::min(chunkLength, bytes.size() - at));
}

Lines LinesOf(const CReceivedText &text)
{
    Lines lines;
    std::string bytes;
    for (std::uint64_t line = 0; line < text.LineCount(); ++line) {
        const CReceivedText::LineRange range = text.Line(line);
        text.CopyRange(range.begin, range.end, bytes);
        lines.push_back(bytes);
    }
    return lines;
}

std::string Everything(const CReceivedText &text)
{
    std::string bytes;
    text.ForEachSegment([&](const char *data, std::size_t length) { bytes.append(data, length); });
    return bytes;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

const std::string FRAME = "X07FFY0801Z0ABC\r\n";
const std::string KATAKANA_E = Bytes({0x83, 0x47});

struct LineCase
{
    const char *name;
    std::vector<std::string> chunks;
    Lines lines;
};

const LineCase LINE_CASES[] = {
    {"NoText", {}, {""}},
    {"LineFeed", {"ab\ncd"}, {"ab", "cd"}},
    {"CarriageReturnLineFeed", {"ab\r\ncd"}, {"ab", "cd"}},
    {"CarriageReturnLineFeedSplitOverChunks", {"ab\r", "\ncd"}, {"ab", "cd"}},
    {"CarriageReturnAloneInTheMiddle", {"ab\rcd"}, {"ab", "cd"}},
    {"CarriageReturnAloneAtTheEnd", {"ab\r"}, {"ab", ""}},
    {"CarriageReturnAloneThenChunkWithoutLineFeed", {"ab\r", "cd"}, {"ab", "cd"}},
    {"TwoCarriageReturnsThenLineFeed", {"a\r\r\nb"}, {"a", "", "b"}},
    {"LineFeedThenCarriageReturn", {"a\n\rb"}, {"a", "", "b"}},
    {"BreaksAlone", {"\r", "\n", "\r", "\n", "\n"}, {"", "", "", ""}},
    {"BreakAtTheEnd", {"ab\n"}, {"ab", ""}},
    {"BytesAfterANulAreKept",
     {std::string("a\0b\n", 4), std::string("\0", 1)},
     {std::string("a\0b", 3), std::string("\0", 1)}},
    {"FramesSplitAnywhere",
     {"X07FFY08", "01Z0ABC\r", "\nX0100\r\n"},
     {"X07FFY0801Z0ABC", "X0100", ""}},
    {"DoubleByteCharacterSplitOverChunks",
     {"a" + KATAKANA_E.substr(0, 1), KATAKANA_E.substr(1)},
     {"a" + KATAKANA_E}},
    {"LeadByteBeforeLineFeed", {Bytes({0x83}), "\nb"}, {Bytes({0x83}), "b"}},
};

void PrintTo(const LineCase &row, std::ostream *out)
{
    *out << row.name;
}

class LineIndex : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(LineIndex, EndsLinesAtEveryKindOfBreak)
{
    CReceivedText text;
    for (const std::string &chunk : GetParam().chunks)
        AppendString(text, chunk);
    EXPECT_EQ(LinesOf(text), GetParam().lines);
}

TEST_P(LineIndex, GivesTheSameLinesWhenFedByteByByte)
{
    std::string all;
    for (const std::string &chunk : GetParam().chunks)
        all += chunk;
    CReceivedText text;
    AppendInChunks(text, all, 1);
    EXPECT_EQ(LinesOf(text), GetParam().lines);
    EXPECT_EQ(text.Size(), all.size());
}

INSTANTIATE_TEST_SUITE_P(Breaks, LineIndex, ::testing::ValuesIn(LINE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

constexpr std::size_t LIMIT = CReceivedText::DISPLAY_LINE_LIMIT;

std::string Repeat(const std::string &piece, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

struct LongLineCase
{
    const char *name;
    std::string bytes;
    Lines lines;
};

// 0x83 is both a lead and a trail byte, so a run of it reads as pairs from where the run starts.
const std::string LEAD_AND_TRAIL = Bytes({0x83});

const LongLineCase LONG_LINE_CASES[] = {
    {"ExactlyTheLimit", std::string(LIMIT, 'a'), {std::string(LIMIT, 'a')}},
    {"OneByteOver", std::string(LIMIT + 1, 'a'), {std::string(LIMIT, 'a'), "a"}},
    {"LimitThenBreakMakesNoEmptyLine",
     std::string(LIMIT, 'a') + "\r\nb",
     {std::string(LIMIT, 'a'), "b"}},
    {"PairEndsExactlyAtTheLimit",
     std::string(LIMIT - 2, 'a') + KATAKANA_E + "b",
     {std::string(LIMIT - 2, 'a') + KATAKANA_E, "b"}},
    {"PairThatWouldStraddleTheLimitMovesOn",
     std::string(LIMIT - 1, 'a') + KATAKANA_E,
     {std::string(LIMIT - 1, 'a'), KATAKANA_E}},
    {"RunOfPairsBreaksBetweenPairs",
     Repeat(LEAD_AND_TRAIL, 2 * LIMIT),
     {Repeat(LEAD_AND_TRAIL, LIMIT), Repeat(LEAD_AND_TRAIL, LIMIT)}},
    {"RunOfPairsAfterOneByte",
     "a" + Repeat(LEAD_AND_TRAIL, 2 * LIMIT),
     {"a" + Repeat(LEAD_AND_TRAIL, LIMIT - 2), Repeat(LEAD_AND_TRAIL, LIMIT),
      Repeat(LEAD_AND_TRAIL, 2)}},
    {"HighLeadByte",
     std::string(LIMIT - 1, 'a') + Bytes({0xE0, 0x40}),
     {std::string(LIMIT - 1, 'a'), Bytes({0xE0, 0x40})}},
    {"SingleByteKatakanaIsOneByteCharacter",
     std::string(LIMIT - 1, 'a') + Bytes({0xB1, 0xB2}),
     {std::string(LIMIT - 1, 'a') + Bytes({0xB1}), Bytes({0xB2})}},
};

void PrintTo(const LongLineCase &row, std::ostream *out)
{
    *out << row.name;
}

class LongLines : public ::testing::TestWithParam<LongLineCase>
{
};

TEST_P(LongLines, BreakAtCharacterBoundariesWhateverTheChunks)
{
    for (std::size_t chunkLength : {std::size_t {4095}, std::size_t {1}, std::size_t {7}}) {
        SCOPED_TRACE(chunkLength);
        CReceivedText text;
        AppendInChunks(text, GetParam().bytes, chunkLength);
        EXPECT_EQ(LinesOf(text), GetParam().lines);
        EXPECT_LE(text.LongestLineLength(), LIMIT);
    }
}

INSTANTIATE_TEST_SUITE_P(Limit, LongLines, ::testing::ValuesIn(LONG_LINE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ReceivedText, KnowsItsLongestLine)
{
    CReceivedText text;
    AppendString(text, "abc\r\nde");
    EXPECT_EQ(text.LongestLineLength(), 3u);
    AppendString(text, "fgh");
    EXPECT_EQ(text.LongestLineLength(), 5u);
    AppendString(text, std::string(5000, 'x'));
    EXPECT_EQ(text.LongestLineLength(), LIMIT);
}

TEST(ReceivedText, FindsTheLineOfEveryOffset)
{
    // Offsets:            0 1 2  3  4 5 6  7 8 9 10
    const std::string bytes = "ab\r\ncd\ref\n";
    CReceivedText text;
    AppendString(text, bytes);
    const std::uint64_t expected[] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 3};
    for (std::uint64_t offset = 0; offset <= bytes.size(); ++offset)
        EXPECT_EQ(text.LineAt(offset), expected[offset]) << offset;
}

TEST(ReceivedText, IndexesManyLinesAcrossItsBlocks)
{
    // Lines of varied length past several index blocks and segments.
    CReceivedText text;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string line
            = std::string(static_cast<std::size_t>(i % 40), static_cast<char>('a' + i % 26));
        const std::string lineBreak = i % 3 == 0 ? "\r\n" : (i % 3 == 1 ? "\n" : "\r");
        expected += line + lineBreak;
    }
    AppendInChunks(text, expected, 4095);
    ASSERT_EQ(text.LineCount(), 20001u);
    std::uint64_t previousEnd = 0;
    for (std::uint64_t line = 0; line + 1 < text.LineCount(); ++line) {
        const CReceivedText::LineRange range = text.Line(line);
        ASSERT_EQ(range.end - range.begin, line % 40) << line;
        ASSERT_GE(range.begin, previousEnd) << line;
        ASSERT_EQ(text.LineAt(range.begin), line);
        ASSERT_EQ(text.LineAt(range.end), line);
        previousEnd = range.end;
    }
    EXPECT_EQ(text.LineAt(text.Size()), 20000u);
}

std::string Pattern(std::size_t length)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

TEST(ReceivedText, CopiesRangesAcrossSegments)
{
    const std::size_t segment = CReceivedText::SEGMENT_SIZE;
    const std::string bytes = Pattern(3 * segment + 100);
    CReceivedText text;
    AppendInChunks(text, bytes, 4095);
    ASSERT_EQ(text.Size(), bytes.size());

    struct Range
    {
        std::uint64_t from, to;
    };
    const Range ranges[] = {
        {segment - 6, segment + 10},
        {0, 3 * segment + 100},
        {segment, 2 * segment},
        {segment - 1, segment},
        {2 * segment - 1, 2 * segment + 1},
        {3 * segment, 3 * segment},
        {3 * segment + 90, 10 * segment},
    };
    std::string copied;
    for (const Range &range : ranges) {
        text.CopyRange(range.from, range.to, copied);
        const std::size_t to = std::min<std::size_t>(range.to, bytes.size());
        EXPECT_EQ(copied, bytes.substr(range.from, to - range.from)) << range.from;
    }
}

TEST(ReceivedText, VisitsEverySegmentInOrder)
{
    const std::size_t segment = CReceivedText::SEGMENT_SIZE;
    const std::string bytes = Pattern(2 * segment + 5);
    CReceivedText text;
    AppendInChunks(text, bytes, 4095);
    std::vector<std::size_t> lengths;
    std::string visited;
    text.ForEachSegment([&](const char *data, std::size_t length) {
        lengths.push_back(length);
        visited.append(data, length);
    });
    EXPECT_EQ(lengths, (std::vector<std::size_t> {segment, segment, 5}));
    EXPECT_EQ(visited, bytes);
}

TEST(ReceivedText, ClearForgetsTextIndexAndPendingBreak)
{
    CReceivedText text;
    const std::int64_t liveWhenEmpty = LiveBytes();
    AppendInChunks(text, Pattern(200000), 4095);
    AppendString(text, std::string(LIMIT - 1, 'a') + Bytes({0x83}) + "\r");
    const std::uint64_t clearsBefore = text.ClearCount();

    text.Clear();
    EXPECT_TRUE(text.Empty());
    EXPECT_EQ(text.Size(), 0u);
    EXPECT_EQ(text.LineCount(), 1u);
    EXPECT_EQ(text.LongestLineLength(), 0u);
    EXPECT_LT(LiveBytes() - liveWhenEmpty, 1024);
    EXPECT_EQ(text.ClearCount(), clearsBefore + 1);
    EXPECT_EQ(Everything(text), "");

    // The CR before the clear does not join this LF.
    AppendString(text, "\nb");
    EXPECT_EQ(LinesOf(text), (Lines {"", "b"}));
}

TEST(ReceivedText, ClearForgetsAPendingLeadByte)
{
    CReceivedText text;
    AppendString(text, std::string(LIMIT - 1, 'a'));
    text.Clear();
    AppendString(text, KATAKANA_E);
    EXPECT_EQ(LinesOf(text), (Lines {KATAKANA_E}));
}

TEST(ReceivedText, HoldsAFrameStreamInLittleMoreThanItsBytes)
{
    // About 8 MiB of three-channel frames in reader-sized chunks.
    const std::string stream = Repeat(FRAME, 8 * 1024 * 1024 / FRAME.size());
    const std::int64_t liveBefore = LiveBytes();
    CReceivedText text;
    AppendInChunks(text, stream, 4095);
    const std::int64_t held = LiveBytes() - liveBefore;
    ASSERT_EQ(text.Size(), stream.size());
    ASSERT_EQ(text.LineCount(), stream.size() / FRAME.size() + 1);

    const double perByte = static_cast<double>(held) / static_cast<double>(text.Size());
    std::cout << "memory per received byte: " << perByte << '\n';
    EXPECT_LE(perByte, 1.2);
    EXPECT_EQ(Everything(text), stream);
}

} // namespace

namespace {

// Texts whose breaks and characters fall on the edges of the store's 64 KiB segments, with the
// lines worked out by hand: a line ends at LF, CR LF or a lone CR, and a line that would pass
// 1024 bytes breaks before the character that would pass it.
struct EdgeCase
{
    const char *name;
    std::string bytes;
    std::uint64_t lineCount;
    std::vector<std::pair<std::uint64_t, std::string>> lines; // line number, its bytes
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lineAt; // offset, its line
};

// 63 lines of 1023 bytes and their LF: 64512 bytes, the next line starting 1024 bytes before
// the first edge.
const std::string SIXTY_THREE_LINES = Repeat(std::string(1023, 'a') + "\n", 63);
const std::string SMALL_YA = Bytes({0x83, 0x83}); // a lead byte that is also a trail byte, twice

const EdgeCase EDGE_CASES[] = {
    // 65535 = 63 * 1024 + 1023: lines 0 to 62 are full, line 63 ends with the CR at 65535.
    {"CarriageReturnLineFeedSplitByTheEdge",
     std::string(65535, 'a') + "\r\nb\r\n",
     66,
     {{62, std::string(1024, 'a')}, {63, std::string(1023, 'a')}, {64, "b"}, {65, ""}},
     {{65535, 63}, {65536, 63}, {65537, 64}, {65539, 64}, {65540, 65}}},
    {"LoneCarriageReturnBeforeTheEdge",
     std::string(65535, 'a') + "\rb\n",
     66,
     {{63, std::string(1023, 'a')}, {64, "b"}, {65, ""}},
     {{65535, 63}, {65536, 64}, {65537, 64}, {65538, 65}}},
    {"CarriageReturnEndsTheFirstSegment",
     std::string(65535, 'a') + "\r",
     65,
     {{63, std::string(1023, 'a')}, {64, ""}},
     {{65535, 63}, {65536, 64}}},
    // Line 64 runs from 64513: 1022 bytes, then the pair at 65535 and 65536 fills it to 1024.
    // The 70000 bytes after it (68 lines of 1024 and one of 368) push its second half out of
    // the last segment, so that it is read back.
    {"DoubleByteCharacterSplitByTheEdge",
     SIXTY_THREE_LINES + "\n" + std::string(1022, 'c') + SMALL_YA + "d\n" + std::string(70000, 'e'),
     135,
     {{62, std::string(1023, 'a')},
      {63, ""},
      {64, std::string(1022, 'c') + SMALL_YA},
      {65, "d"},
      {66, std::string(1024, 'e')},
      {134, std::string(368, 'e')}},
     {{65535, 64}, {65536, 64}, {65537, 65}}},
    // Line 63 runs from 64512: 1023 bytes leave no room for the pair, which begins line 64.
    {"DoubleByteCharacterSplitByTheEdgeStartsTheNextLine",
     SIXTY_THREE_LINES + std::string(1023, 'c') + SMALL_YA + "d\n" + std::string(70000, 'e'),
     134,
     {{63, std::string(1023, 'c')}, {64, SMALL_YA + "d"}, {133, std::string(368, 'e')}},
     {{65534, 63}, {65535, 64}, {65536, 64}, {65537, 64}, {65538, 64}, {65539, 65}}},
    // From 2 on, 200000 bytes without a break: 195 lines of 1024, then 320 bytes. Line n >= 1
    // starts at 2 + (n - 1) * 1024, so lines 64 and 128 cross the edges at 65536 and 131072.
    {"LineLongerThanASegment",
     "x\n" + std::string(200000, 'a') + "\r\ny",
     198,
     {{0, "x"},
      {1, std::string(1024, 'a')},
      {64, std::string(1024, 'a')},
      {128, std::string(1024, 'a')},
      {196, std::string(320, 'a')},
      {197, "y"}},
     {{65535, 64}, {65536, 64}, {131072, 128}, {200001, 196}, {200003, 196}, {200004, 197}}},
};

void PrintTo(const EdgeCase &row, std::ostream *out)
{
    *out << row.name;
}

class SegmentEdges : public ::testing::TestWithParam<EdgeCase>
{
};

// Each text is fed byte by byte, in reader-sized chunks and in chunks that end on the edges, to
// a store that keeps it in memory and to one whose file keeps all but the last segment, the
// file catching up after every chunk as the journal does.
TEST_P(SegmentEdges, LinesReadTheSameInMemoryAndOnDisk)
{
    const EdgeCase &row = GetParam();
    for (const bool onDisk : {false, true}) {
        for (const std::size_t chunkLength : {1, 4095, 65536}) {
            SCOPED_TRACE(std::string(onDisk ? "on disk" : "in memory") + ", chunks of "
                         + std::to_string(chunkLength));
            CHeldBacking file;
            CReceivedText text;
            if (onDisk)
                text.SetBacking(&file);
            for (std::size_t at = 0; at < row.bytes.size(); at += chunkLength) {
                const std::string chunk = row.bytes.substr(at, chunkLength);
                text.Append(chunk.data(), chunk.size());
                file.Store(chunk);
            }
            text.Append("", 0);
            ASSERT_EQ(text.LineCount(), row.lineCount);
            std::string bytes;
            for (const auto &[line, expected] : row.lines) {
                const CReceivedText::LineRange range = text.Line(line);
                EXPECT_TRUE(text.CopyRange(range.begin, range.end, bytes));
                EXPECT_EQ(bytes, expected) << "line " << line;
            }
            for (const auto &[offset, line] : row.lineAt)
                EXPECT_EQ(text.LineAt(offset), line) << "offset " << offset;
            // Only a text past the first segment has a segment that left memory.
            EXPECT_EQ(file.Reads() > 0, onDisk && row.bytes.size() > 65536);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Segments, SegmentEdges, ::testing::ValuesIn(EDGE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

// The bytes that the file holds leave memory and are read back for copies and for the log,
// the file catching up a chunk behind; a file that fails is reported, never mistaken for text.
TEST(ReceivedTextOnDisk, ReadsBackWhatTheFileHoldsAndReportsAFailingFile)
{
    const std::string bytes = Pattern(3 * CReceivedText::SEGMENT_SIZE + 100);
    CHeldBacking file;
    CReceivedText text;
    text.SetBacking(&file);
    for (std::size_t at = 0; at < bytes.size(); at += 4095) {
        const std::string chunk = bytes.substr(at, 4095);
        text.Append(chunk.data(), chunk.size());
        file.Store(chunk);
    }
    text.Append("", 0);

    std::string copied;
    EXPECT_TRUE(text.CopyRange(100, bytes.size() - 100, copied));
    EXPECT_TRUE(copied == bytes.substr(100, bytes.size() - 200));
    EXPECT_TRUE(Everything(text) == bytes);
    EXPECT_GT(file.Reads(), 0u);

    file.Fail();
    EXPECT_FALSE(text.CopyRange(0, 10, copied));
    EXPECT_EQ(copied, "");
    EXPECT_FALSE(text.ForEachSegment([](const char *, std::size_t) { return true; }));
}

// Memory holds the index, the segment still growing and a bounded cache, whatever was received.
TEST(ReceivedTextOnDisk, HoldsAboutNothingPerByteReceived)
{
    CHeldBacking file;
    CReceivedText text;
    text.SetBacking(&file);
    const std::string block = Repeat(FRAME, CReceivedText::SEGMENT_SIZE / FRAME.size() + 1);
    const auto receive = [&](std::size_t megabytes) {
        for (std::size_t i = 0; i < megabytes * 1024 * 1024 / block.size(); ++i) {
            file.Store(block);
            text.Append(block.data(), block.size());
        }
        // A look at every segment fills the cache to its bound.
        for (std::uint64_t offset = 0; offset < text.Size(); offset += CReceivedText::SEGMENT_SIZE)
            text.LineAt(offset);
        return LiveBytes();
    };
    const std::int64_t before = receive(4);
    const std::int64_t after = receive(4);
    const double growthPerByte = static_cast<double>(after - before) / (4.0 * 1024 * 1024);
    std::cout << "memory growth per received byte: " << growthPerByte << '\n';
    EXPECT_LE(growthPerByte, 0.001);
}
