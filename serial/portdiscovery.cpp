#include "portdiscovery.h"

#include "portchoicetables.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *PortName(std::uint32_t portIndex)
{
    return PORT_CHOICE_TABLES.port[portIndex].text;
}

// lstat: a link whose device is missing is still there.
bool EntryExists(const fs::path &path)
{
    struct stat status
    {
    };
    return lstat(path.c_str(), &status) == 0;
}

std::string Canonical(const fs::path &path)
{
    std::error_code error;
    const fs::path reached = fs::canonical(path, error);
    return error ? std::string() : reached.string();
}

// The first line of a sysfs attribute without its line end; empty where there is none.
std::string ReadAttribute(const fs::path &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

std::string JoinParts(const std::vector<std::string> &parts)
{
    std::string joined;
    for (const std::string &part : parts) {
        if (part.empty())
            continue;
        if (!joined.empty())
            joined += " — ";
        joined += part;
    }
    return joined;
}

std::string UartName(std::uint32_t portIndex)
{
    return "ttyS" + std::to_string(portIndex);
}

// The kernel lists a ttyS for every UART it might have; one that exists has a type other than 0.
bool IsRealUart(const PortRoots &roots, std::uint32_t portIndex)
{
    const std::string type
        = ReadAttribute(roots.sysfs / "class/tty" / UartName(portIndex) / "type");
    return !type.empty() && type != "0";
}

bool DescribesUsbDevice(const fs::path &dir)
{
    return EntryExists(dir / "product") || EntryExists(dir / "manufacturer")
        || EntryExists(dir / "serial");
}

// The tty's device is a USB interface or a port below it; the USB device holding the
// descriptions is one of its parents, still inside sysfs.
fs::path UsbDeviceOf(const PortRoots &roots, const std::string &nodeName)
{
    const std::string top = Canonical(roots.sysfs);
    const std::string device = Canonical(roots.sysfs / "class/tty" / nodeName / "device");
    if (top.empty() || device.empty())
        return {};
    for (fs::path dir = device; dir.string().starts_with(top + "/"); dir = dir.parent_path()) {
        if (DescribesUsbDevice(dir))
            return dir;
    }
    return {};
}

std::string SysfsDescription(const PortRoots &roots, const std::string &node)
{
    const fs::path usb = UsbDeviceOf(roots, fs::path(node).filename().string());
    if (usb.empty())
        return {};
    return JoinParts({ReadAttribute(usb / "product"), ReadAttribute(usb / "manufacturer"),
                      ReadAttribute(usb / "serial")});
}

std::vector<fs::path> SortedEntries(const fs::path &folder)
{
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool IsAdapterNodeName(const std::string &name)
{
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

// Adds a name to the adapter whose node it reaches, or starts a new adapter with it.
void AddAdapterName(std::vector<SerialAdapter> &adapters, const fs::path &name)
{
    const std::string node = Canonical(name);
    if (node.empty())
        return;
    const auto found
        = std::find_if(adapters.begin(), adapters.end(),
                       [&](const SerialAdapter &adapter) { return adapter.node == node; });
    if (found == adapters.end())
        adapters.push_back({node, name.string(), {name.string()}, {}});
    else
        found->names.push_back(name.string());
}

// A number's entry in the ports folder: whether there is one, and whom it names.
struct PortLink
{
    bool exists = false;
    std::string target;
    std::string node;
};

using PortLinks = std::array<PortLink, PORT_COUNT>;

PortLinks ReadPortLinks(const fs::path &portsFolder)
{
    PortLinks links;
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i) {
        const fs::path link = portsFolder / PortName(i);
        links[i].exists = EntryExists(link);
        std::error_code error;
        const fs::path target = fs::read_symlink(link, error);
        if (!error)
            links[i].target = (portsFolder / target).lexically_normal().string();
        links[i].node = Canonical(link);
    }
    return links;
}

// A link the user made may name the adapter by any of its names, or by a way of their own to
// the same node.
bool Holds(const PortLink &link, const SerialAdapter &adapter)
{
    if (!link.node.empty() && link.node == adapter.node)
        return true;
    return std::find(adapter.names.begin(), adapter.names.end(), link.target)
        != adapter.names.end();
}

bool IsFree(const PortRoots &roots, const PortLinks &links, std::uint32_t portIndex)
{
    return !links[portIndex].exists && !EntryExists(PortName(portIndex))
        && !IsRealUart(roots, portIndex);
}

// False only when every number is taken. A link that cannot be made for another reason (a
// folder without write access) leaves the adapter unnumbered until the next look.
bool GiveLowestFreeNumber(const PortRoots &roots, PortLinks &links, const SerialAdapter &adapter)
{
    std::error_code ignored;
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i) {
        if (!IsFree(roots, links, i))
            continue;
        fs::create_directories(roots.portsFolder, ignored);
        const fs::path link = roots.portsFolder / PortName(i);
        if (symlink(adapter.key.c_str(), link.c_str()) == 0) {
            links[i] = {true, adapter.key, adapter.node};
            return true;
        }
        if (errno != EEXIST)
            return true;
        // Another Orvanta took this number a moment ago.
        links[i].exists = true;
    }
    return false;
}

PortTarget WorkFolderTarget(const char *name)
{
    std::error_code notLink;
    const fs::path target = fs::read_symlink(name, notLink);
    const std::string node = Canonical(name);
    std::string reaches;
    if (!notLink)
        reaches = node.empty() ? target.string() : node;
    return {PortKind::WorkFolderEntry, !node.empty(), name, reaches,
            Strings::PORT_WORK_FOLDER_LINK};
}

// An adapter that sysfs does not describe (a pseudo-terminal standing in for one) is told by the
// name its number is kept under.
PortTarget AdapterTarget(const PortRoots &roots, const fs::path &link)
{
    std::error_code ignored;
    const std::string keptName = fs::read_symlink(link, ignored).string();
    const std::string node = Canonical(link);
    if (node.empty())
        return {PortKind::Adapter, false, {}, keptName, Strings::PORT_NOT_CONNECTED};
    const std::string description = SysfsDescription(roots, node);
    return {PortKind::Adapter, true, link.string(), node,
            description.empty() ? keptName : description};
}

fs::path ConfigHome()
{
    // A relative XDG_CONFIG_HOME is to be ignored.
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && fs::path(configHome).is_absolute())
        return configHome;
    const char *home = std::getenv("HOME");
    if (home && *home)
        return fs::path(home) / ".config";
    return {};
}

} // namespace

PortRoots DefaultPortRoots()
{
    PortRoots roots {"/sys", "/dev", {}, false, {}};
    const fs::path configHome = ConfigHome();
    if (!configHome.empty())
        roots.portsFolder = configHome / "orvanta/ports";
    const char *devices = std::getenv("ORVANTA_SERIAL_DEVICES");
    std::error_code error;
    if (devices && *devices)
        roots.adapterFolders = {fs::absolute(devices, error)};
    else {
        roots.adapterFolders = {"/dev/serial/by-id", "/dev/serial/by-path"};
        roots.scanNodes = true;
    }
    return roots;
}

std::vector<SerialAdapter> FindAdapters(const PortRoots &roots)
{
    std::vector<SerialAdapter> adapters;
    for (const fs::path &folder : roots.adapterFolders) {
        for (const fs::path &name : SortedEntries(folder))
            AddAdapterName(adapters, name);
    }
    if (roots.scanNodes) {
        for (const fs::path &node : SortedEntries(roots.dev)) {
            if (IsAdapterNodeName(node.filename().string()))
                AddAdapterName(adapters, node);
        }
    }
    for (SerialAdapter &adapter : adapters) {
        const std::string description = SysfsDescription(roots, adapter.node);
        adapter.description
            = JoinParts({description.empty() ? adapter.key : description, adapter.node});
    }
    std::sort(adapters.begin(), adapters.end(),
              [](const SerialAdapter &a, const SerialAdapter &b) { return a.key < b.key; });
    return adapters;
}

std::vector<SerialAdapter> AssignPortNumbers(const PortRoots &roots,
                                             const std::vector<SerialAdapter> &adapters)
{
    std::vector<SerialAdapter> unnumbered;
    if (roots.portsFolder.empty())
        return unnumbered;
    PortLinks links = ReadPortLinks(roots.portsFolder);
    for (const SerialAdapter &adapter : adapters) {
        const bool held = std::any_of(links.begin(), links.end(),
                                      [&](const PortLink &link) { return Holds(link, adapter); });
        if (!held && !GiveLowestFreeNumber(roots, links, adapter))
            unnumbered.push_back(adapter);
    }
    return unnumbered;
}

std::vector<SerialAdapter> DiscoverPorts(const PortRoots &roots)
{
    return AssignPortNumbers(roots, FindAdapters(roots));
}

std::string UnnumberedAdaptersNote(const std::vector<SerialAdapter> &unnumbered)
{
    if (unnumbered.empty())
        return {};
    std::string note = Strings::PORT_NUMBERS_EXHAUSTED;
    for (const SerialAdapter &adapter : unnumbered)
        note += "\n" + adapter.description;
    return note;
}

PortTarget ResolvePort(const PortRoots &roots, std::uint32_t portIndex)
{
    if (portIndex >= PORT_COUNT)
        return {};
    const char *name = PortName(portIndex);
    if (EntryExists(name))
        return WorkFolderTarget(name);
    if (!roots.portsFolder.empty() && EntryExists(roots.portsFolder / name))
        return AdapterTarget(roots, roots.portsFolder / name);
    if (IsRealUart(roots, portIndex)) {
        const std::string node = (roots.dev / UartName(portIndex)).string();
        return {PortKind::OnBoardUart, true, node, node, Strings::PORT_ON_BOARD};
    }
    return {PortKind::NotPresent, false, {}, {}, Strings::PORT_NOT_CONNECTED};
}

std::string DescribePortTarget(const PortTarget &target)
{
    return JoinParts({target.label, target.reaches});
}
