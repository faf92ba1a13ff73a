#pragma once

#include "linecontrol.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Stands in for what only a real line shows: records the calls the port makes on it, with the
// thread that made them, closes for real, and can hold a close back the way the kernel does
// while the device holds the line. Its error counters are whatever the test sets.
class CRecordingLineControl : public CLineControl
{
public:
    struct Call
    {
        std::string name;
        std::thread::id thread;
    };

    void DiscardOutput(int fd) override
    {
        Record("discard output");
        CLineControl::DiscardOutput(fd);
    }
    void ReleaseFlowControl(int fd) override
    {
        Record("release flow control");
        CLineControl::ReleaseFlowControl(fd);
    }
    void Close(int fd) override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_closeHeld; });
        m_calls.push_back({"close", std::this_thread::get_id()});
        lock.unlock();
        m_changed.notify_all();
        CLineControl::Close(fd);
    }
    std::optional<LineErrorCounts> ReadErrorCounts(int) override
    {
        std::lock_guard lock(m_mutex);
        return m_counts;
    }

    void SetCounts(std::optional<LineErrorCounts> counts)
    {
        std::lock_guard lock(m_mutex);
        m_counts = counts;
    }
    void HoldClose(bool held)
    {
        {
            std::lock_guard lock(m_mutex);
            m_closeHeld = held;
        }
        m_changed.notify_all();
    }
    // Waits until `count` closes have been made; the calls so far.
    std::vector<Call> CallsAfterCloses(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return Closes() >= count; });
        return m_calls;
    }

private:
    void Record(const char *name)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({name, std::this_thread::get_id()});
    }
    std::size_t Closes() const
    {
        std::size_t closes = 0;
        for (const Call &call : m_calls)
            closes += call.name == "close" ? 1 : 0;
        return closes;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
    std::optional<LineErrorCounts> m_counts;
    bool m_closeHeld = false;
};
