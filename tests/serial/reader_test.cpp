#include "devicestreams.h"
#include "lineerrorsteps.h"
#include "portconfig.h"
#include "portlayer.h"
#include "portsettings.h"
#include "portsetup.h"
#include "pseudoterminal.h"
#include "reader.h"
#include "receivemessages.h"
#include "recordinglinecontrol.h"
#include "tempworkdir.h"
#include "threadcputime.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int CHUNK_SIZE = 4095;
// A reader that spins on a hang-up or a missing port uses most of this span on the processor;
// one that waits in the kernel next to none of it.
constexpr auto QUIET_SPAN = 300ms;
constexpr auto QUIET_CPU_TIME = 50ms;
const std::string FRAME = "X07FFY0801Z0ABC\r\n";

// Stands in for the main window: keeps every chunk the reader posts, where in the stream of
// chunks the port was reported lost, and each report of line errors.
class ChunkCollector : public QObject
{
public:
    bool event(QEvent *event) override
    {
        TakeEventHandOff();
        switch (static_cast<std::uint32_t>(event->type())) {
        case WM_RECEIVED_DATA:
            m_chunks.push_back(static_cast<CReceivedDataEvent *>(event)->chunk().toStdString());
            m_arrivals.push_back(std::chrono::steady_clock::now());
            m_received += m_chunks.back().size();
            return true;
        case WM_PORT_LOST:
            m_lostAfterChunks.push_back(m_chunks.size());
            return true;
        case WM_LINE_ERRORS:
            m_lineErrors.push_back(static_cast<CLineErrorsEvent *>(event)->counts());
            return true;
        default:
            return QObject::event(event);
        }
    }
    const std::vector<std::string> &chunks() const { return m_chunks; }
    // When each chunk reached the window, on the test's clock.
    const std::vector<std::chrono::steady_clock::time_point> &arrivals() const
    {
        return m_arrivals;
    }
    std::size_t received() const { return m_received; }
    const std::vector<std::size_t> &lostAfterChunks() const { return m_lostAfterChunks; }
    const std::vector<LineErrorCounts> &lineErrors() const { return m_lineErrors; }
    CReceiveSink *events() { return &m_events; }

private:
    CWindowEvents m_events {this};
    std::vector<std::string> m_chunks;
    std::vector<std::chrono::steady_clock::time_point> m_arrivals;
    std::size_t m_received = 0;
    std::vector<std::size_t> m_lostAfterChunks;
    std::vector<LineErrorCounts> m_lineErrors;
};

// Delivers posted events until the condition holds or the time is up.
bool DeliverUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The CPU time the reader thread uses while QUIET_SPAN passes.
std::chrono::milliseconds ReaderCpuTimeOverQuietSpan()
{
    return ThreadCpuTimeDuring(READER_THREAD_NAME, [] { std::this_thread::sleep_for(QUIET_SPAN); });
}

class Reader : public testing::Test
{
protected:
    void SetUp() override
    {
        m_device.LinkAs("COM1");
        ChooseLineSettings({.baudRate = 3000000});
        ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
    }
    void TearDown() override
    {
        m_reader.StopReader();
        QCoreApplication::sendPostedEvents();
    }

    CTempWorkDir m_workDir;
    CPseudoTerminal m_device;
    ChunkCollector m_window;
    CSerialPort m_port;
    CReader m_reader {m_port};
};

} // namespace

TEST_F(Reader, EachFrameBeforeAPauseIsOneChunk)
{
    m_reader.StartReader(m_window.events());
    for (std::size_t frame = 1; frame <= 3; ++frame) {
        m_device.Send(FRAME);
        ASSERT_TRUE(DeliverUntil([&] { return m_window.received() >= frame * FRAME.size(); }, 5s));
        ASSERT_EQ(m_window.chunks().size(), frame);
        EXPECT_EQ(m_window.chunks().back(), FRAME);
    }
}

// A slow line delivers a byte every few milliseconds. The interval is set far above that pace,
// so that a busy machine cannot stretch a gap past it.
TEST_F(Reader, BytesComingWithinTheIntervalJoinTheChunk)
{
    Dcb dcb;
    CommTimeouts commTimeouts;
    ASSERT_TRUE(m_port.OpenPort(0) && m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
    commTimeouts.ReadIntervalTimeout = 500;
    ASSERT_TRUE(m_port.ConfigurePort(dcb, commTimeouts));

    m_reader.StartReader(m_window.events());
    // Three pieces a few milliseconds apart: well within the interval, and within the time after
    // which a chunk goes whatever follows.
    for (const std::size_t start : {0, 5, 10}) {
        m_device.Send(FRAME.substr(start, start < 10 ? 5 : std::string::npos));
        std::this_thread::sleep_for(3ms);
    }
    ASSERT_TRUE(DeliverUntil([&] { return m_window.received() >= FRAME.size(); }, 5s));
    ASSERT_EQ(m_window.chunks().size(), 1u);
    EXPECT_EQ(m_window.chunks().front(), FRAME);
}

TEST_F(Reader, GapFreeStreamComesInFullChunks)
{
    const std::string stream = Pattern(30 * CHUNK_SIZE);
    std::thread device([&] { m_device.Send(stream); });
    m_reader.StartReader(m_window.events());
    const bool complete = DeliverUntil([&] { return m_window.received() >= stream.size(); }, 20s);
    device.join();
    ASSERT_TRUE(complete);

    // The device's thread may be put off the processor once while it writes; the reader then
    // ends a chunk at the gap, and the chunks after it are full again up to the last.
    std::string received;
    int cutShort = 0;
    for (const std::string &chunk : m_window.chunks()) {
        EXPECT_LE(chunk.size(), CHUNK_SIZE);
        if (chunk.size() < CHUNK_SIZE && &chunk != &m_window.chunks().back())
            ++cutShort;
        received += chunk;
    }
    EXPECT_LE(cutShort, 1) << "more than one chunk ended before it was full";
    EXPECT_EQ(received, stream);
}

// A device that never pauses for the read interval: each of its bytes reaches the window about
// 50 ms after the first byte of its chunk, not once the buffer is full, which would take three
// seconds at this rate. The bound is generous, for a loaded machine; the wait it catches is not.
TEST_F(Reader, SteadyStreamReachesTheWindowWithinATenthOfASecond)
{
    constexpr std::size_t FRAME_BYTES = 7;
    std::vector<std::chrono::steady_clock::time_point> written;
    m_reader.StartReader(m_window.events());
    std::jthread device = SteadyDevice([&](const std::string &frame) {
        m_device.Send(frame);
        written.push_back(std::chrono::steady_clock::now());
    });
    const bool handedOver = DeliverUntil([&] { return m_window.chunks().size() >= 10; }, 30s);
    device.request_stop();
    device.join();
    ASSERT_TRUE(handedOver);
    std::size_t offset = 0;
    for (std::size_t chunk = 0; chunk < m_window.chunks().size(); ++chunk) {
        // The chunk's first byte has waited longest; it was written with its frame.
        const auto waited = m_window.arrivals()[chunk] - written[offset / FRAME_BYTES];
        EXPECT_LT(waited, 500ms) << "chunk " << chunk;
        offset += m_window.chunks()[chunk].size();
    }
}

TEST_F(Reader, StopDuringIdleWaitEndsThreadThenClosesPort)
{
    const auto readerThreadRuns = [] { return ThreadCpuTime(READER_THREAD_NAME).has_value(); };
    m_reader.StartReader(m_window.events());
    // A reader that has just started names its thread first thing.
    ASSERT_TRUE(DeliverUntil(readerThreadRuns, 5s));

    ASSERT_TRUE(StopReaderWithin(m_reader, 5s));
    // The kernel lets go of a joined thread a moment after the join returns.
    EXPECT_TRUE(DeliverUntil([&] { return !readerThreadRuns(); }, 5s));
    EXPECT_FALSE(m_reader.Running());
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_device.SlaveClosedWithin(1s));
}

// Closing the device end hangs the line up as an unplugged adapter does, with or without bytes
// still in the line.
TEST_F(Reader, HangUpIsReportedOnceAfterEveryChunkThenTheReaderSleeps)
{
    for (const std::size_t streamLength : {0, 200000}) {
        SCOPED_TRACE(streamLength);
        CPseudoTerminal device;
        fs::remove("COM1");
        device.LinkAs("COM1");
        ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
        ChunkCollector window;
        m_reader.StartReader(window.events());
        const std::string stream = Pattern(streamLength);
        device.Send(stream);
        device.HangUp();

        ASSERT_TRUE(DeliverUntil([&] { return !window.lostAfterChunks().empty(); }, 5s));
        EXPECT_TRUE(m_reader.PortLost());
        EXPECT_LT(ReaderCpuTimeOverQuietSpan(), QUIET_CPU_TIME) << "the reader spins";
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(window.lostAfterChunks(), std::vector<std::size_t> {window.chunks().size()});
        std::string received;
        for (const std::string &chunk : window.chunks()) {
            EXPECT_LE(chunk.size(), static_cast<std::size_t>(CHUNK_SIZE));
            received += chunk;
        }
        EXPECT_EQ(received, stream.substr(0, received.size()));
        EXPECT_TRUE(StopReaderWithin(m_reader, 5s));
    }
}

// The driver's counters since the port opened are posted when they change, looked at no more
// than once a second while bytes come; a driver without counters posts nothing. The reader's
// clock is the test's, and each step waits for its chunk, before which its report would come.
TEST(ReaderLineErrors, ChangedCountsAreReportedAtMostOnceASecond)
{
    CTempWorkDir workDir;
    CPseudoTerminal device;
    device.LinkAs("COM1");
    ChooseLineSettings({});
    const auto control = std::make_shared<CRecordingLineControl>();
    control->SetCounts(LineErrorCounts {10, 20, 30, 40});
    CSerialPort port(control);
    ASSERT_TRUE(OpenConfiguredPort(port, 0));
    std::atomic<std::chrono::steady_clock::duration> now {1000s};
    CReader reader(port, [&] { return std::chrono::steady_clock::time_point(now.load()); });
    ChunkCollector window;
    reader.StartReader(window.events());

    std::size_t sent = 0;
    const auto deliverFrame = [&] {
        device.Send(FRAME);
        sent += FRAME.size();
        return DeliverUntil([&] { return window.received() == sent; }, 5s);
    };
    ASSERT_NO_FATAL_FAILURE(
        ExpectLineErrorSteps(now, *control, deliverFrame, [&] { return window.lineErrors(); }));
    reader.StopReader();

    control->SetCounts(std::nullopt);
    ASSERT_TRUE(OpenConfiguredPort(port, 0));
    ChunkCollector quiet;
    reader.StartReader(quiet.events());
    now = 1000s + 10s;
    device.Send(FRAME);
    ASSERT_TRUE(DeliverUntil([&] { return quiet.received() == FRAME.size(); }, 5s));
    reader.StopReader();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(quiet.lineErrors().empty());
    control->CallsAfterCloses(2, 5s);
}

TEST_F(Reader, WithoutPortStaysAsleepUntilStopped)
{
    m_port.ClosePort();
    m_reader.StartReader(m_window.events());
    ASSERT_TRUE(DeliverUntil([] { return ThreadCpuTime(READER_THREAD_NAME).has_value(); }, 5s));
    EXPECT_LT(ReaderCpuTimeOverQuietSpan(), QUIET_CPU_TIME) << "the reader spins";
    EXPECT_TRUE(StopReaderWithin(m_reader, 5s));
}
