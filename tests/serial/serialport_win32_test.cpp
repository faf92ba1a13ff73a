// The port and its reader on Windows, on two pseudo-terminals that tools/wine-ports joins like a
// null-modem cable: COM5 is the port under test, COM6 the device's end, both opened here as
// Windows opens ports.
#include "devicestreams.h"
#include "lineerrorsteps.h"
#include "openfailure.h"
#include "portlayer.h"
#include "portsetup.h"
#include "reader.h"
#include "receivesink.h"
#include "recordinglinecontrol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t PORT_UNDER_TEST = 4; // COM5
constexpr std::uint32_t DEVICE_END = 5; // COM6
constexpr std::size_t CHUNK_SIZE = 4095;
const std::string FRAME = "X07FFY0801Z0ABC\r\n";
const std::string NOT_PRESENT
    = "デバイスが見つかりません。アダプタが接続されているか確認してください。";

// The close of a test's port runs on the system's thread pool, which Wine starts through its
// server; on a busy machine that can take longer than the program's bound, so a test waits longer.
constexpr auto CLOSE_WAIT = 10s;

// Keeps what a reader reports, with the time each chunk came.
class CCollected : public CReceiveSink
{
public:
    void ChunkReceived(const char *bytes, std::int32_t length) override
    {
        Add([&] {
            m_chunks.emplace_back(bytes, static_cast<std::size_t>(length));
            m_received += m_chunks.back();
        });
    }
    void PortLost(std::uint64_t) override { }
    void LineErrorsChanged(const LineErrorCounts &counts) override
    {
        Add([&] { m_lineErrors.push_back(counts); });
    }

    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
    }
    std::vector<std::string> Chunks()
    {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    std::string Received()
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    std::vector<LineErrorCounts> LineErrors()
    {
        std::lock_guard lock(m_mutex);
        return m_lineErrors;
    }

private:
    void Add(const std::function<void()> &change)
    {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_chunks;
    std::string m_received;
    std::vector<LineErrorCounts> m_lineErrors;
};

// Opens the port under test and the device's end, each as the program opens its port.
void OpenBothEnds(CSerialPort &port, CSerialPort &device)
{
    ChooseLineSettings({.baudRate = 115200});
    const std::pair<CSerialPort *, std::uint32_t> ends[]
        = {{&port, PORT_UNDER_TEST}, {&device, DEVICE_END}};
    for (const auto &[end, number] : ends) {
        end->SetPreviousCloseWait(CLOSE_WAIT);
        ASSERT_TRUE(OpenConfiguredPort(*end, number)) << DescribeOpenFailure(end->LastFailure());
    }
}

class WindowsPort : public testing::Test
{
protected:
    void SetUp() override { OpenBothEnds(m_port, m_device); }
    void Send(const std::string &bytes)
    {
        ASSERT_TRUE(m_device.WritePort(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    }

    CSerialPort m_port;
    CSerialPort m_device;
    CCollected m_received;
    CReader m_reader {m_port};
};

} // namespace

TEST_F(WindowsPort, EachFrameBeforeAPauseIsOneChunk)
{
    m_reader.StartReader(&m_received);
    for (std::size_t frame = 1; frame <= 3; ++frame) {
        Send(FRAME);
        ASSERT_TRUE(m_received.WaitForBytes(frame * FRAME.size()));
        ASSERT_EQ(m_received.Chunks().size(), frame);
        EXPECT_EQ(m_received.Chunks().back(), FRAME);
    }
}

// A stream without pauses comes whole, in chunks of at most 4095 bytes of which some are full.
TEST_F(WindowsPort, GapFreeStreamComesWholeInChunksOfAtMost4095Bytes)
{
    const std::string stream = Pattern(20 * CHUNK_SIZE);
    m_reader.StartReader(&m_received);
    std::thread device([&] { Send(stream); });
    const bool complete = m_received.WaitForBytes(stream.size(), 60s);
    device.join();
    ASSERT_TRUE(complete);
    std::size_t full = 0;
    for (const std::string &chunk : m_received.Chunks()) {
        EXPECT_LE(chunk.size(), CHUNK_SIZE);
        full += chunk.size() == CHUNK_SIZE ? 1 : 0;
    }
    EXPECT_GT(full, 0u);
    EXPECT_EQ(m_received.Received(), stream);
}

// A device that never pauses for the read interval: the bytes are handed over about every 50 ms
// all the same, long before a buffer fills.
TEST_F(WindowsPort, SteadyStreamIsHandedOverWithoutWaitingForAFullBuffer)
{
    m_reader.StartReader(&m_received);
    std::jthread device = SteadyDevice([&](const std::string &frame) { Send(frame); });
    bool handedOver = false;
    for (int wait = 0; wait < 600 && !handedOver; ++wait) {
        m_received.WaitForBytes(m_received.Received().size() + 1, 50ms);
        handedOver = m_received.Chunks().size() >= 3;
    }
    device.request_stop();
    ASSERT_TRUE(handedOver);
    for (std::size_t chunk = 0; chunk < 2; ++chunk)
        EXPECT_LT(m_received.Chunks()[chunk].size(), 1000u) << "chunk " << chunk;
}

TEST_F(WindowsPort, WriteReachesTheDeviceEnd)
{
    CCollected atDevice;
    CReader deviceReader(m_device);
    deviceReader.StartReader(&atDevice);
    const std::string sent = Pattern(10000);
    ASSERT_TRUE(m_port.WritePort(sent.data(), static_cast<std::int32_t>(sent.size())));
    ASSERT_TRUE(atDevice.WaitForBytes(sent.size()));
    EXPECT_EQ(atDevice.Received(), sent);
}

TEST_F(WindowsPort, PortThatNothingMapsIsNotPresent)
{
    CSerialPort missing;
    EXPECT_FALSE(missing.OpenPort(15)); // COM16
    EXPECT_EQ(DescribeOpenFailure(missing.LastFailure()), NOT_PRESENT);
}

// The causes as the system reports them. Wine lets a second handle open a port that is open, so
// the refusal of a held port is told here from the error a real port gives.
TEST(WindowsOpenFailureText, NamesTheCauseFromTheError)
{
    struct Row
    {
        int error;
        bool stillClosing;
        std::string text;
    };
    const Row rows[] = {
        {5, false, "他のプログラムがポートを使用中です。"}, // ERROR_ACCESS_DENIED
        {32, false, "他のプログラムがポートを使用中です。"}, // ERROR_SHARING_VIOLATION
        {5, true, "前の接続がまだ閉じられていません。"},
        {2, false, NOT_PRESENT}, // ERROR_FILE_NOT_FOUND
        {3, false, NOT_PRESENT}, // ERROR_PATH_NOT_FOUND
    };
    for (const Row &row : rows) {
        const OpenFailure failure {row.error, "\\\\.\\COM3", std::nullopt, row.stillClosing};
        EXPECT_EQ(DescribeOpenFailure(failure), row.text) << row.error;
    }
    // Anything else in the system's own words, after the program's prefix.
    const std::string semaphore = DescribeOpenFailure({121, "\\\\.\\COM3"});
    EXPECT_EQ(semaphore.rfind("システムのエラー：", 0), 0u) << semaphore;
    EXPECT_GT(semaphore.size(), std::string("システムのエラー：").size() + 3) << semaphore;
    EXPECT_EQ(semaphore.find('\n'), std::string::npos) << semaphore;
}

// A stop ends the reader's wait for bytes that never come, and the port closes after it.
TEST_F(WindowsPort, StopEndsTheIdleWaitAndClosesThePort)
{
    m_reader.StartReader(&m_received);
    ASSERT_TRUE(m_reader.Running());
    ASSERT_TRUE(StopReaderWithin(m_reader, 5s));
    EXPECT_FALSE(m_reader.Running());
    EXPECT_FALSE(m_port.IsOpen());
    // The close runs on a thread of its own; a new open waits for it.
    EXPECT_TRUE(m_port.OpenPort(PORT_UNDER_TEST)) << DescribeOpenFailure(m_port.LastFailure());
}

// The counts come through the line control, as on Linux: counted since the open, looked at no
// more than once a second by the reader's clock, which is the test's, and reported when they
// change, before the chunk they came with.
TEST(WindowsPortLineErrors, ChangedCountsAreReportedAtMostOnceASecond)
{
    const auto control = std::make_shared<CRecordingLineControl>();
    control->SetCounts(LineErrorCounts {10, 20, 30, 40});
    CSerialPort port(control);
    CSerialPort device;
    ASSERT_NO_FATAL_FAILURE(OpenBothEnds(port, device));
    std::atomic<std::chrono::steady_clock::duration> now {1000s};
    CReader reader(port, [&] { return std::chrono::steady_clock::time_point(now.load()); });
    CCollected received;
    reader.StartReader(&received);

    std::size_t sent = 0;
    const auto deliverFrame = [&] {
        sent += FRAME.size();
        return device.WritePort(FRAME.data(), static_cast<std::int32_t>(FRAME.size()))
            && received.WaitForBytes(sent);
    };
    ExpectLineErrorSteps(now, *control, deliverFrame, [&] { return received.LineErrors(); });
}
