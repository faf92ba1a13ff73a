#pragma once

#include <string>

// The symbolic link through which a program finds the simulated port, "COM1" in the working
// directory by default. Made only where nothing is in the way, except a link that an earlier
// run left behind when it was killed: one that points into /dev/pts/ at a terminal that no
// longer exists or that is now ours. Removed again on destruction, but only while it is still
// our link: a file or link someone else put there in the meantime stays.
class CPortLink
{
public:
    // Throws std::runtime_error with a message for the user when the link cannot be made.
    CPortLink(std::string name, std::string target);
    ~CPortLink();
    CPortLink(const CPortLink &) = delete;
    CPortLink &operator=(const CPortLink &) = delete;

    const std::string &Name() const { return m_name; }

private:
    bool IsLeftoverLink() const;
    bool IsOurs() const;

    std::string m_name;
    std::string m_target;
};
