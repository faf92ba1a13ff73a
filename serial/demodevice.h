#pragma once

#include "generatedframes.h"
#include "sendschedule.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class CReceiveSink;

// The time the demonstration keeps its pace by, and its wait for the next frame. Interrupt()
// ends the wait under way and every later one until Resume(), so a stop that comes before the
// wait is not missed.
class CDemoClock
{
public:
    virtual ~CDemoClock() = default;

    virtual Nanos Now() = 0;
    // Returns true once Now() has reached `deadline`, false when interrupted.
    virtual bool WaitUntil(Nanos deadline) = 0;
    virtual void Interrupt() = 0;
    virtual void Resume() = 0;
};

// The steady clock, waited on with a condition variable and a deadline.
class CSteadyDemoClock : public CDemoClock
{
public:
    Nanos Now() override;
    bool WaitUntil(Nanos deadline) override;
    void Interrupt() override;
    void Resume() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_interrupted = false;
};

// A device inside the program, for showing it without an instrument: it sends the device's
// default stream (XYZ frames at 12 bit, X a sine, Y a triangle, Z a square) at the device's pace
// of 100 frames a second, to a receive sink as the reader would, in chunks of whole frames of at
// most READ_BUFFER_SIZE - 1 bytes. Due times count from the start, so a late wake-up catches up
// and the pace does not drift.
//
// Start and Stop run on one thread (the main window's); the sink is called on the device's own
// thread, which waits for each frame without using the processor. The stream picks up where it
// stopped at a later Start, as a device does when a program opens its port again.
class CDemoDevice
{
public:
    explicit CDemoDevice(std::unique_ptr<CDemoClock> clock = std::make_unique<CSteadyDemoClock>());
    // Stops as Stop does.
    ~CDemoDevice();
    CDemoDevice(const CDemoDevice &) = delete;
    CDemoDevice &operator=(const CDemoDevice &) = delete;

    // Starts the device's thread, sending to `sink`, which must not be null. With the thread
    // already running only the sink changes; if no thread can be started, the device stays
    // stopped.
    void Start(CReceiveSink *sink);
    // Stops the thread and waits until it has ended: once it returns no call into the sink is
    // under way and none comes. Harmless when stopped; never called from the sink.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run();
    void SendDue();
    void Deliver(const std::string &chunk);

    std::unique_ptr<CDemoClock> m_clock;
    CGeneratedFrames m_frames;
    std::optional<CSendSchedule> m_schedule;
    std::atomic<CReceiveSink *> m_sink {nullptr};
    std::uint64_t m_bytesSent = 0;
    std::thread m_thread;
};
