// The main window in process, shown on the platform that QT_QPA_PLATFORM names (bench/run gives
// it an X server; offscreen serves too):
// - the main thread's time for one 4095-byte chunk, from its event to the end of the repaint it
//   causes, after 1 MB and after 100 MB received, and the ratio of the two medians;
// - the repaints of the graph and the received-text view while a pseudo-terminal brings 300,000
//   bytes a second through the real reader, against the screen's rate.
#include "figurereporter.h"
#include "linefeeder.h"
#include "pacer.h"
#include "pseudoterminal.h"
#include "reader.h"
#include "receivedtextview.h"
#include "receivemessages.h"
#include "runningwindow.h"
#include "summary.h"
#include "templates.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace {

constexpr std::uint64_t MB = 1'000'000;
constexpr int TIMED_CHUNKS = 500;
constexpr double LINE_RATE = 300'000;
constexpr int LINE_RATE_RUN_MS = 10'000;

const char *const CHUNK_RUN_1MB = "ChunkWithRepaint_after_1MB";
const char *const CHUNK_RUN_100MB = "ChunkWithRepaint_after_100MB";
const char *const LINE_RATE_RUN = "RepaintsAt300000BytesPerSecond";

class CEventCounter : public QObject
{
public:
    explicit CEventCounter(QEvent::Type type)
        : m_type(type)
    { }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

    std::uint64_t count = 0;

private:
    QEvent::Type m_type;
};

double MainThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void ChunkWithRepaint(benchmark::State &state, std::uint64_t receivedBefore)
{
    CRunningWindow window(NO_DEVICE);
    window.FillTo(receivedBefore);
    CEventCounter plotPaints(QEvent::Paint);
    window.Control(IDC_PLOT).installEventFilter(&plotPaints);
    // A chunk that comes a screen frame after the last repaint and a show interval after the last
    // shown chunk is shown and painted at once. The fill's shows brought whole sweeps, so the
    // first chunk waits the longer interval; a timed chunk brings less than a sweep.
    const int quietMs = std::max(static_cast<int>(std::ceil(1000 / window.ScreenRate())),
                                 static_cast<int>(RECEIVED_SHOW_INTERVAL.count()))
        + 2;
    RunEventLoopFor(static_cast<int>(WHOLE_SWEEP_SHOW_INTERVAL.count()) + 2);

    std::vector<double> milliseconds;
    std::vector<double> cpuMilliseconds;
    std::uint64_t repainted = 0;
    for (auto _ : state) {
        RunEventLoopFor(quietMs);
        QByteArray chunk = window.NextChunk();
        const std::uint64_t paintsBefore = plotPaints.count;
        const double cpuStart = MainThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        window.Receive(std::move(chunk));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(spent.count());
        milliseconds.push_back(spent.count() * 1e3);
        cpuMilliseconds.push_back((MainThreadCpuSeconds() - cpuStart) * 1e3);
        repainted += plotPaints.count > paintsBefore ? 1 : 0;
    }
    state.counters["median_ms"] = Percentile(milliseconds, 0.5);
    state.counters["p99_ms"] = Percentile(milliseconds, 0.99);
    state.counters["max_ms"] = Percentile(milliseconds, 1.0);
    state.counters["cpu_median_ms"] = Percentile(cpuMilliseconds, 0.5);
    state.counters["repainted_share"]
        = static_cast<double>(repainted) / static_cast<double>(milliseconds.size());
    state.counters["received_MB"]
        = static_cast<double>(window.Dialog().Monitor().ReceivedText().Size()) / MB;
}

void RepaintsAtLineRate(benchmark::State &state)
{
    for (auto _ : state) {
        CPseudoTerminal device(CPseudoTerminal::OtherEnd::HeldInProcess);
        CRunningWindow window(device.SlavePath());
        CEventCounter chunks(static_cast<QEvent::Type>(WM_RECEIVED_DATA));
        CEventCounter plotPaints(QEvent::Paint);
        CEventCounter textPaints(QEvent::Paint);
        window.Dialog().installEventFilter(&chunks);
        window.Control(IDC_PLOT).installEventFilter(&plotPaints);
        static_cast<CReceivedTextView &>(window.Control(IDC_RECEIVED))
            .viewport()
            ->installEventFilter(&textPaints);

        QElapsedTimer clock;
        clock.start();
        CLineFeeder feeder({&device}, LINE_RATE, nullptr);
        RunEventLoopFor(LINE_RATE_RUN_MS);
        feeder.Stop();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const std::uint64_t sent = feeder.BytesSent();
        RunEventLoopUntil([&] { return window.Dialog().Monitor().ReceivedText().Size() >= sent; },
                          5'000);
        state.SetIterationTime(seconds);

        state.counters["chunks_per_s"] = static_cast<double>(chunks.count) / seconds;
        state.counters["graph_paints_per_s"] = static_cast<double>(plotPaints.count) / seconds;
        state.counters["text_paints_per_s"] = static_cast<double>(textPaints.count) / seconds;
        state.counters["screen_Hz"] = window.ScreenRate();
        state.counters["bytes_lost"] = static_cast<double>(
            sent - std::min(sent, window.Dialog().Monitor().ReceivedText().Size()));
        state.counters["stalled_wakeups"] = static_cast<double>(feeder.Stats()[0].stalledWakeUps);
    }
}

void PrintSummary(const CFigureReporter &reporter)
{
    const auto figure
        = [&](const char *run, const char *counter) { return reporter.Figure(run, counter); };
    const auto atMost
        = [](std::optional<double> value, double limit) { return value && *value <= limit; };
    std::printf("\nMain window on the \"%s\" platform\n",
                QGuiApplication::platformName().toUtf8().constData());
    for (const char *run : {CHUNK_RUN_1MB, CHUNK_RUN_100MB}) {
        const std::string label = run == CHUNK_RUN_1MB ? "after 1 MB" : "after 100 MB";
        const std::optional<double> median = figure(run, "median_ms");
        const std::optional<double> p99 = figure(run, "p99_ms");
        PrintTarget("chunk and its repaint, median, " + label, median, "ms", "<= 1",
                    atMost(median, 1));
        PrintTarget("chunk and its repaint, p99, " + label, p99, "ms", "<= 5", atMost(p99, 5));
        PrintFigure("main thread's processor time in it, median, " + label,
                    figure(run, "cpu_median_ms"), "ms");
        PrintFigure("chunks that repainted the graph, " + label, figure(run, "repainted_share"),
                    "share");
    }
    const std::optional<double> median1 = figure(CHUNK_RUN_1MB, "median_ms");
    const std::optional<double> median100 = figure(CHUNK_RUN_100MB, "median_ms");
    std::optional<double> growth;
    if (median1 && median100 && *median1 > 0)
        growth = *median100 / *median1;
    PrintTarget("median after 100 MB / median after 1 MB", growth, "", "<= 1.5",
                atMost(growth, 1.5));

    const std::optional<double> screen = figure(LINE_RATE_RUN, "screen_Hz");
    const double frameRate = screen.value_or(60);
    const std::string rateTarget = "<= " + std::to_string(static_cast<int>(std::lround(frameRate)));
    PrintFigure("at 300,000 B/s: chunks handed over", figure(LINE_RATE_RUN, "chunks_per_s"), "/s");
    PrintFigure("at 300,000 B/s: screen refresh rate", screen, "Hz");
    const std::optional<double> graph = figure(LINE_RATE_RUN, "graph_paints_per_s");
    const std::optional<double> text = figure(LINE_RATE_RUN, "text_paints_per_s");
    PrintTarget("at 300,000 B/s: graph repaints", graph, "/s", rateTarget,
                atMost(graph, frameRate));
    PrintTarget("at 300,000 B/s: text view repaints", text, "/s", rateTarget,
                atMost(text, frameRate));
    const std::optional<double> lost = figure(LINE_RATE_RUN, "bytes_lost");
    PrintTarget("at 300,000 B/s: bytes lost", lost, "B", "0", atMost(lost, 0));
    const std::optional<double> stalls = figure(LINE_RATE_RUN, "stalled_wakeups");
    PrintTarget("at 300,000 B/s: device end's wake-ups with bytes not taken", stalls, "", "0",
                atMost(stalls, 0));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::RegisterBenchmark(CHUNK_RUN_1MB, ChunkWithRepaint, MB)
        ->Iterations(TIMED_CHUNKS)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(CHUNK_RUN_100MB, ChunkWithRepaint, 100 * MB)
        ->Iterations(TIMED_CHUNKS)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(LINE_RATE_RUN, RepaintsAtLineRate)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    CFigureReporter reporter;
    if (!RunBenchmarks(argc, argv, reporter))
        return 1;
    PrintSummary(reporter);
    return 0;
}
