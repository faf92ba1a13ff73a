#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

// The devices whose close still runs on a thread of its own in this process, by number (the
// device number on Linux, the port's index on Windows). While a real port's close waits for its
// output to drain, the system holds the port, and an open of the same device would wait with it,
// on the window's thread.
class CClosesInFlight
{
public:
    void Begin(std::uint64_t device)
    {
        std::lock_guard lock(m_mutex);
        m_devices.insert(device);
    }
    void End(std::uint64_t device)
    {
        {
            std::lock_guard lock(m_mutex);
            m_devices.erase(m_devices.find(device));
        }
        m_ended.notify_all();
    }
    // Whether every close of the device has ended within the bound.
    bool WaitUntilClosed(std::uint64_t device, std::chrono::milliseconds bound)
    {
        std::unique_lock lock(m_mutex);
        return m_ended.wait_for(lock, bound, [&] { return !m_devices.contains(device); });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::multiset<std::uint64_t> m_devices;
};

// One for the process; shared, so that a close that runs on after its port has gone still
// reports its end.
inline std::shared_ptr<CClosesInFlight> ClosesInFlight()
{
    static const auto closes = std::make_shared<CClosesInFlight>();
    return closes;
}
