#pragma once

#include "porttarget.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Which device each of COM1 … COM16 reaches, and COM numbers that stay with a USB serial adapter.
//
// An entry COMn in the working directory is the user's own and always wins. Otherwise an adapter
// gets the lowest free number the first time it is seen and keeps it: the number is a symbolic
// link COMn in the ports folder to the adapter's /dev/serial/by-id name when sysfs has a serial
// number for it (the name carries it), else to its /dev/serial/by-path name, the socket: adapters
// without a serial number share one by-id name. A number is free when neither folder holds a COMn
// and ttyS(n-1) is not a UART that exists. Numbering holds an flock on the ports folder, so two
// Orvantas started at once give an adapter one number. Links in the ports folder are never
// changed here, so a person may edit them with ln and rm; the one exception is a link to a bare
// ttyUSB or ttyACM node, which moves to whatever adapter takes that node next, and is pointed at
// the adapter's lasting name once udev has made one. Where the ports folder cannot be written, an
// adapter gets a number for this run only.
//
// Finding adapters reads folders; resolving a number reads a few links and sysfs files only, so
// it is cheap enough to repeat while a lost port waits to come back. Everything here runs on one
// thread (the window's, or the command line's).

// Where the ports are looked for; tests hand in folders of their own.
struct PortRoots
{
    std::filesystem::path sysfs;
    // The nodes of on-board UARTs (ttyS*), and of adapters (ttyUSB*, ttyACM*) when scanNodes.
    std::filesystem::path dev;
    // Folders of links to adapters' nodes: names that carry the serial number where there is
    // one, and names of the socket. Either may be empty.
    std::filesystem::path byId;
    std::filesystem::path byPath;
    // Whether adapters' nodes that no link names are looked for in dev too.
    bool scanNodes = false;
    // The numbers given: links COMn to an adapter's name. Empty: no number is given.
    std::filesystem::path portsFolder;
    // There while udev runs; empty where the folders above are not udev's.
    std::filesystem::path udevControl;
    // Tells a node's age; tests set the time.
    std::chrono::system_clock::time_point (*now)() = &std::chrono::system_clock::now;
};

// udev names a new adapter's node within moments; one younger than this is left for the next
// look, so that it is never numbered by a name that is about to change.
inline constexpr std::chrono::seconds UDEV_SETTLE_TIME {2};

// /sys and /dev; /dev/serial/by-id and /dev/serial/by-path, or instead only the folder that
// ORVANTA_SERIAL_DEVICES names (and then no node of /dev); $XDG_CONFIG_HOME/orvanta/ports, with
// ~/.config standing in for an unset XDG_CONFIG_HOME.
PortRoots DefaultPortRoots();

struct SerialAdapter
{
    // The device node that all its names reach ("/dev/ttyUSB0").
    std::string node;
    // The name its number is kept under: by-id when sysfs has its serial number, else by-path,
    // else the one name it has.
    std::string key;
    // Every name that reaches it, the key first.
    std::vector<std::string> names;
    // Product, manufacturer and serial number from sysfs, and the node.
    std::string description;
};

// The adapters present now, in the order of their keys.
std::vector<SerialAdapter> FindAdapters(const PortRoots &roots);

// The adapter whose node `node` is, when sysfs describes it as a USB device: its serial number,
// or where it has none its by-path name; empty for anything else.
std::string AdapterIdentity(const PortRoots &roots, const std::string &node);

// Gives each adapter that holds no number the lowest free one; returns those left without one
// because all sixteen are taken.
std::vector<SerialAdapter> AssignPortNumbers(const PortRoots &roots,
                                             const std::vector<SerialAdapter> &adapters);

// Finds the adapters and numbers the new ones; returns those left without a number.
std::vector<SerialAdapter> DiscoverPorts(const PortRoots &roots = DefaultPortRoots());

// What COM(portIndex + 1) reaches now; not present beyond the sixteen ports.
PortTarget ResolvePort(const PortRoots &roots, std::uint32_t portIndex);
