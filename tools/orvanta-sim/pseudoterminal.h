#pragma once

#include <cstddef>
#include <string>

// A pseudo-terminal pair that stands for the device's end of a serial line.
//
// The master is ours: what we write there, the program on the other end reads from the slave,
// and what it writes comes back on the master. We also keep one descriptor of the slave open,
// never read, for three reasons: raw mode set on it stays for every later open; the master never
// sees a hang-up while the program closes and reopens the port, so poll() on the master does not
// spin; and the number of bytes waiting in the slave's input tells when the reader has taken
// everything (the master side cannot see it).
class CPseudoTerminal
{
public:
    // Throws std::system_error.
    CPseudoTerminal();
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal &) = delete;
    CPseudoTerminal &operator=(const CPseudoTerminal &) = delete;

    // Non-blocking.
    int MasterFd() const { return m_master; }
    const std::string &SlavePath() const { return m_slavePath; }
    // Bytes written to the master that no reader of the slave has taken yet, as far as the
    // terminal's input queue shows them.
    std::size_t BytesWaitingForReader() const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};
