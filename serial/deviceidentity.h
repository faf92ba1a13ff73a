#pragma once

#include <string>
#include <vector>

#include <sys/types.h>
#include <time.h>

struct PortRoots;

// Which device a port name reached when the port opened, so that a port whose device hung up is
// taken up again by that device only, never by a stranger that now sits behind the same name.
//
// A USB adapter (as sysfs describes it) is known by its serial number, or without one by its
// socket: an unplugged adapter's node is made anew when it comes back, perhaps under another
// number. Anything else (a pseudo-terminal, an on-board UART) is known by the node itself, which
// is held as a path: a pseudo-terminal that closed and a new one that the kernel gives the same
// /dev/pts number are two nodes, although they show the same device number and, made within one
// clock tick, the same change time. A link on the way that was made anew or pointed elsewhere
// since (the user's COM1, or a stand-in adapter plugged in again) is the user's new choice, and
// what it reaches is taken up too; for an adapter only the name's own link counts so, since udev
// remakes the others at every plug.
//
// Plain POSIX; used on the window's thread.
class CDeviceIdentity
{
public:
    // Nothing recorded: no device is ever this one.
    CDeviceIdentity() = default;
    // What path reaches now.
    CDeviceIdentity(const PortRoots &roots, std::string path);
    ~CDeviceIdentity();
    CDeviceIdentity(CDeviceIdentity &&other) noexcept;
    CDeviceIdentity &operator=(CDeviceIdentity &&other) noexcept;
    CDeviceIdentity(const CDeviceIdentity &) = delete;
    CDeviceIdentity &operator=(const CDeviceIdentity &) = delete;

    // Whether the path reaches this device again, or a device that a changed link leads to.
    // Opens nothing.
    bool IsBack(const PortRoots &roots) const;

private:
    // One symbolic link on the way from the name to the node, as lstat sees the link itself.
    struct LinkStep
    {
        std::string target;
        dev_t device;
        ino_t inode;
        timespec changed;
        bool operator==(const LinkStep &other) const;
    };

    static std::vector<LinkStep> LinksOnTheWay(const std::string &path);
    bool IsSameNode(const struct stat &now) const;

    std::string m_path;
    std::vector<LinkStep> m_links;
    std::string m_adapter;
    // An O_PATH descriptor: it opens no device, and the node's link count drops to 0 once the
    // node is removed.
    int m_node = -1;
};
