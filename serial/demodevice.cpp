#include "demodevice.h"

#include "frameparser.h"
#include "receivesink.h"

#include <chrono>
#include <system_error>

namespace {

// The largest chunk the reader hands over, which the window's handling of chunks is made for.
constexpr std::size_t MAX_CHUNK_BYTES = READ_BUFFER_SIZE - 1;

// The default stream holds no noise, so any seed makes the same frames.
constexpr std::uint64_t FRAME_SEED = 0;

} // namespace

Nanos CSteadyDemoClock::Now()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

bool CSteadyDemoClock::WaitUntil(Nanos deadline)
{
    const std::chrono::steady_clock::time_point until(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline));
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_until(lock, until, [this] { return m_interrupted; });
}

void CSteadyDemoClock::Interrupt()
{
    const std::lock_guard lock(m_mutex);
    m_interrupted = true;
    m_wake.notify_all();
}

void CSteadyDemoClock::Resume()
{
    const std::lock_guard lock(m_mutex);
    m_interrupted = false;
}

CDemoDevice::CDemoDevice(std::unique_ptr<CDemoClock> clock)
    : m_clock(std::move(clock))
    , m_frames(FrameOptions {}, FRAME_SEED)
{ }

CDemoDevice::~CDemoDevice()
{
    Stop();
}

void CDemoDevice::Start(CReceiveSink *sink)
{
    m_sink = sink;
    if (Running())
        return;
    m_clock->Resume();
    // A new schedule from now: nothing falls due while the device is stopped.
    m_schedule.emplace(DEFAULT_FRAME_RATE, m_clock->Now());
    try {
        m_thread = std::thread(&CDemoDevice::Run, this);
    } catch (const std::system_error &) {
        // The device stays stopped, as Running() tells.
    }
}

void CDemoDevice::Stop()
{
    if (!Running())
        return;
    m_clock->Interrupt();
    m_thread.join();
}

void CDemoDevice::Run()
{
    do
        SendDue();
    while (m_clock->WaitUntil(m_schedule->NextWake()));
}

void CDemoDevice::SendDue()
{
    const std::uint64_t due = m_schedule->Release(m_clock->Now());
    std::string chunk;
    std::string frame;
    // Whole frames in each chunk, as many as the reader's buffer would hold.
    for (std::uint64_t i = 0; i < due; ++i) {
        frame.clear();
        m_frames.AppendFrames(frame, 1);
        if (chunk.size() + frame.size() > MAX_CHUNK_BYTES) {
            Deliver(chunk);
            chunk.clear();
        }
        chunk += frame;
    }
    if (!chunk.empty())
        Deliver(chunk);
    // Counted as they go, so the stream forgets the ends of the frames sent.
    m_frames.FramesCompleteWithin(m_bytesSent);
}

void CDemoDevice::Deliver(const std::string &chunk)
{
    m_sink.load()->ChunkReceived(chunk.data(), static_cast<std::int32_t>(chunk.size()));
    m_bytesSent += chunk.size();
}
