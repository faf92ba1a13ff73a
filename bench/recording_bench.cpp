// Opening a 1 GB log in the viewer's core: a file of XYZ frames with an XY frame, an X frame and
// a few bytes of garbage among every thousand, written to a temporary folder (so it is in the
// page cache, as a log just recorded is) and opened. Measured: the time until the whole run can
// be drawn (stretches for 1000 columns over the frames the file is estimated to hold, each
// column with something in it, from the sampled overview), the time until the scan is complete,
// the process's peak resident memory, and zoom steps: stretches for 1600 columns over half the
// range of the step before, around the middle, down to single frames. Then once more with the
// file's pages dropped from the page cache, as for a log opened after a reboot. With --x-only the
// frames are X frames ("X07FF" CR LF), the form whose index takes the most per byte when blocks
// are counted in frames.
#include "framesource.h"
#include "recording.h"
#include "summary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t FILE_SIZE = 1'000'000'000;
constexpr std::size_t PATTERN_SIZE = 8'000'000;
constexpr int OVERVIEW_COLUMNS = 1000;
constexpr int ZOOM_COLUMNS = 1600;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The X frame of the stream's frame: its first five bytes and the line end.
std::string XFrame(std::uint64_t index)
{
    return CFrameSource::Frame(index).substr(0, 5) + "\r\n";
}

std::string Pattern(bool xOnly)
{
    std::string pattern;
    pattern.reserve(PATTERN_SIZE + 64);
    for (std::uint64_t index = 0; pattern.size() < PATTERN_SIZE; ++index) {
        if (index % 1000 == 500)
            pattern += "X0123Y0456\r\nX0789\r\n#?!";
        pattern += xOnly ? XFrame(index) : CFrameSource::Frame(index);
    }
    pattern.resize(PATTERN_SIZE);
    return pattern;
}

void WriteLog(const fs::path &path, bool xOnly)
{
    const std::string pattern = Pattern(xOnly);
    std::ofstream out(path, std::ios::binary);
    for (std::int64_t written = 0; written < FILE_SIZE;
         written += static_cast<std::int64_t>(pattern.size()))
        out.write(pattern.data(), static_cast<std::streamsize>(pattern.size()));
}

double PeakResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:"))
            return std::strtod(line.c_str() + 6, nullptr) * 1024 / 1e6;
    }
    return 0;
}

// Every column of the whole run has X in it: from the samples or from the scan.
bool WholeRunShown(const CRecording &recording)
{
    const std::int64_t frames = recording.EstimatedFrameCount();
    if (frames == 0)
        return false;
    const std::vector<FrameStretch> stretches = recording.Stretches(0, frames, OVERVIEW_COLUMNS);
    return std::all_of(stretches.begin(), stretches.end(),
                       [](const FrameStretch &stretch) { return stretch.channel[0].present; });
}

// Halves the range around its middle until a column holds one frame, timing each step.
void MeasureZoomSteps(const CRecording &recording)
{
    std::int64_t first = 0;
    std::int64_t last = recording.FrameCount();
    std::vector<double> times;
    for (int depth = 0;; ++depth) {
        const std::int64_t readBefore = recording.BytesReadBack();
        const Clock::time_point start = Clock::now();
        const std::vector<FrameStretch> stretches = recording.Stretches(first, last, ZOOM_COLUMNS);
        times.push_back(MillisecondsSince(start));
        std::printf("zoom depth %2d: %11lld frames, %8.3f ms, %8.1f KB read back\n", depth,
                    static_cast<long long>(last - first), times.back(),
                    static_cast<double>(recording.BytesReadBack() - readBefore) / 1e3);
        if (last - first <= ZOOM_COLUMNS)
            break;
        const std::int64_t quarter = (last - first) / 4;
        first += quarter;
        last -= quarter;
    }
    const double slowest = *std::max_element(times.begin(), times.end());
    std::sort(times.begin(), times.end());
    PrintFigure("zoom step, median", times[times.size() / 2], "ms");
    PrintTarget("zoom step, slowest", slowest, "ms", "<= 16.7", slowest <= 1000.0 / 60);
}

// Drops the file's pages from the page cache, as after a reboot; other files keep theirs.
void EvictFromPageCache(const fs::path &path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

// Opens the log and waits for the scan: the whole-run overview and full detail, in seconds.
bool MeasureOpening(const fs::path &log, const char *how, bool zoom)
{
    const Clock::time_point opened = Clock::now();
    CRecording recording(log.string());
    // Asked on the scan's thread as each step of it is published, until the answer is yes.
    std::optional<double> overview;
    recording.SetOnProgress([&] {
        if (!overview && WholeRunShown(recording))
            overview = MillisecondsSince(opened);
    });
    std::string failure;
    if (!recording.Open(failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return false;
    }
    recording.WaitForScan();
    const double complete = MillisecondsSince(opened);
    const bool shown = overview.has_value();

    std::printf("\nRecording, %lld bytes, %lld frames, %s\n", static_cast<long long>(FILE_SIZE),
                static_cast<long long>(recording.FrameCount()), how);
    PrintTarget("first whole-run overview", shown ? std::optional(*overview / 1000) : std::nullopt,
                "s", "<= 2", shown && *overview <= 2000);
    PrintFigure("scan complete (full detail)", complete / 1000, "s");
    const double index = static_cast<double>(recording.IndexBytes());
    PrintFigure("index", index / 1e6, "MB");
    PrintFigure("index per byte of the file", 100 * index / FILE_SIZE, "%");
    if (zoom)
        MeasureZoomSteps(recording);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const bool xOnly = argc > 1 && std::string(argv[1]) == "--x-only";
    const fs::path folder
        = fs::temp_directory_path() / ("orvanta-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path log = folder / "recording.log";
    WriteLog(log, xOnly);
    const bool measured = MeasureOpening(log, "in the page cache", true)
        && (EvictFromPageCache(log), MeasureOpening(log, "read from the disk", false));
    fs::remove_all(folder);
    if (!measured)
        return 1;

    const double peak = PeakResidentMegabytes();
    const double limit = 100 + 0.02 * FILE_SIZE / 1e6;
    std::printf("\n");
    PrintTarget("peak resident memory (VmHWM)", peak, "MB", "<= " + std::to_string(int(limit)),
                peak <= limit);
    return 0;
}
