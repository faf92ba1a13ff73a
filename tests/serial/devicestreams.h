#pragma once

#include "reader.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <string>
#include <thread>

// What the tests of the port on both systems share: what a device sends, and a stop of the reader
// that cannot hang a test.

// The values 0 to 250 in turn; no chunk size divides a run of 251, so a chunk lost or doubled
// shows.
inline std::string Pattern(std::size_t length)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

// A device that never pauses for the read interval: 7-byte frames every 5 ms, as at 19,200 baud
// with 100 frames a second, until it is asked to stop or has sent 2000.
inline std::jthread SteadyDevice(std::function<void(const std::string &)> send)
{
    return std::jthread([send = std::move(send)](const std::stop_token &stop) {
        for (int frame = 0; frame < 2000 && !stop.stop_requested(); ++frame) {
            send("X0100\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
}

// StopReader in another thread, so that a reader that cannot be stopped fails the test instead
// of hanging it.
inline bool StopReaderWithin(CReader &reader, std::chrono::milliseconds timeout)
{
    std::packaged_task<void()> stop([&reader] { reader.StopReader(); });
    auto stopped = stop.get_future();
    std::thread stopping(std::move(stop));
    const bool inTime = stopped.wait_for(timeout) == std::future_status::ready;
    if (inTime)
        stopping.join();
    else
        stopping.detach();
    return inTime;
}
