// The main window in process with gigabytes received, shown on the platform that QT_QPA_PLATFORM
// names (offscreen when there is no display):
// - a display clear of 1 GB, first when the log's name is new (the journal becomes the log),
//   then when the log exists (the journal is copied onto its end): the time until the log is
//   complete, and the longest time the window's thread went without handling an event;
// - repaints of the received-text view at lines that no cache of the program holds, at the top,
//   the middle and the end of 2 GB, with the journal in the system's page cache and without;
// - resident memory on the way (the chunks come far faster than any line brings them, so the
//   journal's queue holds more than it would; the memory target is the whole program's soak).
// It works in a temporary directory on the file system that TMPDIR names (/tmp by default), which
// is where DATALOG/ and its journal land; they take about 4 GB at the most.
#include "logfile.h"
#include "logtimestamp.h"
#include "pseudoterminal.h"
#include "receivedtext.h"
#include "receivedtextview.h"
#include "receivejournal.h"
#include "runningwindow.h"
#include "summary.h"
#include "templates.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t MB = 1'000'000;
constexpr std::uint64_t CLEARED_BYTES = 1'000 * MB;
constexpr std::uint64_t VIEWED_BYTES = 2'000 * MB;
constexpr int JUMPS_PER_PLACE = 200;
// Each place spans this share of the scroll bar, at its start, its middle or its end.
constexpr double PLACE_SPAN = 0.05;
constexpr double REPAINT_LIMIT_MS = 16;
constexpr double BLOCKED_LIMIT_MS = 100;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

std::optional<double> ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) * 1024 / static_cast<double>(MB);
    }
    return std::nullopt;
}

// The longest time between two turns of the window thread's event loop while it runs.
class CBlockWatch
{
public:
    CBlockWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_last = Clock::now();
        m_timer.start();
    }
    double LongestMs() const { return Milliseconds(m_longest); }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    Clock::duration m_longest {};
};

std::uint64_t LogBytes()
{
    std::uint64_t total = 0;
    for (const auto &entry : std::filesystem::directory_iterator(LOG_DIRECTORY)) {
        if (entry.path().filename().string()[0] != '.')
            total += entry.file_size();
    }
    return total;
}

// Clicks the clear button from the running event loop, as the user would, and measures it.
void MeasureClear(CRunningWindow &window, const std::string &which)
{
    const std::uint64_t loggedBefore = LogBytes();
    const std::uint64_t received = window.Dialog().Monitor().ReceivedText().Size();
    auto &button = static_cast<QAbstractButton &>(window.Control(IDC_DISPLAY_CLEAR));
    Clock::duration took {};
    bool done = false;
    CBlockWatch watch;
    RunEventLoopFor(20);
    QTimer::singleShot(0, [&] {
        const Clock::time_point start = Clock::now();
        button.click();
        took = Clock::now() - start;
        done = true;
    });
    RunEventLoopUntil([&] { return done; }, 600'000);
    const double blocked = watch.LongestMs();
    const bool complete = LogBytes() == loggedBefore + received;

    PrintFigure("clear of " + std::to_string(received / MB) + " MB, " + which
                    + ": time until the log is complete",
                Milliseconds(took), "ms");
    PrintTarget("  the log holds every byte, once", complete ? 1 : 0, "", "1", complete);
    PrintTarget("  longest time the window's thread was blocked", blocked, "ms",
                "<= " + std::to_string(static_cast<int>(BLOCKED_LIMIT_MS)),
                blocked <= BLOCKED_LIMIT_MS);
}

// Drops the journal's pages from the page cache, so that the next read goes to the disk.
void DropFromPageCache(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Jumps the view to lines far apart within one place of the text and times each jump's repaint.
void MeasureRepaints(CRunningWindow &window, const char *place, double from, bool cold)
{
    auto &view = static_cast<CReceivedTextView &>(window.Control(IDC_RECEIVED));
    QScrollBar &bar = *view.verticalScrollBar();
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> within(from, from + PLACE_SPAN);
    const std::string journal = std::string(LOG_DIRECTORY) + "/" + JOURNAL_FILE_NAME;
    QWidget &viewport = *view.viewport();
    QImage image(viewport.size(), QImage::Format_RGB32);
    std::vector<double> times;
    std::uint64_t lowest = UINT64_MAX;
    std::uint64_t highest = 0;
    for (int i = 0; i < JUMPS_PER_PLACE; ++i) {
        const int value = static_cast<int>(within(random) * bar.maximum());
        if (cold)
            DropFromPageCache(journal);
        const Clock::time_point start = Clock::now();
        bar.setValue(value);
        viewport.render(&image);
        times.push_back(Milliseconds(Clock::now() - start));
        lowest = std::min(lowest, view.FirstLineInSight());
        highest = std::max(highest, view.FirstLineInSight());
    }
    const double p99 = Percentile(times, 0.99);
    PrintTarget(std::string("repaint at a line no cache holds, p99, ") + place
                    + (cold ? ", journal not in the page cache" : ""),
                p99, "ms", "<= 16", p99 <= REPAINT_LIMIT_MS);
    PrintFigure("  median", Percentile(times, 0.5), "ms");
    const auto lines = static_cast<double>(window.Dialog().Monitor().ReceivedText().LineCount());
    std::printf("  top lines shown: %.1f %% to %.1f %% of %.0f lines\n",
                static_cast<double>(lowest) / lines * 100,
                static_cast<double>(highest) / lines * 100, lines);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The journal opens with the port; the device stays silent, and the chunks come as events.
    CPseudoTerminal device(CPseudoTerminal::OtherEnd::HeldInProcess);
    CRunningWindow window(device.SlavePath());
    // One minute for the whole run: the second clear finds the first one's log and copies.
    const auto minute = std::chrono::system_clock::now();
    SetLogClock([minute] { return minute; });
    PrintFigure("resident memory after start-up", ResidentMegabytes(), "MB");

    window.FillTo(CLEARED_BYTES);
    PrintFigure("resident memory with 1 GB received", ResidentMegabytes(), "MB");
    MeasureClear(window, "new log (rename)");
    window.FillTo(CLEARED_BYTES);
    MeasureClear(window, "existing log (copy)");

    window.FillTo(VIEWED_BYTES);
    PrintFigure("resident memory with 2 GB received", ResidentMegabytes(), "MB");
    for (bool cold : {false, true}) {
        MeasureRepaints(window, "top", 0, cold);
        MeasureRepaints(window, "middle", 0.5 - PLACE_SPAN / 2, cold);
        MeasureRepaints(window, "end", 1 - PLACE_SPAN, cold);
    }
    SetLogClock({});
    return 0;
}
