// The frame parser against memchr on the same large buffer of XYZ frames. The parser gets the
// buffer as the window hands it over, in chunks of 4095 bytes padded with NUL; memchr scans the
// plain buffer, once finding the start of every frame (the least that any frame splitter does)
// and once in a single pass. All figures are bytes a second; the summary gives the parser's
// share of each.
#include "figurereporter.h"
#include "frameparser.h"
#include "framesource.h"
#include "summary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t BUFFER_SIZE = 16 * 1024 * 1024;
constexpr int CHUNK_SIZE = READ_BUFFER_SIZE - 1;

const std::string &Frames()
{
    static const std::string frames = [] {
        std::string made;
        made.reserve(BUFFER_SIZE);
        CFrameSource().Append(made, BUFFER_SIZE);
        return made;
    }();
    return frames;
}

const std::vector<ChunkText> &Chunks()
{
    static const std::vector<ChunkText> chunks = [] {
        const std::string &frames = Frames();
        std::vector<ChunkText> made((frames.size() + CHUNK_SIZE - 1) / CHUNK_SIZE);
        for (std::size_t i = 0; i < made.size(); ++i) {
            const std::size_t offset = i * CHUNK_SIZE;
            const auto length
                = static_cast<int>(std::min<std::size_t>(CHUNK_SIZE, frames.size() - offset));
            FillChunkText(made[i], frames.data() + offset, length);
        }
        return made;
    }();
    return chunks;
}

void BM_ParseFrames(benchmark::State &state)
{
    const std::vector<ChunkText> &chunks = Chunks();
    static SampleBuffers samples;
    EmptySamples(samples);
    g_bitLengthSel = BIT_LENGTH_12;
    for (auto _ : state) {
        for (const ChunkText &chunk : chunks)
            ParseFrames(chunk, samples);
        benchmark::DoNotOptimize(samples.writeIndex);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Frames().size()));
}

// The least that any frame splitter does: find where every frame starts.
void BM_MemchrFrameStarts(benchmark::State &state)
{
    const std::string &frames = Frames();
    const char *const end = frames.data() + frames.size();
    for (auto _ : state) {
        std::size_t starts = 0;
        for (const char *p = frames.data();
             (p = static_cast<const char *>(std::memchr(p, 'X', end - p))) != nullptr; ++p)
            ++starts;
        benchmark::DoNotOptimize(starts);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
}

// One memchr over the whole buffer for a byte that is not in it: the memory's own pace.
void BM_MemchrWholeBuffer(benchmark::State &state)
{
    const std::string &frames = Frames();
    for (auto _ : state) {
        const void *found = std::memchr(frames.data(), '\0', frames.size());
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
}

BENCHMARK(BM_ParseFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrFrameStarts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrWholeBuffer)->Unit(benchmark::kMillisecond);

std::optional<double> Ratio(std::optional<double> a, std::optional<double> b)
{
    if (!a || !b || *b == 0)
        return std::nullopt;
    return *a / *b;
}

} // namespace

int main(int argc, char **argv)
{
    CFigureReporter reporter;
    if (!RunBenchmarks(argc, argv, reporter))
        return 1;

    const auto rate = [&](const char *run) {
        const std::optional<double> bytes = reporter.Figure(run, "bytes_per_second");
        return bytes ? std::optional<double>(*bytes / 1e6) : std::nullopt;
    };
    const std::optional<double> parser = rate("BM_ParseFrames");
    const std::optional<double> starts = rate("BM_MemchrFrameStarts");
    const std::optional<double> whole = rate("BM_MemchrWholeBuffer");
    std::printf("\nFrame parser, %zu MB of XYZ frames\n", BUFFER_SIZE / 1'000'000);
    PrintFigure("parser", parser, "MB/s");
    PrintFigure("memchr finding every frame start", starts, "MB/s");
    PrintFigure("memchr over the whole buffer", whole, "MB/s");
    const std::optional<double> share = Ratio(parser, starts);
    PrintTarget("parser / memchr finding every frame start", share, "", ">= 0.25",
                share && *share >= 0.25);
    // A single pass finds nothing and stores nothing: it gives the memory's pace, which no
    // parser of frames comes near; for comparison only.
    PrintFigure("parser / memchr over the whole buffer", Ratio(parser, whole), "");
    return 0;
}
