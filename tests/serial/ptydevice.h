#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// A device at the far end of a serial line, played by the master end of a pseudo-terminal pair.
// The slave end is what the program opens as a port: linkAs() names it in the working directory
// the way a user links a real device. The pair holds no descriptor of the slave itself, so the
// master sees a hang-up once the program has closed the port.
class CPtyDevice
{
public:
    CPtyDevice();
    ~CPtyDevice();
    CPtyDevice(const CPtyDevice &) = delete;
    CPtyDevice &operator=(const CPtyDevice &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    void linkAs(const std::string &portName) const;

    // Writes every byte, waiting while the line's buffer is full.
    void send(std::string_view bytes) const;
    // Reads until `count` bytes have come or the time is up; returns what came.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout) const;
    // Bytes that are already waiting, without waiting for more.
    std::size_t bytesWaiting() const;
    // Whether the program's end of the line is closed (no descriptor of it open any more).
    bool portClosedWithin(std::chrono::milliseconds timeout) const;
    // Closes the device end: the program's end of the line hangs up.
    void hangUp();

private:
    int m_master = -1;
    std::string m_slavePath;
};
