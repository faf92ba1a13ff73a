// The main window's journal: the display clear and the close empty it once the log holds the
// text, start-up puts what an earlier run left in it into a log, and a run that is killed while
// data streams in loses nothing that had arrived shortly before.
#include "filecontents.h"
#include "logtimestamp.h"
#include "monitorrun.h"
#include "receivejournal.h"
#include "templates.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string JOURNAL = "DATALOG/.journal";
// 7 December 2026 18:05 reference time, so that every log of a test goes to one file.
const std::chrono::system_clock::time_point NOW
    = std::chrono::sys_days {std::chrono::year {2026} / 12 / 7} + 9h + 5min;
const std::string LOG_COM1 = "DATALOG/COM1_2026_12_7_18_5_DataLogger.txt";

// Device frames with a running count, broken now and then by bytes that are no text, so that
// any byte out of place, lost or doubled shows.
std::string MakeStream(std::size_t length)
{
    std::string stream;
    for (unsigned i = 0; stream.size() < length; ++i) {
        char frame[32];
        std::snprintf(frame, sizeof frame, "X%04XY%04XZ%04X\r\n", i & 0xFFFF, (i * 7) & 0xFFFF,
                      (i >> 4) & 0xFFFF);
        stream += frame;
        if (i % 97 == 0)
            stream += std::string("\0\xFF\x82\xA0", 4);
    }
    stream.resize(length);
    return stream;
}

// The window's fixture with the log clock at NOW.
class MonitorJournal : public MonitorRun
{
protected:
    void SetUp() override
    {
        SetLogClock([] { return NOW; });
    }
    void TearDown() override { SetLogClock({}); }

    // Long streams: the bounds are generous.
    bool ReceivedAll(std::size_t size)
    {
        return Window().WaitFor([&] { return Monitor().ReceivedText().Size() == size; }, 20s);
    }
    bool JournalHolds(const std::string &bytes)
    {
        return Window().WaitFor([&] { return Contents(JOURNAL) == bytes; }, 20s);
    }
};

TEST_F(MonitorJournal, StartUpPutsALeftoverIntoALogAndSaysSo)
{
    const std::string leftover = std::string("X07FFY0801Z0ABC\r\n\0\x82\xA0\xFF", 21);
    const struct
    {
        const char *name;
        bool portOpens;
        // A directory in the log's place takes neither the journal's file nor a copy.
        bool logBlocked;
        const char *status;
    } rows[] = {
        {"port opens", true, false,
         "前回の受信データを回復しました　起動時のCOMポートが設定されました"},
        {"port missing", false, false,
         "前回の受信データを回復しました　COMポートが設定されていません"},
        {"no log can be written", true, true,
         "前回の受信データを回復できませんでした　起動時のCOMポートが設定されました"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<CPseudoTerminal> device;
        if (row.portOpens) {
            device.emplace();
            device->LinkAs("COM1");
        } else {
            ASSERT_EQ(symlink("no-such-device", "COM1"), 0);
        }
        fs::create_directory("DATALOG");
        WriteFile(JOURNAL, leftover);
        if (row.logBlocked)
            fs::create_directory(LOG_COM1);

        StartWindow();
        EXPECT_EQ(Status(), row.status);
        const std::string journalLeft = row.logBlocked ? leftover : "";
        EXPECT_EQ(Contents(JOURNAL), journalLeft);
        Monitor().OnCancel();
        EXPECT_EQ(Contents(JOURNAL), journalLeft);
        if (!row.logBlocked) {
            EXPECT_EQ(Contents(LOG_COM1), leftover);
        }

        m_window.reset();
        unlink("COM1");
        fs::remove_all("DATALOG");
    }
}

// Where the journal cannot be opened (a directory stands in its place), the window runs as it
// would without one.
TEST_F(MonitorJournal, ClearAndCloseEmptyTheJournalOnceTheLogHoldsTheText)
{
    for (const bool journalBlocked : {false, true}) {
        SCOPED_TRACE(journalBlocked ? "journal cannot be opened" : "journal opens");
        CPseudoTerminal device;
        device.LinkAs("COM1");
        if (journalBlocked)
            fs::create_directories(JOURNAL);
        StartWindow();
        EXPECT_EQ(Status(), "起動時のCOMポートが設定されました");

        const std::string first = MakeStream(20000);
        device.Send(first);
        ASSERT_TRUE(journalBlocked ? ReceivedAll(first.size()) : JournalHolds(first));
        Monitor().OnDisplayClear();
        EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), "");
        EXPECT_EQ(Contents(LOG_COM1), first);
        if (!journalBlocked) {
            EXPECT_EQ(fs::file_size(JOURNAL), 0u);
        }

        const std::string second = "X0100\r\nX0200\r\n";
        device.Send(second);
        ASSERT_TRUE(journalBlocked ? ReceivedAll(second.size()) : JournalHolds(second));
        Monitor().OnCancel();
        EXPECT_EQ(Contents(LOG_COM1), first + second);
        if (journalBlocked) {
            EXPECT_TRUE(fs::is_directory(JOURNAL));
        } else {
            EXPECT_EQ(fs::file_size(JOURNAL), 0u);
        }
        EXPECT_TRUE(Window().messages.empty()) << Window().messages[0].text;
        m_window.reset();
        fs::remove("COM1");
        fs::remove_all("DATALOG");
    }
}

TEST_F(MonitorJournal, KeepsWhatTheCloseCouldNotLogForTheNextStart)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    const std::string bytes = MakeStream(5000);
    {
        StartWindow();
        device.Send(bytes);
        ASSERT_TRUE(ReceivedAll(bytes.size()));

        // Another writer holds the log, and the user lets the text go.
        const int holder = open(LOG_COM1.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
        Monitor().OnCancel();
        close(holder);
        EXPECT_EQ(Messages(), std::vector<std::string> {Strings::LOG_CANNOT_OPEN});
        EXPECT_EQ(Contents(LOG_COM1), "");
        EXPECT_EQ(Contents(JOURNAL), bytes);
    }

    StartWindow();
    EXPECT_EQ(Status(), "前回の受信データを回復しました　起動時のCOMポートが設定されました");
    EXPECT_EQ(Contents(LOG_COM1), bytes);
    EXPECT_EQ(Contents(JOURNAL), "");
    Monitor().OnCancel();
}

// A journal that another run held at start is not taken up partway through the text, at a port
// selection, when that run has let it go: the text stays in memory until the next clear, and
// the journal starts after it.
TEST_F(MonitorJournal, JournalHeldAtStartBeginsOnlyAfterTheNextClear)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    auto otherRun = std::make_unique<CReceiveJournal>("DATALOG");
    ASSERT_TRUE(otherRun->Open());
    StartWindow();
    // Many of the text's segments, so that a journal taken up now would stand in for them.
    const std::string stream = MakeStream(1200000);
    const std::size_t half = stream.size() / 2;
    device.Send(stream.substr(0, half));
    ASSERT_TRUE(ReceivedAll(half));

    otherRun.reset();
    Monitor().OnPortSelect();
    // A journal taken up now would write what comes next, and the text would then let go of
    // its first segments for the journal's bytes.
    const std::size_t threeQuarters = half + half / 2;
    device.Send(stream.substr(half, threeQuarters - half));
    ASSERT_TRUE(ReceivedAll(threeQuarters));
    Window().WaitFor([&] { return fs::file_size(JOURNAL) >= threeQuarters - half; }, 1s);
    device.Send(stream.substr(threeQuarters));
    ASSERT_TRUE(ReceivedAll(stream.size()));
    EXPECT_EQ(Received(), stream);
    Monitor().OnDisplayClear();
    EXPECT_EQ(Contents(LOG_COM1), stream);

    const std::string after = "X0100\r\nX0200\r\n";
    device.Send(after);
    EXPECT_TRUE(JournalHolds(after));
    Monitor().OnCancel();
    EXPECT_EQ(Contents(LOG_COM1), stream + after);
    EXPECT_TRUE(Window().messages.empty()) << Window().messages[0].text;
}

// A journal write that fails (the file may not grow) leaves the text whole, says so once on the
// status line, and once more when a later write catches up; the clear then logs every byte.
TEST_F(MonitorJournal, SaysOnceThatTheJournalIsBehindAndOnceThatItCaughtUp)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    StartWindow();
    const std::string stream = MakeStream(20000);
    std::size_t sent = 0;
    // The journal is written a moment after each chunk, and the window learns how that went with
    // the next one; so the stream goes in small pieces until the status line changes.
    const auto sendUntilStatus = [&](const char *status) {
        while (Status() != status && sent < stream.size()) {
            const std::size_t piece = std::min<std::size_t>(100, stream.size() - sent);
            device.Send(stream.substr(sent, piece));
            sent += piece;
            if (!ReceivedAll(sent))
                return false;
        }
        return Status() == status;
    };
    device.Send(stream.substr(0, 1000));
    sent = 1000;
    ASSERT_TRUE(Window().WaitFor([&] { return Contents(JOURNAL).size() == 1000; }, 20s));

    rlimit fileSize {};
    getrlimit(RLIMIT_FSIZE, &fileSize);
    const rlimit unlimited = fileSize;
    fileSize.rlim_cur = 1500;
    setrlimit(RLIMIT_FSIZE, &fileSize);
    const bool saidBehind = sendUntilStatus(Strings::STATUS_JOURNAL_BEHIND);
    const std::size_t journaled = Contents(JOURNAL).size();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    ASSERT_TRUE(saidBehind);
    EXPECT_LE(journaled, 1500u) << "cut back to what it wrote whole";
    EXPECT_EQ(Contents(JOURNAL), stream.substr(0, journaled));

    ASSERT_TRUE(sendUntilStatus(Strings::STATUS_JOURNAL_CAUGHT_UP));
    EXPECT_TRUE(JournalHolds(stream.substr(0, sent)));
    Monitor().OnDisplayClear();
    EXPECT_EQ(Contents(LOG_COM1), stream.substr(0, sent));
    EXPECT_EQ(Contents(JOURNAL), "");
    Monitor().OnCancel();
}

// The program that the crash test kills, with its stdout on a pipe.
class CCrashChild
{
public:
    CCrashChild()
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        char *const argv[] = {const_cast<char *>(JOURNAL_CRASH_CHILD_PATH), nullptr};
        m_pid = fork();
        if (m_pid == 0) {
            if (dup2(out[1], STDOUT_FILENO) == STDOUT_FILENO)
                execv(JOURNAL_CRASH_CHILD_PATH, argv);
            _exit(127);
        }
        close(out[1]);
        m_out = out[0];
    }
    ~CCrashChild()
    {
        Kill();
        close(m_out);
    }
    CCrashChild(const CCrashChild &) = delete;
    CCrashChild &operator=(const CCrashChild &) = delete;

    // The next line it wrote; nothing when it wrote none before the deadline.
    std::optional<std::string> ReadLine(Clock::time_point deadline)
    {
        for (;;) {
            if (const std::size_t end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd wait {m_out, POLLIN, 0};
            if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t got = read(m_out, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void Kill()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

// Sends the stream to the device end at the line's full rate of 300,000 bytes a second, on a
// thread of its own, until stopped or done.
class CPacedSender
{
public:
    CPacedSender(const CPseudoTerminal &device, const std::string &stream)
        : m_thread([this, &device, &stream] { Run(device, stream); })
    { }
    ~CPacedSender() { Stop(); }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    static constexpr std::size_t PIECE = 3000;
    static constexpr auto PIECE_TIME = 10ms;

    void Run(const CPseudoTerminal &device, const std::string &stream)
    {
        auto due = Clock::now();
        for (std::size_t sent = 0; sent < stream.size() && !m_stop; sent += PIECE) {
            try {
                device.Send(std::string_view(stream).substr(sent, PIECE));
            } catch (const std::runtime_error &) {
                return;
            }
            due += PIECE_TIME;
            std::this_thread::sleep_until(due);
        }
    }

    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

struct ChunkReport
{
    std::uint64_t received;
    Clock::time_point seen;
};

// The most that the child had received by `moment`: a report seen by then was written earlier.
std::uint64_t ReceivedBy(const std::vector<ChunkReport> &reports, Clock::time_point moment)
{
    std::uint64_t received = 0;
    for (const ChunkReport &report : reports) {
        if (report.seen <= moment)
            received = std::max(received, report.received);
    }
    return received;
}

TEST_F(MonitorJournal, TheNextStartRecoversWhatArrivedBeforeAKill)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    CCrashChild child;
    ASSERT_EQ(child.ReadLine(Clock::now() + 30s), "ready");

    const std::string stream = MakeStream(3'000'000);
    std::vector<ChunkReport> reports;
    {
        CPacedSender sender(device, stream);
        const auto deadline = Clock::now() + 30s;
        while (reports.empty() || reports.back().seen - reports.front().seen < 1500ms) {
            const std::optional<std::string> line = child.ReadLine(deadline);
            ASSERT_TRUE(line) << "the child reported no chunk";
            reports.push_back({std::stoull(*line), Clock::now()});
        }
    }
    const Clock::time_point killed = Clock::now();
    child.Kill();
    const std::uint64_t required = ReceivedBy(reports, killed - 200ms);
    ASSERT_GT(required, 0u);

    // Started again without its port, nothing new reaches the journal after the recovery.
    ASSERT_EQ(unlink("COM1"), 0);
    ASSERT_EQ(symlink("no-such-device", "COM1"), 0);
    StartWindow();
    EXPECT_EQ(Status(), "前回の受信データを回復しました　COMポートが設定されていません");
    const std::string recovered = Contents(LOG_COM1);
    EXPECT_GE(recovered.size(), required) << "received when killed: " << reports.back().received;
    const std::size_t compared = std::min(recovered.size(), stream.size());
    const auto firstDifference
        = std::mismatch(recovered.begin(), recovered.begin() + compared, stream.begin()).first;
    EXPECT_EQ(firstDifference - recovered.begin(), static_cast<std::ptrdiff_t>(recovered.size()))
        << "the log of " << recovered.size() << " bytes is not the start of the stream";
    EXPECT_EQ(Contents(JOURNAL), "");
    Monitor().OnCancel();
}

} // namespace
