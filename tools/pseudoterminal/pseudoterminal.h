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
// The slave is opened once and closed again, so that from then on the master sees a hang-up
// whenever no program has the port open (a slave never opened shows none). Nothing else of it is
// kept: a program refuses a port that another process holds open, as it must on a real line, so
// a device end in another process than the program's holds no descriptor of the slave. The
// tests leave the terminal as the kernel makes it (OtherEnd::Released), so the program's own
// configuration is what they see; the simulator and the whole-program benchmarks set raw mode
// through the master (OtherEnd::ReleasedRaw), which stays for every later open, so that a
// reader that takes the port as it finds it gets the bytes unchanged and echoes nothing.
//
// A program in this same process may share the port with its device end: OtherEnd::HeldInProcess
// keeps a raw descriptor of the slave, never read, for the terminal's whole life. The master then
// never sees a hang-up while the program closes and reopens the port, and the bytes waiting in the
// slave's input tell when the reader has taken everything, which the master side cannot see.
class CPseudoTerminal
{
public:
    enum class OtherEnd { Released, ReleasedRaw, HeldInProcess };

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
    // Bytes written to the master that no reader of the slave has taken yet. Only a held slave
    // shows them; throws std::logic_error otherwise, since nothing would mean "all taken".
    std::size_t BytesWaitingForReader() const;
    // Whether no descriptor of the slave is open any more (the released modes).
    bool SlaveClosedWithin(std::chrono::milliseconds timeout) const;
    // Whether the program discards what waits in its input before the time is up, as a port
    // does once its settings are in place, so that what is sent afterwards is kept. Nothing the
    // program writes may come meanwhile: it would be read and dropped here.
    bool InputDiscardedWithin(std::chrono::milliseconds timeout) const;
    // Closes the master: the program's end of the line hangs up.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::vector<std::unique_ptr<CPortLink>> m_links;
};
