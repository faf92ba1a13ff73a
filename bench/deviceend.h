#pragma once

#include <cstddef>
#include <string>

// The device's end of a pseudo-terminal pair. The program under test opens the other end by
// its path, or by a link that names it in the working directory ("COM1"). Both ends are raw, so
// every byte arrives as it was sent. Writes never block: what the terminal does not take at
// once stays with the caller. The other end stays open here too, so the terminal keeps its mode
// and its queue while the program opens and closes its side. Throws std::system_error when the
// terminal cannot be had.
class CDeviceEnd
{
public:
    // With a link name, links it to the other end in the working directory until destroyed.
    explicit CDeviceEnd(std::string linkName = {});
    ~CDeviceEnd();
    CDeviceEnd(const CDeviceEnd &) = delete;
    CDeviceEnd &operator=(const CDeviceEnd &) = delete;

    const std::string &OtherEndPath() const { return m_otherEndPath; }
    int Fd() const { return m_master; }

    // Writes what the terminal takes now; returns how many bytes that was.
    std::size_t Offer(const char *data, std::size_t length);
    // Bytes written that the program has not read yet.
    std::size_t BytesWaitingForReader() const;

private:
    int m_master = -1;
    int m_otherEnd = -1;
    std::string m_otherEndPath;
    std::string m_linkName;
};
