#pragma once

#include <string>
#include <vector>

struct PortRoots;
struct stat;

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
// remakes the others at every plug. Links are held as paths too, so a link removed and made again
// at once, with the same target, is told from one nobody touched.
//
// Plain POSIX; used on the window's thread.
class CDeviceIdentity
{
public:
    // Nothing recorded: no device is ever this one.
    CDeviceIdentity() = default;
    // What path reaches now.
    CDeviceIdentity(const PortRoots &roots, std::string path);

    // Whether the path reaches this device again, or a device that a changed link leads to.
    // Opens nothing.
    bool IsBack(const PortRoots &roots) const;

private:
    // An O_PATH descriptor: it opens no device, and stays with the very file (node or link) it
    // was taken on, whose link count drops to 0 once the file is removed.
    class CPathHandle
    {
    public:
        CPathHandle() = default;
        CPathHandle(const std::string &path, bool followLinks);
        ~CPathHandle();
        CPathHandle(CPathHandle &&other) noexcept;
        CPathHandle &operator=(CPathHandle &&other) noexcept;

        bool IsOpen() const { return m_fd >= 0; }
        // Whether the file that stat or lstat found is the one held, still in place.
        bool IsStillAt(const struct stat &found) const;

    private:
        int m_fd = -1;
    };

    // One symbolic link on the way from the name to the node.
    struct LinkStep
    {
        std::string path;
        std::string target;
        CPathHandle link;
    };

    static std::vector<LinkStep> LinksOnTheWay(const std::string &path);
    static bool Changed(const LinkStep &step);

    std::string m_path;
    std::vector<LinkStep> m_links;
    std::string m_adapter;
    CPathHandle m_node;
};
