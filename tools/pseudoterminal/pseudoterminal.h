#pragma once

#include "portlink.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The device's end of a serial line: the master of a pseudo-terminal pair. A program opens the
// slave as its port, by its path or by a link that names it ("COM1" in the working directory).
// What is written to the master the program reads from the slave, and what it writes comes back
// on the master. The master is non-blocking: Offer() gives the terminal what it takes now, Send()
// waits until it has taken everything.
//
// The simulator and the benchmarks hold a descriptor of the slave themselves (OtherEnd::Held),
// never read, in raw mode: the mode stays for every later open, the master never sees a hang-up
// while the program closes and reopens the port, so poll() on the master does not spin, and the
// bytes waiting in the slave's input tell when the reader has taken everything (the master side
// cannot see them). The tests release it (OtherEnd::Released): the terminal stays as the kernel
// makes it, so the program's own configuration is what they see, and the master sees a hang-up
// once the program has closed the port.
class CPseudoTerminal
{
public:
    enum class OtherEnd { Held, Released };

    // Throws std::system_error.
    explicit CPseudoTerminal(OtherEnd otherEnd = OtherEnd::Released);
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal &) = delete;
    CPseudoTerminal &operator=(const CPseudoTerminal &) = delete;

    int MasterFd() const { return m_master; }
    const std::string &SlavePath() const { return m_slavePath; }
    // Names the slave in the working directory the way a user links a real device, until this
    // terminal goes. Throws std::runtime_error.
    void LinkAs(const std::string &name);

    // Writes what the terminal takes now; returns how many bytes that was.
    std::size_t Offer(const char *data, std::size_t length) const;
    // Writes every byte, waiting while the line's buffer is full. Throws std::system_error.
    void Send(std::string_view bytes) const;
    // Reads until `count` bytes have come or the time is up; returns what came.
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout) const;
    // Bytes the program wrote that are waiting at the master, without waiting for more.
    std::size_t BytesWaiting() const;
    // Bytes written to the master that no reader of the slave has taken yet (OtherEnd::Held).
    std::size_t BytesWaitingForReader() const;
    // Whether no descriptor of the slave is open any more (OtherEnd::Released).
    bool SlaveClosedWithin(std::chrono::milliseconds timeout) const;
    // Closes the master: the program's end of the line hangs up.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::vector<std::unique_ptr<CPortLink>> m_links;
};
