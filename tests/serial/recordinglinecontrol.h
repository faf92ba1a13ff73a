#pragma once

#include "linecontrol.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Stands in for what only a real line shows: records the calls the port makes on it, with the
// thread that made them (the modem lines of a pseudo-terminal cannot be seen), closes for real, and
// can hold a close back the way the kernel does while the device holds the line. Its error counters
// are whatever the test sets.
class CRecordingLineControl : public CLineControl
{
public:
    struct Call
    {
        std::string name;
        std::thread::id thread;
    };

    void DiscardOutput(PortHandle fd) override
    {
        Record("discard output");
        CLineControl::DiscardOutput(fd);
    }
    void ReleaseFlowControl(PortHandle fd) override
    {
        Record("release flow control");
        CLineControl::ReleaseFlowControl(fd);
    }
    void Close(PortHandle fd) override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_closeHeld; });
        m_calls.push_back({"close", std::this_thread::get_id()});
        lock.unlock();
        m_changed.notify_all();
        CLineControl::Close(fd);
    }
    void RaiseModemLines(PortHandle fd) override
    {
        Record("raise modem lines");
        CLineControl::RaiseModemLines(fd);
    }
    std::optional<LineErrorCounts> ReadErrorCounts(PortHandle) override
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
    std::vector<Call> Calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::size_t Count(std::string_view name)
    {
        std::lock_guard lock(m_mutex);
        return CountLocked(name);
    }
    // Waits until `count` closes have been made; the calls so far.
    std::vector<Call> CallsAfterCloses(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return CountLocked("close") >= count; });
        return m_calls;
    }

private:
    void Record(const char *name)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({name, std::this_thread::get_id()});
    }
    std::size_t CountLocked(std::string_view name) const
    {
        return static_cast<std::size_t>(std::count_if(
            m_calls.begin(), m_calls.end(), [&](const Call &call) { return call.name == name; }));
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
    std::optional<LineErrorCounts> m_counts;
    bool m_closeHeld = false;
};
