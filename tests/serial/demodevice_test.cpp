#include "demodevice.h"
#include "receivesink.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::size_t FRAME_BYTES = 17;

// A clock the test moves. MoveTo returns once the device has sent what fell due and waits for
// a later time, so the sink then holds all that the time made due.
class CSteppedClock : public CDemoClock
{
    template<typename Change> auto Locked(Change change)
    {
        const std::lock_guard lock(m_mutex);
        m_changed.notify_all();
        return change();
    }

public:
    Nanos Now() override
    {
        return Locked([&] { return m_now; });
    }
    bool WaitUntil(Nanos deadline) override
    {
        std::unique_lock lock(m_mutex);
        m_waitingUntil = deadline;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_interrupted || m_now >= deadline; });
        m_waitingUntil.reset();
        return !m_interrupted;
    }
    void Interrupt() override
    {
        Locked([&] { return m_interrupted = true; });
    }
    void Resume() override
    {
        Locked([&] { return m_interrupted = false; });
    }

    void Set(Nanos now)
    {
        Locked([&] { return m_now = now; });
    }
    void MoveTo(Nanos now)
    {
        Set(now);
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_waitingUntil && *m_waitingUntil > m_now; });
    }
    void WaitForInterrupt()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_interrupted; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Nanos m_now {};
    std::optional<Nanos> m_waitingUntil;
    bool m_interrupted = false;
};

// Keeps the chunks; counts a call that overlaps another or comes once closed, and holds calls
// while told to.
struct CRecordingSink : CReceiveSink
{
    void ChunkReceived(const char *bytes, std::int32_t length) override
    {
        std::unique_lock lock(mutex);
        faults += inCall || closed;
        inCall = true;
        chunks.emplace_back(bytes, static_cast<std::size_t>(length));
        changed.notify_all();
        changed.wait(lock, [&] { return !holding; });
        inCall = false;
    }
    void PortLost(std::uint64_t) override { }
    void LineErrorsChanged(const LineErrorCounts &) override { }

    std::string Bytes()
    {
        const std::lock_guard lock(mutex);
        std::string bytes;
        for (const std::string &chunk : chunks)
            bytes += chunk;
        return bytes;
    }
    void WaitForChunks(std::size_t count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return chunks.size() >= count; });
    }
    void Hold(bool hold)
    {
        const std::lock_guard lock(mutex);
        holding = hold;
        changed.notify_all();
    }
    // Returns whether a call is under way.
    bool Close()
    {
        const std::lock_guard lock(mutex);
        closed = true;
        return inCall;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> chunks;
    bool inCall = false;
    bool holding = false;
    bool closed = false;
    int faults = 0;
};

struct SteppedDevice
{
    CSteppedClock *clock = new CSteppedClock;
    CDemoDevice device {std::unique_ptr<CDemoClock>(clock)};
    CRecordingSink sink;
};

// By hand, at 12 bit (full scale 4095), amplitude 0.9 around mid scale, period 125 frames.
// Frame 0: X a sine at phase 0, mid scale 2047.5 -> 0x800; Y a triangle a third of a period
// behind, at phase 2/3 on its way down, 0.5 - 0.45 * 2/3 = 0.2 of full scale -> 819 = 0x333;
// Z a square two thirds behind, at phase 1/3 in its high half, 0.95 * 4095 -> 3890 = 0xF32.
// Frame 1: X 4095 * (0.5 + 0.45 sin(2 pi / 125)) -> 2140 = 0x85C, Y 4095 * (0.2 - 0.45 * 4 / 125)
// -> 760 = 0x2F8. Frame 2: X 2232 = 0x8B8, Y 701 = 0x2BD.
const std::string FIRST_FRAMES = "X0800Y0333Z0F32\r\nX085CY02F8Z0F32\r\nX08B8Y02BDZ0F32\r\n";

// Stopped at 2.3 s and started again at 5 s, the device goes on with the frame after the last it
// sent, which, a period of 125 frames on, repeats frame 82; nothing falls due while stopped.
TEST(DemoDevice, SendsTheDefaultStreamAtAHundredFramesASecondInWholeFramesAcrossAStop)
{
    // The clock moves to `until` in steps of `stride`; then the sink holds what is due by then.
    const struct
    {
        const char *what;
        Nanos until;
        Nanos stride;
        std::size_t frames;
        std::size_t chunks;
        bool stopFirst = false;
    } steps[] = {
        {"the first frame at once", 0ms, 0ms, 1, 1},
        {"the next not before it is due", 9999us, 9999us, 1, 1},
        {"the next when due", 10ms, 1us, 2, 2},
        {"a frame a wake-up, no drift", 1s, 10ms, 101, 101},
        {"a late wake-up catches up in one chunk", 1050ms, 50ms, 106, 102},
        {"after a long stall the schedule starts again", 1300ms, 250ms, 107, 103},
        {"and keeps its pace from there", 2300ms, 10ms, 207, 203},
        {"started again, the next frame at once", 5s, 0ms, 208, 204, true},
        {"and the one after when due", 5010ms, 10ms, 209, 205},
    };
    SteppedDevice demo;
    demo.device.Start(&demo.sink);
    Nanos now {};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        if (step.stopFirst) {
            demo.device.Stop();
            demo.device.Stop();
            demo.clock->Set(now = step.until);
            demo.device.Start(&demo.sink);
        }
        do {
            now = std::min(now + step.stride, step.until);
            demo.clock->MoveTo(now);
        } while (now < step.until);
        EXPECT_EQ(demo.sink.Bytes().size(), step.frames * FRAME_BYTES);
        EXPECT_EQ(demo.sink.chunks.size(), step.chunks);
    }
    const std::string bytes = demo.sink.Bytes();
    EXPECT_EQ(bytes.substr(0, FIRST_FRAMES.size()), FIRST_FRAMES);
    EXPECT_EQ(bytes.substr(125 * FRAME_BYTES, FRAME_BYTES), FIRST_FRAMES.substr(0, FRAME_BYTES));
    EXPECT_EQ(bytes.substr(207 * FRAME_BYTES), bytes.substr(82 * FRAME_BYTES, 2 * FRAME_BYTES));
    for (const std::string &chunk : demo.sink.chunks) {
        EXPECT_LE(chunk.size(), 4095u);
        EXPECT_EQ(chunk.size() % FRAME_BYTES, 0u);
        EXPECT_TRUE(chunk.starts_with('X') && chunk.ends_with("\r\n")) << chunk;
    }
}

TEST(DemoDevice, StopReturnsOnlyOnceTheSinkIsLeftAlone)
{
    SteppedDevice demo;
    demo.device.Start(&demo.sink);
    demo.clock->MoveTo(0ms);
    demo.sink.Hold(true);
    demo.clock->Set(10ms);
    demo.sink.WaitForChunks(2);

    bool callUnderWayAtReturn = true;
    std::thread stopper([&] {
        demo.device.Stop();
        callUnderWayAtReturn = demo.sink.Close();
    });
    demo.clock->WaitForInterrupt();
    demo.sink.Hold(false);
    stopper.join();
    EXPECT_FALSE(callUnderWayAtReturn);
    EXPECT_EQ(demo.sink.faults, 0);
}

// On the steady clock; destroyed, it stops as Stop does.
TEST(DemoDevice, RunsOnTheSteadyClockUntilDestroyed)
{
    CRecordingSink sink;
    {
        CDemoDevice device;
        device.Start(&sink);
        sink.WaitForChunks(3);
    }
    EXPECT_FALSE(sink.Close());
    EXPECT_EQ(sink.Bytes().substr(0, FIRST_FRAMES.size()), FIRST_FRAMES);
    EXPECT_EQ(sink.faults, 0);
}

} // namespace
