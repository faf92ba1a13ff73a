#include "frameparser.h"
#include "recording.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

// A missing file, a folder and what else this system has that is no file, with the reason that
// an open of each gives.
std::vector<std::pair<std::string, std::string>> MakeRefusedPaths();

namespace {

std::vector<unsigned char> Bytes(const std::string &text)
{
    return {text.begin(), text.end()};
}

void Append(const std::string &name, const std::string &text)
{
    std::ofstream(name, std::ios::binary | std::ios::app) << text;
}

std::string Repeated(const std::string &frame, std::int64_t count)
{
    std::string text;
    for (std::int64_t i = 0; i < count; ++i)
        text += frame;
    return text;
}

struct ExpectedFrame
{
    std::int64_t bytePosition;
    std::string digits; // the digits of every channel carried, one after the other
    bool afterSkippedBytes;
};

struct FrameRulesCase
{
    const char *name;
    std::string file;
    std::vector<ExpectedFrame> frames;
};

const FrameRulesCase FRAME_RULES_CASES[] = {
    {"all three forms",
     "X07FFY0801Z0ABC\r\nX0100Y0200\r\nX0300\r\n",
     {{0, "07FF08010ABC", false}, {17, "01000200", false}, {29, "0300", false}}},
    {"lower-case digits as they stand", "X07ffY0801Z0abc\r\n", {{0, "07ff08010abc", false}}},
    {"garbage before and between frames",
     "ab\r\nX0001\r\n??YX0002\r\n",
     {{4, "0001", true}, {14, "0002", true}}},
    {"CR-only endings lose every second frame",
     "X0001\rX0002\rX0003\rX0004\r",
     {{0, "0001", false}, {12, "0003", true}}},
    {"X and Z alone are no frame", "X0100Z0200\r\n", {}},
    {"a frame ended by LF alone is skipped", "X0001\nX0002\r\n", {{6, "0002", true}}},
    {"the letters in the wrong order are no frame",
     "X0001Z0002Y0003\r\nX0004\r\n",
     {{17, "0004", true}}},
    {"the last frame may lack its LF",
     "X0001\r\nX0002\r",
     {{0, "0001", false}, {7, "0002", false}}},
    {"a last frame lacking its CR is not one yet", "X0001\r\nX0002Y000", {{0, "0001", false}}},
};

std::string DigitsOf(const RecordedFrame &frame)
{
    std::string digits;
    for (int ch = 0; ch < frame.channels; ++ch)
        digits.append(frame.digits[ch], 4);
    return digits;
}

std::vector<RecordedFrame> ScanWhole(const std::string &name, std::size_t pieceSize)
{
    CRecording recording(name, pieceSize);
    std::string failure;
    EXPECT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    return recording.Frames(0, recording.FrameCount());
}

// Every piece size, down to one byte, cuts some frame of the cases; none may change a frame.
TEST(Recording, ReadsFramesWithTheLiveRulesWhereverReadsAreCut)
{
    const CTempWorkDir workDir;
    for (const FrameRulesCase &row : FRAME_RULES_CASES) {
        WriteBytes("log", Bytes(row.file));
        for (const std::size_t pieceSize : {1, 2, 3, 5, 16, 1 << 20}) {
            const std::vector<RecordedFrame> frames = ScanWhole("log", pieceSize);
            ASSERT_EQ(frames.size(), row.frames.size()) << row.name << ", pieces of " << pieceSize;
            for (std::size_t i = 0; i < frames.size(); ++i) {
                EXPECT_EQ(frames[i].number, static_cast<std::int64_t>(i)) << row.name;
                EXPECT_EQ(frames[i].bytePosition, row.frames[i].bytePosition) << row.name;
                EXPECT_EQ(DigitsOf(frames[i]), row.frames[i].digits) << row.name;
                EXPECT_EQ(frames[i].afterSkippedBytes, row.frames[i].afterSkippedBytes)
                    << row.name << ", frame " << i << ", pieces of " << pieceSize;
            }
        }
    }
}

// A log of random frames of all three forms with garbage before one in `garbageOneIn`, and what
// was written.
struct RandomLog
{
    std::string text;
    std::vector<RecordedFrame> frames;
};

RandomLog MakeRandomLog(int frameCount, unsigned seed, unsigned garbageOneIn = 50)
{
    std::mt19937 random(seed);
    const std::string digitBytes = "0123456789ABCDEFabcdefG";
    const std::string garbageBytes = "#?!\n ab";
    RandomLog log;
    for (int i = 0; i < frameCount; ++i) {
        const bool garbage = random() % garbageOneIn == 0;
        // One stretch of garbage in ten is a few kilobytes long, as from a line left open.
        const unsigned longest = random() % 10 == 0 ? 8000 : 40;
        for (unsigned n = garbage ? 1 + random() % longest : 0; n > 0; --n)
            log.text += garbageBytes[random() % garbageBytes.size()];
        RecordedFrame frame {i,
                             static_cast<std::int64_t>(log.text.size()),
                             static_cast<int>(1 + random() % 3),
                             {},
                             garbage};
        log.text += 'X';
        for (int ch = 0; ch < frame.channels; ++ch) {
            if (ch > 0)
                log.text += "XYZ"[ch];
            for (char &digit : frame.digits[ch])
                digit = digitBytes[random() % digitBytes.size()];
            log.text.append(frame.digits[ch], 4);
        }
        log.text += "\r\n";
        log.frames.push_back(frame);
    }
    return log;
}

// What the frames [first, last) span at a bit length, worked out frame by frame.
FrameStretch SpanOf(const std::vector<RecordedFrame> &frames, std::int64_t first, std::int64_t last,
                    std::int32_t code)
{
    FrameStretch stretch {};
    for (std::int64_t i = first; i < last && i < static_cast<std::int64_t>(frames.size()); ++i) {
        const RecordedFrame &frame = frames[static_cast<std::size_t>(i)];
        stretch.malformed = stretch.malformed || frame.afterSkippedBytes;
        for (int ch = 0; ch < frame.channels; ++ch) {
            const auto value
                = static_cast<std::int16_t>(DecodeChannelValue(frame.digits[ch], code));
            ChannelSpan &span = stretch.channel[ch];
            span.low = span.present ? std::min(span.low, value) : value;
            span.high = span.present ? std::max(span.high, value) : value;
            span.present = true;
        }
    }
    return stretch;
}

void ExpectStretchesOf(const CRecording &recording, const std::vector<RecordedFrame> &frames,
                       std::int32_t code)
{
    const std::int64_t count = static_cast<std::int64_t>(frames.size());
    struct View
    {
        std::int64_t first, last;
        int columns;
    };
    for (const View view :
         {View {0, count, 1}, View {0, count, 7}, View {13, count - 5, 50}, View {1000, 1077, 33},
          View {4000, 4001, 3}, View {count - 9, count + 9, 6}, View {0, count, 300},
          View {0, count, 1600}}) {
        const std::vector<FrameStretch> stretches
            = recording.Stretches(view.first, view.last, view.columns);
        ASSERT_EQ(stretches.size(), static_cast<std::size_t>(view.columns));
        const std::int64_t n = view.last - view.first;
        for (int c = 0; c < view.columns; ++c) {
            const FrameStretch expected = SpanOf(frames, view.first + n * c / view.columns,
                                                 view.first + n * (c + 1) / view.columns, code);
            const FrameStretch &got = stretches[static_cast<std::size_t>(c)];
            const std::string where = "frames " + std::to_string(view.first) + " to "
                + std::to_string(view.last) + ", column " + std::to_string(c);
            EXPECT_EQ(got.malformed, expected.malformed) << where;
            for (int ch = 0; ch < 3; ++ch) {
                ASSERT_EQ(got.channel[ch].present, expected.channel[ch].present) << where;
                if (expected.channel[ch].present) {
                    EXPECT_EQ(got.channel[ch].low, expected.channel[ch].low) << where;
                    EXPECT_EQ(got.channel[ch].high, expected.channel[ch].high) << where;
                }
            }
        }
    }
}

void ExpectFramesOf(const CRecording &recording, const std::vector<RecordedFrame> &expected)
{
    ASSERT_EQ(recording.FrameCount(), static_cast<std::int64_t>(expected.size()));
    for (const std::int64_t first : {0, 63, 64, 4095, 9990}) {
        const std::vector<RecordedFrame> frames = recording.Frames(first, 20);
        const std::int64_t left = static_cast<std::int64_t>(expected.size()) - first;
        ASSERT_EQ(static_cast<std::int64_t>(frames.size()), std::clamp<std::int64_t>(left, 0, 20));
        for (const RecordedFrame &frame : frames) {
            const RecordedFrame &written = expected[static_cast<std::size_t>(frame.number)];
            EXPECT_EQ(frame.bytePosition, written.bytePosition) << frame.number;
            EXPECT_EQ(DigitsOf(frame), DigitsOf(written)) << frame.number;
            EXPECT_EQ(frame.afterSkippedBytes, written.afterSkippedBytes) << frame.number;
        }
    }
}

// The window asks while the scan runs and may change the bit length in the middle of it; in the
// end every span is what the frames of the file give at the last bit length.
TEST(Recording, SpansEqualTheFramesOwnAtEveryZoomAndBitLength)
{
    const CTempWorkDir workDir;
    // Garbage is rare, so that most stretches are not malformed and one that is stands out.
    const RandomLog log = MakeRandomLog(40000, 17, 2000);
    WriteBytes("log", Bytes(log.text));
    CRecording recording("log", 100);
    std::atomic<int> progressCalls = 0;
    recording.SetOnProgress([&] { ++progressCalls; });
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    for (std::int64_t known = 0; !recording.ScanComplete();) {
        EXPECT_GE(recording.FrameCount(), known);
        known = recording.FrameCount();
        EXPECT_EQ(recording.Stretches(0, 40000, 50).size(), 50u);
        EXPECT_LE(recording.Frames(known / 2, 10).size(), 10u);
        if (known > 20000)
            recording.SetBitLengthCode(1);
    }
    EXPECT_GT(progressCalls, 0);
    for (const std::int32_t code : {1, 5, 3}) {
        recording.SetBitLengthCode(code);
        recording.WaitForScan();
        EXPECT_EQ(recording.BytesScanned(), static_cast<std::int64_t>(log.text.size()));
        ExpectFramesOf(recording, log.frames);
        ExpectStretchesOf(recording, log.frames, code);
    }
}

// A large log is drawn whole from samples before the scan has found a frame: the first progress
// call comes from the sampling, and the scan waits for it.
TEST(Recording, DrawsALargeLogFromSamplesBeforeTheScan)
{
    const CTempWorkDir workDir;
    constexpr std::int64_t FRAMES = 2'500'000;
    std::string text;
    text.reserve(FRAMES * 17);
    char frame[18];
    for (std::int64_t i = 0; i < FRAMES; ++i) {
        std::snprintf(frame, sizeof frame, "X%04XY0800Z0000\r\n",
                      static_cast<unsigned>(i * 4096 / FRAMES));
        text += frame;
    }
    WriteBytes("log", Bytes(text));
    CRecording recording("log");
    // The scan reports once more as it completes, after WaitForScan may have returned.
    std::atomic<bool> sampled = false;
    recording.SetOnProgress([&] {
        if (sampled.exchange(true))
            return;
        EXPECT_EQ(recording.FrameCount(), 0);
        const std::int64_t estimate = recording.EstimatedFrameCount();
        EXPECT_EQ(estimate, FRAMES);
        // X rises by 5 across each of 100 columns at 12 bit.
        const std::vector<FrameStretch> stretches = recording.Stretches(0, estimate, 100);
        for (int c = 0; c < 100; ++c) {
            const FrameStretch &stretch = stretches[static_cast<std::size_t>(c)];
            ASSERT_TRUE(stretch.channel[0].present) << c;
            EXPECT_GE(stretch.channel[0].low, 5 * c - 5) << c;
            EXPECT_LE(stretch.channel[0].high, 5 * c + 10) << c;
            EXPECT_EQ(stretch.channel[1].high, 250) << c;
            EXPECT_FALSE(stretch.malformed) << c;
        }
    });
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    EXPECT_TRUE(sampled);
    EXPECT_EQ(recording.FrameCount(), FRAMES);
    EXPECT_EQ(recording.EstimatedFrameCount(), FRAMES);
}

TEST(Recording, ReloadReadsOnWhereAGrowingFileEndedAndStartsOverWhenItShrank)
{
    const CTempWorkDir workDir;
    const RandomLog log = MakeRandomLog(10000, 11);
    // The first part ends inside a frame, which the reload completes.
    const std::size_t cut = static_cast<std::size_t>(log.frames[6000].bytePosition + 3);
    WriteBytes("log", Bytes(log.text.substr(0, cut)));
    CRecording recording("log", 777);
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    EXPECT_EQ(recording.FrameCount(), 6000);
    EXPECT_EQ(recording.FileSize(), static_cast<std::int64_t>(cut));

    Append("log", log.text.substr(cut));
    recording.Reload();
    recording.WaitForScan();
    ExpectFramesOf(recording, log.frames);
    ExpectStretchesOf(recording, log.frames, 3);

    const RandomLog shorter = MakeRandomLog(5000, 13);
    WriteBytes("log", Bytes(shorter.text));
    recording.Reload();
    recording.WaitForScan();
    ExpectFramesOf(recording, shorter.frames);
    ExpectStretchesOf(recording, shorter.frames, 3);
}

// A journal emptied by a clear and written again holds other frames where the scan saw frames
// before; a reload sums them up anew, whether the file came back shorter, as long or longer.
TEST(Recording, ReloadRescansAFileWrittenAnewInPlace)
{
    const CTempWorkDir workDir;
    WriteBytes("log", Bytes(Repeated("X0100\r\n", 3000)));
    CRecording recording("log");
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    for (const int count : {3000, 2000, 4000}) {
        SCOPED_TRACE(count);
        WriteBytes("log", Bytes(Repeated("X0200\r\n", count)));
        recording.Reload();
        recording.WaitForScan();
        ASSERT_EQ(recording.FrameCount(), count);
        // At 12 bit 0200 plots at 62 (0100 at 31): the whole run spans that and no more.
        const std::vector<FrameStretch> whole = recording.Stretches(0, count, 1);
        ASSERT_EQ(whole.size(), 1u);
        EXPECT_EQ(whole[0].channel[0].low, 62);
        EXPECT_EQ(whole[0].channel[0].high, 62);
        WriteBytes("log", Bytes(Repeated("X0100\r\n", count)));
        recording.Reload();
        recording.WaitForScan();
    }
}

// A megabyte of bytes that belong to no frame lies between ten frames and ten more: a read back
// of frames after it, or on both sides of it, or the repaint of them all, does not read through it.
TEST(Recording, ReadsFramesBackWithoutReadingThroughAStrayStretch)
{
    const CTempWorkDir workDir;
    constexpr std::int64_t STRAY = 1'000'000;
    WriteBytes("log",
               Bytes(Repeated("X0001Y0002Z0003\r\n", 10) + Repeated("X0?\n", STRAY / 4)
                     + Repeated("X0ABC\r\n", 10)));
    CRecording recording("log");
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    ASSERT_EQ(recording.FrameCount(), 20);
    const std::int64_t after = 170 + STRAY; // the first frame after the stretch
    struct Readout
    {
        std::int64_t first;
        std::vector<ExpectedFrame> frames;
    };
    for (const Readout &readout : {Readout {15, {{after + 35, "0ABC", false}}},
                                   Readout {8,
                                            {{136, "000100020003", false},
                                             {153, "000100020003", false},
                                             {after, "0ABC", true},
                                             {after + 7, "0ABC", false}}}}) {
        const std::int64_t before = recording.BytesReadBack();
        const std::vector<RecordedFrame> frames
            = recording.Frames(readout.first, static_cast<std::int64_t>(readout.frames.size()));
        EXPECT_LT(recording.BytesReadBack() - before, STRAY / 100) << readout.first;
        ASSERT_EQ(frames.size(), readout.frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].bytePosition, readout.frames[i].bytePosition);
            EXPECT_EQ(DigitsOf(frames[i]), readout.frames[i].digits);
            EXPECT_EQ(frames[i].afterSkippedBytes, readout.frames[i].afterSkippedBytes);
        }
    }
    // At 12 bit X 0001 plots at 0 and 0ABC at 335; the stretch marks the first column after it.
    const std::int64_t before = recording.BytesReadBack();
    const std::vector<FrameStretch> halves = recording.Stretches(0, 20, 2);
    EXPECT_LT(recording.BytesReadBack() - before, STRAY / 100);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].channel[0].high, 0);
    EXPECT_FALSE(halves[0].malformed);
    EXPECT_EQ(halves[1].channel[0].low, 335);
    EXPECT_TRUE(halves[1].malformed);
}

// Whatever the form of its frames, a log's index takes the same share of it, and no more than
// the 2 % of a file's size that the viewer may spend beyond its first 100 MB.
TEST(Recording, IndexTakesTheSameShareOfALogWhateverItsFrames)
{
    const CTempWorkDir workDir;
    std::vector<double> shares;
    for (const std::string frame : {"X07FF\r\n", "X07FFY0801\r\n", "X07FFY0801Z0ABC\r\n"}) {
        const std::int64_t count = 1'000'000 / static_cast<std::int64_t>(frame.size());
        WriteBytes("log", Bytes(Repeated(frame, count)));
        CRecording recording("log");
        std::string failure;
        ASSERT_TRUE(recording.Open(failure)) << failure;
        recording.WaitForScan();
        ASSERT_EQ(recording.FrameCount(), count);
        shares.push_back(static_cast<double>(recording.IndexBytes())
                         / static_cast<double>(recording.FileSize()));
        EXPECT_LE(shares.back(), 0.02) << frame.size() << "-byte frames";
    }
    const auto [least, most] = std::minmax_element(shares.begin(), shares.end());
    EXPECT_LT(*most / *least, 1.05);
}

// Nothing but a regular file is read: a FIFO without a writer would block the open, a device
// such as /dev/zero would never end. The rows, in the system's own words, come from the system's
// test file, which makes what they name in the working directory.
TEST(Recording, OpenFailsWithTheReasonForAnythingButAFile)
{
    const CTempWorkDir workDir;
    for (const auto &[path, reason] : MakeRefusedPaths()) {
        SCOPED_TRACE(path);
        CRecording recording(path);
        std::string failure;
        EXPECT_FALSE(recording.Open(failure));
        EXPECT_EQ(failure, "ログファイルがオープンできません：" + reason);
        recording.WaitForScan();
        EXPECT_EQ(recording.FrameCount(), 0);
    }
}

} // namespace
