// The whole program on a pseudo-terminal under an X server (run it with xvfb-run), measured
// from outside: /proc for processor time, memory and the reader's wake-ups, the X server's
// pixels for the latency, the log files against a record of every byte sent.
//
//   orvanta-bench-harness ORVANTA MINIMAL_READER            idle, latencies, line rate
//   orvanta-bench-harness ORVANTA MINIMAL_READER --latency  the latencies alone
//   orvanta-bench-harness ORVANTA MINIMAL_READER --soak     2 GB at 4,000,000 B/s
//   orvanta-bench-harness ORVANTA MINIMAL_READER --line-rate  the line rate alone
//
// It works in the current directory, which should be empty: Orvanta's rs232c.ini and DATALOG/,
// the COM1 link, the record sent.bin and the programs' output land there.
#include "linefeeder.h"
#include "logcheck.h"
#include "orvantaundertest.h"
#include "reader.h"
#include "screenprobe.h"
#include "summary.h"
#include "templates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double LINE_RATE = 300'000;
constexpr double MB = 1e6;
constexpr auto IDLE_TIME = 20s;
constexpr auto LINE_RATE_TIME = 60s;
constexpr int CLEARS_ON_THE_WAY = 2;
// The soak runs at the highest rate the program takes without the line backing up, on two lines:
// the program's and the minimal reader's.
constexpr double SOAK_RATE = 4'000'000;
constexpr std::uint64_t SOAK_BYTES = 2'000'000'000;
constexpr std::uint64_t SOAK_REPORT_STEP = 200'000'000;
constexpr double SOAK_GROWTH_LIMIT = 0.01;

// Latency: a level X trace, one frame at a time, each after the reader's read interval and the
// repaint of the one before are long over.
constexpr const char *LATENCY_FRAME = "X0700\r\n";
constexpr int CALIBRATION_FRAMES = 12;
constexpr int LATENCY_FRAMES = 100;
constexpr auto LATENCY_FRAME_SPACING = 100ms;
constexpr auto LATENCY_TIMEOUT = 1s;
constexpr auto PROBE_INTERVAL = 250us;
constexpr std::uint32_t TRACE_X_RED = 0xFF0000;
// A steady stream: the same frame back to back at 9,600 baud (ten bits a byte), as many as fit
// in the sweep after the lone frames.
constexpr auto STREAM_FRAME_TIME = std::chrono::nanoseconds(7 * 10 * 1'000'000'000LL / 9600);
constexpr int SWEEP_SAMPLES = 375;
// A trace segment spans two pixels to the next sample.
constexpr int SAMPLE_SPACING = 2;

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

std::optional<double> Difference(std::optional<double> later, std::optional<double> earlier)
{
    if (!later || !earlier)
        return std::nullopt;
    return *later - *earlier;
}

std::optional<double> PerMegabyte(std::optional<double> value, std::uint64_t bytes)
{
    if (!value || bytes == 0)
        return std::nullopt;
    return *value / (static_cast<double>(bytes) / MB);
}

std::optional<double> Megabytes(std::optional<std::uint64_t> bytes)
{
    if (!bytes)
        return std::nullopt;
    return static_cast<double>(*bytes) / MB;
}

std::optional<double> Ratio(std::optional<double> part, std::optional<double> whole)
{
    if (!part || !whole || *whole <= 0)
        return std::nullopt;
    return *part / *whole;
}

std::optional<double> PerSecond(std::optional<std::uint64_t> after,
                                std::optional<std::uint64_t> before, Clock::duration time)
{
    if (!after || !before)
        return std::nullopt;
    return static_cast<double>(*after - *before) / Seconds(time);
}

void Heading(const char *text)
{
    std::printf("\n%s\n", text);
    std::fflush(stdout);
}

void MeasureIdle(COrvantaUnderTest &program)
{
    Heading("Idle: port open, nothing arriving");
    const CProcessStats stats = program.Stats();
    const std::optional<pid_t> reader = stats.ThreadNamed(READER_THREAD_NAME);
    const auto readerSwitches = [&]() -> std::optional<std::uint64_t> {
        return reader ? stats.VoluntarySwitches(*reader) : std::nullopt;
    };
    const std::optional<double> cpuBefore = stats.CpuSeconds();
    const std::optional<std::uint64_t> readerBefore = readerSwitches();
    const std::optional<std::uint64_t> allBefore = stats.VoluntarySwitchesOfAllThreads();
    std::this_thread::sleep_for(IDLE_TIME);
    const std::optional<double> cpu = Difference(stats.CpuSeconds(), cpuBefore);
    const std::optional<double> readerWakeUps
        = PerSecond(readerSwitches(), readerBefore, IDLE_TIME);
    const std::optional<double> allWakeUps
        = PerSecond(stats.VoluntarySwitchesOfAllThreads(), allBefore, IDLE_TIME);

    std::optional<double> share;
    if (cpu)
        share = *cpu / Seconds(IDLE_TIME) * 100;
    PrintTarget("processor time, whole process", share, "% core", "<= 1", share && *share <= 1);
    PrintTarget("reader thread wake-ups", readerWakeUps, "/s", "<= 10",
                readerWakeUps && *readerWakeUps <= 10);
    PrintFigure("wake-ups of all threads together", allWakeUps, "/s");
}

struct TraceRow
{
    int y;
    // From the plot's left edge.
    int rightmost;
    int pixels;
};

bool IsTraceX(std::uint32_t pixel)
{
    return pixel == TRACE_X_RED;
}

// The plot row that holds the most pixels of the X trace, and its rightmost one.
std::optional<TraceRow> FindTraceRow(const CScreenProbe &probe, const ControlRect &plot)
{
    const auto pixels = probe.Grab(plot.x, plot.y, plot.width, plot.height);
    if (!pixels)
        return std::nullopt;
    std::optional<TraceRow> best;
    int bestCount = 0;
    for (int y = 0; y < plot.height; ++y) {
        const auto row = pixels->begin() + static_cast<std::ptrdiff_t>(y) * plot.width;
        const int count = static_cast<int>(std::count_if(row, row + plot.width, IsTraceX));
        if (count > bestCount) {
            bestCount = count;
            const auto last = std::find_if(std::make_reverse_iterator(row + plot.width),
                                           std::make_reverse_iterator(row), IsTraceX);
            best = TraceRow {plot.y + y, static_cast<int>(last.base() - row) - 1, count};
        }
    }
    return best;
}

std::optional<int> RightmostTracePixel(const CScreenProbe &probe, const ControlRect &plot, int y)
{
    const auto row = probe.Grab(plot.x, y, plot.width, 1);
    if (!row)
        return std::nullopt;
    const auto last = std::find_if(row->rbegin(), row->rend(), IsTraceX);
    return static_cast<int>(row->rend() - last) - 1;
}

void MeasureLatency(COrvantaUnderTest &program)
{
    Heading("Latency: last byte of a lone frame leaving the device end -> its sample on screen");
    const ControlRect plot = *ControlPixels(MAIN_TEMPLATE, IDC_PLOT);
    const CScreenProbe probe(program.Driver().XDisplay(), program.MainWindow());
    std::string calibration;
    for (int i = 0; i < CALIBRATION_FRAMES; ++i)
        calibration += LATENCY_FRAME;
    program.Send(calibration);
    std::optional<TraceRow> trace;
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline;) {
        trace = FindTraceRow(probe, plot);
        // One segment joins each sample to the next.
        if (trace && trace->pixels >= (CALIBRATION_FRAMES - 1) * SAMPLE_SPACING)
            break;
        trace.reset();
        std::this_thread::sleep_for(10ms);
    }
    if (!trace) {
        PrintFigure("the X trace never showed", std::nullopt, "");
        return;
    }

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < LATENCY_FRAMES; ++i) {
        std::this_thread::sleep_for(LATENCY_FRAME_SPACING);
        const Clock::time_point sent = program.Send(LATENCY_FRAME);
        std::optional<Clock::time_point> shown;
        while (!shown && Clock::now() - sent < LATENCY_TIMEOUT) {
            const std::optional<int> rightmost = RightmostTracePixel(probe, plot, trace->y);
            if (rightmost && *rightmost >= trace->rightmost + SAMPLE_SPACING) {
                shown = Clock::now();
                trace->rightmost = *rightmost;
            } else {
                std::this_thread::sleep_for(PROBE_INTERVAL);
            }
        }
        if (shown)
            latencies.push_back(Seconds(*shown - sent) * 1e3);
        else
            ++missed;
    }
    if (latencies.empty()) {
        PrintFigure("no sample showed", std::nullopt, "");
        return;
    }
    const double median = Percentile(latencies, 0.5);
    const double p95 = Percentile(latencies, 0.95);
    const double worst = Percentile(latencies, 1.0);
    PrintTarget("latency, median of " + std::to_string(latencies.size()) + " frames", median, "ms",
                "<= 30", median <= 30);
    PrintTarget("latency, 95th percentile", p95, "ms", "<= 30", p95 <= 30);
    PrintFigure("latency, worst", worst, "ms");
    PrintTarget("frames never seen within 1 s", missed, "", "0", missed == 0);
}

// Each frame of a steady stream, from its last byte leaving the device end to its sample on
// screen: the frames come closer than the read interval, so only the hand-over time and the pace
// of the window's showing end their chunks.
void MeasureStreamLatency(COrvantaUnderTest &program)
{
    Heading("Latency in a steady stream at 9,600 baud: frame sent -> its sample on screen");
    const ControlRect plot = *ControlPixels(MAIN_TEMPLATE, IDC_PLOT);
    const CScreenProbe probe(program.Driver().XDisplay(), program.MainWindow());
    // The level trace of the lone frames: one pixel for its first sample, two more for each next.
    const std::optional<TraceRow> trace = FindTraceRow(probe, plot);
    if (!trace) {
        PrintFigure("the X trace never showed", std::nullopt, "");
        return;
    }
    const int inSweep = (trace->pixels - 1) / SAMPLE_SPACING + 1;
    const int frames = std::max(SWEEP_SAMPLES - 1 - inSweep, 0);
    std::vector<Clock::time_point> sent(static_cast<std::size_t>(frames));
    std::thread feeder([&] {
        Clock::time_point due = Clock::now();
        for (Clock::time_point &time : sent) {
            std::this_thread::sleep_until(due);
            time = program.Send(LATENCY_FRAME);
            due += STREAM_FRAME_TIME;
        }
    });
    // When the screen first showed each count of the stream's samples.
    std::vector<std::pair<Clock::time_point, int>> seen;
    int shown = 0;
    for (const auto deadline = Clock::now() + 10s; shown < frames && Clock::now() < deadline;) {
        const std::optional<int> rightmost = RightmostTracePixel(probe, plot, trace->y);
        const int count = rightmost ? (*rightmost - trace->rightmost) / SAMPLE_SPACING : 0;
        if (count > shown) {
            seen.emplace_back(Clock::now(), count);
            shown = count;
        } else {
            std::this_thread::sleep_for(PROBE_INTERVAL);
        }
    }
    feeder.join();
    std::vector<double> latencies;
    int counted = 0;
    for (const auto &[time, count] : seen) {
        for (; counted < count; ++counted)
            latencies.push_back(Seconds(time - sent[static_cast<std::size_t>(counted)]) * 1e3);
    }
    PrintFigure("frames sent", frames, "");
    PrintTarget("frames never seen", frames - shown, "", "0", shown == frames);
    if (latencies.empty())
        return;
    const double p95 = Percentile(latencies, 0.95);
    const double worst = Percentile(latencies, 1.0);
    PrintFigure("latency, median", Percentile(latencies, 0.5), "ms");
    PrintTarget("latency, 95th percentile", p95, "ms", "<= 100", p95 <= 100);
    PrintTarget("latency, worst", worst, "ms", "<= 100", worst <= 100);
}

std::optional<std::uint64_t> BytesReadBy(const std::string &outputPath)
{
    std::ifstream output(outputPath);
    std::uint64_t bytes = 0;
    if (!(output >> bytes))
        return std::nullopt;
    return bytes;
}

void PrintStalls(const CLineFeeder &feeder)
{
    const CLineFeeder::EndStats &stats = feeder.Stats()[0];
    PrintTarget("device end: wake-ups with bytes the line did not take",
                static_cast<double>(stats.stalledWakeUps), "", "0", stats.stalledWakeUps == 0);
    PrintFigure("device end: largest backlog", static_cast<double>(stats.largestBacklog), "B");
    std::printf("device end: the feeder ran %s; its latest wake-up came %.1f ms late\n",
                feeder.RealTime() ? "on a real-time schedule" : "at normal priority",
                feeder.LatestWakeUpMs());
}

// The minimal read() loop on a line of its own, fed the same bytes as the program, so that the
// program's processor time is measured beside the least any reader of the line spends.
class CMinimalReader
{
public:
    explicit CMinimalReader(const std::string &path)
        : m_end(CPseudoTerminal::OtherEnd::ReleasedRaw)
        , m_run({path, m_end.SlavePath()}, {}, "minimal.out", "minimal.err")
        , m_stats(m_run.Pid())
    {
        for (const auto deadline = Clock::now() + 5s;
             !m_stats.HasOpen(m_end.SlavePath()) && Clock::now() < deadline;)
            std::this_thread::sleep_for(5ms);
        m_cpuBefore = m_stats.CpuSeconds();
    }

    CPseudoTerminal &End() { return m_end; }

    // Ends the loop; the processor time it spent since it started.
    std::optional<double> Finish()
    {
        const std::optional<double> cpu = Difference(m_stats.CpuSeconds(), m_cpuBefore);
        m_run.Terminate(5'000);
        return cpu;
    }

private:
    CPseudoTerminal m_end;
    CProgramRun m_run;
    CProcessStats m_stats;
    std::optional<double> m_cpuBefore;
};

void PrintBeside(std::optional<double> perMegabyte, CMinimalReader &minimal,
                 const CLineFeeder &feeder)
{
    const std::uint64_t sent = feeder.BytesSent();
    const std::optional<double> minimalPerMegabyte = PerMegabyte(minimal.Finish(), sent);
    PrintTarget("Orvanta processor time, whole process", perMegabyte, "CPU-s/MB", "<= 0.10",
                perMegabyte && *perMegabyte <= 0.10);
    PrintFigure("minimal read() loop, same run", minimalPerMegabyte, "CPU-s/MB");
    PrintFigure("Orvanta / minimal read() loop", Ratio(perMegabyte, minimalPerMegabyte), "");
    const std::optional<std::uint64_t> minimalRead = BytesReadBy("minimal.out");
    std::optional<double> minimalUnread;
    if (minimalRead)
        minimalUnread = static_cast<double>(sent) - static_cast<double>(*minimalRead);
    PrintTarget("minimal read() loop: bytes not read", minimalUnread, "B", "0",
                minimalRead == sent);
    PrintFigure("minimal read() loop's end: wake-ups with bytes not taken",
                static_cast<double>(feeder.Stats()[1].stalledWakeUps), "");
}

// Threads that ended during the run (the clears' copies) are left out of this split, but not
// out of the whole process's figure.
void PrintByThread(const std::map<std::string, double> &before,
                   const std::map<std::string, double> &after, std::uint64_t sent)
{
    for (const auto &[name, seconds] : after) {
        const auto earlier = before.find(name);
        const double spent = seconds - (earlier == before.end() ? 0.0 : earlier->second);
        PrintFigure("  thread " + name, PerMegabyte(spent, sent), "CPU-s/MB");
    }
}

void MeasureLineRate(COrvantaUnderTest &program, const std::string &minimalReaderPath)
{
    Heading("Line rate: 300,000 B/s for 60 s, two display clears on the way; the minimal read() "
            "loop on a line of its own beside it");
    CMinimalReader minimal(minimalReaderPath);
    const CProcessStats stats = program.Stats();
    const std::optional<double> cpuBefore = stats.CpuSeconds();
    const std::map<std::string, double> threadsBefore = stats.CpuSecondsByThreadName();
    const Clock::time_point start = Clock::now();
    CLineFeeder feeder({&program.Device(), &minimal.End()}, LINE_RATE, program.Record());
    int clicked = 0;
    for (int clear = 1; clear <= CLEARS_ON_THE_WAY; ++clear) {
        std::this_thread::sleep_until(start + LINE_RATE_TIME * clear / (CLEARS_ON_THE_WAY + 1));
        clicked += program.Click(IDC_DISPLAY_CLEAR) ? 1 : 0;
    }
    std::this_thread::sleep_until(start + LINE_RATE_TIME);
    feeder.Stop();
    const std::uint64_t sent = feeder.BytesSent();
    program.WaitUntilTaken();
    const std::optional<double> cpu = Difference(stats.CpuSeconds(), cpuBefore);
    const std::map<std::string, double> threadsAfter = stats.CpuSecondsByThreadName();

    PrintFigure("sent to each line", static_cast<double>(sent) / MB, "MB");
    PrintTarget("display clears clicked", clicked, "", "2", clicked == CLEARS_ON_THE_WAY);
    PrintBeside(PerMegabyte(cpu, sent), minimal, feeder);
    PrintByThread(threadsBefore, threadsAfter, sent);
    PrintStalls(feeder);
}

void MeasureSoak(COrvantaUnderTest &program, const std::string &minimalReaderPath)
{
    Heading("Soak: 2 GB at 4,000,000 B/s, the minimal read() loop on a line of its own beside it, "
            "then a display clear");
    const CProcessStats stats = program.Stats();
    const std::optional<double> startRss = Megabytes(stats.ResidentBytes());
    PrintFigure("resident memory before", startRss, "MB");
    CMinimalReader minimal(minimalReaderPath);
    const std::optional<double> cpuBefore = stats.CpuSeconds();
    CLineFeeder feeder({&program.Device(), &minimal.End()}, SOAK_RATE, program.Record());
    std::uint64_t sent = 0;
    for (std::uint64_t mark = SOAK_REPORT_STEP; sent < SOAK_BYTES;) {
        std::this_thread::sleep_for(200ms);
        sent = feeder.BytesSent();
        if (sent >= mark) {
            PrintFigure("resident memory at " + std::to_string(mark / 1'000'000) + " MB received",
                        Megabytes(stats.ResidentBytes()), "MB");
            mark += SOAK_REPORT_STEP;
        }
    }
    feeder.Stop();
    sent = feeder.BytesSent();
    program.WaitUntilTaken();
    const std::optional<double> cpu = Difference(stats.CpuSeconds(), cpuBefore);
    PrintBeside(PerMegabyte(cpu, sent), minimal, feeder);
    PrintStalls(feeder);
    const std::optional<double> fullRss = Megabytes(stats.ResidentBytes());
    const std::optional<double> growth = PerMegabyte(Difference(fullRss, startRss), sent);
    PrintFigure("resident memory with " + std::to_string(sent / 1'000'000) + " MB received",
                fullRss, "MB");
    PrintTarget("memory growth per MB received", growth, "MB/MB", "<= 0.01",
                growth && *growth <= SOAK_GROWTH_LIMIT);

    const Clock::time_point clickedAt = Clock::now();
    program.Click(IDC_DISPLAY_CLEAR);
    while (COrvantaUnderTest::KeptBytes() < sent && Clock::now() - clickedAt < 120s)
        std::this_thread::sleep_for(10ms);
    PrintFigure("display clear: click to a complete log", Seconds(Clock::now() - clickedAt) * 1e3,
                "ms");
    PrintFigure("resident memory after the clear", Megabytes(stats.ResidentBytes()), "MB");
}

void CloseAndCheckLogs(COrvantaUnderTest &program)
{
    Heading("Close and log check");
    const std::vector<double> rates = program.RepaintRates();
    std::optional<double> highest;
    if (!rates.empty())
        highest = *std::max_element(rates.begin(), rates.end());
    // Qt counts the frames of a stretch of at least five seconds; one frame more at its ends
    // is the pacing's own.
    PrintTarget("window repaints, highest 5-second rate (Qt's count)", highest, "/s", "<= 60",
                highest && *highest <= 60 + 1.0 / 5);
    const std::optional<int> status = program.Close();
    std::optional<double> exitStatus;
    if (status)
        exitStatus = *status;
    PrintTarget("exit status after the close button", exitStatus, "", "0", status == 0);
    const LogComparison logs
        = CompareLogsWithRecord(COrvantaUnderTest::LOG_DIRECTORY, COrvantaUnderTest::RECORD_PATH);
    PrintFigure("log files", logs.files, "");
    PrintFigure("bytes sent", static_cast<double>(logs.sentBytes), "B");
    PrintFigure("bytes in the logs", static_cast<double>(logs.loggedBytes), "B");
    PrintTarget("bytes lost (logs against the record, byte for byte)",
                static_cast<double>(logs.LostBytes()), "B", "0",
                !logs.firstDifference && logs.loggedBytes == logs.sentBytes);
    if (logs.firstDifference)
        PrintFigure("first difference at offset", static_cast<double>(*logs.firstDifference), "");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string option = argc == 4 ? argv[3] : "";
    if (argc < 3 || argc > 4
        || (argc == 4 && option != "--soak" && option != "--line-rate" && option != "--latency")) {
        std::fprintf(stderr,
                     "usage: %s ORVANTA MINIMAL_READER [--soak | --line-rate | --latency]\n",
                     argv[0]);
        return 2;
    }
    try {
        COrvantaUnderTest program(argv[1]);
        if (option == "--soak") {
            MeasureSoak(program, argv[2]);
        } else {
            if (option.empty())
                MeasureIdle(program);
            if (option.empty() || option == "--latency") {
                MeasureLatency(program);
                MeasureStreamLatency(program);
            }
            if (option != "--latency")
                MeasureLineRate(program, argv[2]);
        }
        CloseAndCheckLogs(program);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
