#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>

// What a device sends in the tests of the port on both systems.

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
