#include "portdiscovery.h"

#include "portchoicetables.h"
#include "texts.h"

#include "posixio.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
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

bool IsLink(const fs::path &path)
{
    struct stat status
    {
    };
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
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

std::string SysfsSerial(const PortRoots &roots, const std::string &node)
{
    const fs::path usb = UsbDeviceOf(roots, fs::path(node).filename().string());
    return usb.empty() ? std::string() : ReadAttribute(usb / "serial");
}

// "1.0" for a tty below the interface 1-1:1.0 of the USB device 1-1: the same in every socket,
// and different for the two ports of a dual adapter, which share a serial number.
std::string UsbInterfaceOf(const fs::path &usb, const std::string &device)
{
    const fs::path below = fs::path(device).lexically_relative(usb);
    const std::string interface = below.empty() ? std::string() : below.begin()->string();
    const std::size_t colon = interface.find(':');
    return colon == std::string::npos ? std::string() : interface.substr(colon + 1);
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

// A folder's links; anything else there (a README, a folder) names no device.
std::vector<fs::path> SortedLinks(const fs::path &folder)
{
    std::vector<fs::path> links = SortedEntries(folder);
    std::erase_if(links, [](const fs::path &entry) { return !IsLink(entry); });
    return links;
}

bool IsAdapterNodeName(const std::string &name)
{
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

// A node that ttyUSB or ttyACM numbers in the order adapters come: it stays with no adapter.
bool IsBareAdapterNode(const PortRoots &roots, const fs::path &path)
{
    return path.parent_path() == roots.dev && IsAdapterNodeName(path.filename().string());
}

// The names that reach one node, by where they were found.
struct FoundAdapter
{
    std::string node;
    std::string byId;
    std::string byPath;
    std::string bare;
};

void AddAdapterName(std::vector<FoundAdapter> &adapters, const fs::path &name,
                    std::string FoundAdapter::*kind)
{
    const std::string node = Canonical(name);
    if (node.empty())
        return;
    auto found = std::find_if(adapters.begin(), adapters.end(),
                              [&](const FoundAdapter &adapter) { return adapter.node == node; });
    if (found == adapters.end())
        found = adapters.insert(adapters.end(), {node, {}, {}, {}});
    std::string &kept = (*found).*kind;
    if (kept.empty())
        kept = name.string();
}

// udev gives every adapter without a serial number of one make the same by-id name, so such an
// adapter is known by its socket.
std::string KeyOf(const FoundAdapter &found, bool hasSerial)
{
    if (!found.byId.empty() && hasSerial)
        return found.byId;
    for (const std::string *name : {&found.byPath, &found.byId, &found.bare}) {
        if (!name->empty())
            return *name;
    }
    return {};
}

SerialAdapter MakeAdapter(const PortRoots &roots, const FoundAdapter &found)
{
    SerialAdapter adapter {
        found.node, KeyOf(found, !SysfsSerial(roots, found.node).empty()), {}, {}};
    adapter.names.push_back(adapter.key);
    for (const std::string &name : {found.byId, found.byPath, found.bare}) {
        if (!name.empty() && name != adapter.key)
            adapter.names.push_back(name);
    }
    const std::string description = SysfsDescription(roots, adapter.node);
    adapter.description
        = JoinParts({description.empty() ? adapter.key : description, adapter.node});
    return adapter;
}

std::chrono::system_clock::time_point ChangeTime(const struct stat &status)
{
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(status.st_ctim.tv_sec)
            + std::chrono::nanoseconds(status.st_ctim.tv_nsec)));
}

// udev sets a new node's owner and mode when it names it, which stamps the change time.
bool StillSettling(const PortRoots &roots, const std::string &node)
{
    struct stat status
    {
    };
    if (roots.udevControl.empty() || !EntryExists(roots.udevControl)
        || stat(node.c_str(), &status) != 0)
        return false;
    return roots.now() - ChangeTime(status) < UDEV_SETTLE_TIME;
}

// A number in the ports folder: whether something takes its name there, whether that is a number
// given (a link, or a number for this run only, which is no entry of the folder) and whom it
// names. An entry that is no link (a file, a folder) gives no number.
struct PortLink
{
    bool taken = false;
    bool given = false;
    std::string target;
    std::string node;
};

using PortLinks = std::array<PortLink, PORT_COUNT>;

// Numbers given while the ports folder could not be written: the adapters' keys and why. They
// last as long as the process.
struct RunOnlyNumbers
{
    fs::path portsFolder;
    std::array<std::string, PORT_COUNT> keys;
    std::string reason;
};

RunOnlyNumbers &RunOnly(const PortRoots &roots)
{
    static RunOnlyNumbers numbers;
    if (numbers.portsFolder != roots.portsFolder)
        numbers = {roots.portsFolder, {}, {}};
    return numbers;
}

PortLink ReadPortLink(const PortRoots &roots, std::uint32_t portIndex)
{
    const fs::path link = roots.portsFolder / PortName(portIndex);
    if (IsLink(link)) {
        std::error_code ignored;
        const fs::path target = fs::read_symlink(link, ignored);
        return {true, true, (roots.portsFolder / target).lexically_normal().string(),
                Canonical(link)};
    }
    const std::string &runOnly = RunOnly(roots).keys[portIndex];
    if (!runOnly.empty())
        return {true, true, runOnly, Canonical(runOnly)};
    return {EntryExists(link), false, {}, {}};
}

PortLinks ReadPortLinks(const PortRoots &roots)
{
    PortLinks links;
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i)
        links[i] = ReadPortLink(roots, i);
    return links;
}

// A link the user made may name the adapter by any of its names, or by a way of their own to
// the same node.
bool Holds(const PortLink &link, const SerialAdapter &adapter)
{
    if (!link.given)
        return false;
    if (!link.node.empty() && link.node == adapter.node)
        return true;
    return std::find(adapter.names.begin(), adapter.names.end(), link.target)
        != adapter.names.end();
}

bool IsFree(const PortRoots &roots, const PortLinks &links, std::uint32_t portIndex)
{
    return !links[portIndex].taken && !EntryExists(PortName(portIndex))
        && !IsRealUart(roots, portIndex);
}

// The ports folder, made where missing and locked while numbers are given, so that two
// Orvantas started at once never both give a number to one adapter. error says why the folder
// cannot take a link; 0 while it can.
class CPortsFolderLock
{
public:
    explicit CPortsFolderLock(const fs::path &folder)
    {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
        m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0 || RetryOnInterrupt([this] { return flock(m_fd, LOCK_EX); }) != 0)
            error = errno;
    }
    ~CPortsFolderLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CPortsFolderLock(const CPortsFolderLock &) = delete;
    CPortsFolderLock &operator=(const CPortsFolderLock &) = delete;

    int error = 0;

private:
    int m_fd = -1;
};

void GiveForThisRun(const PortRoots &roots, PortLinks &links, std::uint32_t portIndex,
                    const SerialAdapter &adapter, int error)
{
    RunOnlyNumbers &runOnly = RunOnly(roots);
    runOnly.keys[portIndex] = adapter.key;
    runOnly.reason = std::string(Strings::PORT_NUMBER_NOT_KEPT) + roots.portsFolder.string() + ": "
        + std::strerror(error);
    links[portIndex] = {true, true, adapter.key, adapter.node};
}

// False only when every number is taken. Where the folder takes no link, the number lasts for
// this run.
bool GiveLowestFreeNumber(const PortRoots &roots, PortLinks &links, const SerialAdapter &adapter,
                          const CPortsFolderLock &lock)
{
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i) {
        if (!IsFree(roots, links, i))
            continue;
        const fs::path link = roots.portsFolder / PortName(i);
        int error = lock.error;
        if (error == 0 && symlink(adapter.key.c_str(), link.c_str()) == 0) {
            links[i] = {true, true, adapter.key, adapter.node};
            return true;
        }
        if (error == 0)
            error = errno;
        if (error == EEXIST) {
            // Made since the folder was read, by an Orvanta that does not lock, or by hand.
            links[i] = ReadPortLink(roots, i);
            if (Holds(links[i], adapter))
                return true;
            continue;
        }
        GiveForThisRun(roots, links, i, adapter, error);
        return true;
    }
    return false;
}

// A kept number that names a bare node now names the adapter by its lasting name. The new link
// replaces the old in one rename, so the number is never missing.
void KeepByLastingName(const PortRoots &roots, PortLink &link, std::uint32_t portIndex,
                       const SerialAdapter &adapter)
{
    if (!IsBareAdapterNode(roots, link.target) || IsBareAdapterNode(roots, adapter.key))
        return;
    const fs::path path = roots.portsFolder / PortName(portIndex);
    const fs::path made = path.string() + "." + std::to_string(getpid());
    if (symlink(adapter.key.c_str(), made.c_str()) == 0 && rename(made.c_str(), path.c_str()) == 0)
        link.target = adapter.key;
    else
        unlink(made.c_str());
}

PortTarget WorkFolderTarget(const char *name)
{
    std::error_code notLink;
    const fs::path target = fs::read_symlink(name, notLink);
    const std::string node = Canonical(name);
    std::string reaches;
    if (!notLink)
        reaches = node.empty() ? target.string() : node;
    return {PortKind::WorkFolderEntry,
            !node.empty(),
            name,
            reaches,
            Strings::PORT_WORK_FOLDER_LINK,
            {}};
}

// An adapter that sysfs does not describe (a pseudo-terminal standing in for one) is told by the
// name its number is kept under.
PortTarget AdapterTarget(const PortRoots &roots, const fs::path &link, const std::string &keptName,
                         const std::string &notKept)
{
    const std::string node = Canonical(link);
    if (node.empty())
        return {PortKind::Adapter, false, {}, keptName, Strings::PORT_NOT_CONNECTED, notKept};
    const std::string description = SysfsDescription(roots, node);
    return {PortKind::Adapter,
            true,
            link.string(),
            node,
            description.empty() ? keptName : description,
            notKept};
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
    PortRoots roots;
    roots.sysfs = "/sys";
    roots.dev = "/dev";
    const fs::path configHome = ConfigHome();
    if (!configHome.empty())
        roots.portsFolder = configHome / "orvanta/ports";
    const char *devices = std::getenv("ORVANTA_SERIAL_DEVICES");
    std::error_code error;
    if (devices && *devices) {
        roots.byId = fs::absolute(devices, error);
    } else {
        roots.byId = "/dev/serial/by-id";
        roots.byPath = "/dev/serial/by-path";
        roots.scanNodes = true;
        roots.udevControl = "/run/udev/control";
    }
    return roots;
}

std::vector<SerialAdapter> FindAdapters(const PortRoots &roots)
{
    std::vector<FoundAdapter> found;
    for (const fs::path &name : SortedLinks(roots.byId))
        AddAdapterName(found, name, &FoundAdapter::byId);
    for (const fs::path &name : SortedLinks(roots.byPath))
        AddAdapterName(found, name, &FoundAdapter::byPath);
    if (roots.scanNodes) {
        for (const fs::path &node : SortedEntries(roots.dev)) {
            if (IsAdapterNodeName(node.filename().string()))
                AddAdapterName(found, node, &FoundAdapter::bare);
        }
    }
    std::vector<SerialAdapter> adapters;
    for (const FoundAdapter &adapter : found) {
        if (!StillSettling(roots, adapter.node))
            adapters.push_back(MakeAdapter(roots, adapter));
    }
    std::sort(adapters.begin(), adapters.end(),
              [](const SerialAdapter &a, const SerialAdapter &b) { return a.key < b.key; });
    return adapters;
}

std::string AdapterIdentity(const PortRoots &roots, const std::string &node)
{
    const std::string nodeName = fs::path(node).filename().string();
    const fs::path usb = UsbDeviceOf(roots, nodeName);
    if (usb.empty())
        return {};
    const std::string serial = ReadAttribute(usb / "serial");
    if (!serial.empty()) {
        const std::string device = Canonical(roots.sysfs / "class/tty" / nodeName / "device");
        return JoinParts({ReadAttribute(usb / "manufacturer"), ReadAttribute(usb / "product"),
                          serial, UsbInterfaceOf(usb, device)});
    }
    for (const fs::path &name : SortedLinks(roots.byPath)) {
        if (Canonical(name) == node)
            return name.string();
    }
    return {};
}

std::vector<SerialAdapter> AssignPortNumbers(const PortRoots &roots,
                                             const std::vector<SerialAdapter> &adapters)
{
    std::vector<SerialAdapter> unnumbered;
    if (roots.portsFolder.empty())
        return unnumbered;
    const CPortsFolderLock lock(roots.portsFolder);
    PortLinks links = ReadPortLinks(roots);
    for (const SerialAdapter &adapter : adapters) {
        const auto holder = std::find_if(
            links.begin(), links.end(), [&](const PortLink &link) { return Holds(link, adapter); });
        if (holder == links.end()) {
            if (!GiveLowestFreeNumber(roots, links, adapter, lock))
                unnumbered.push_back(adapter);
        } else if (lock.error == 0) {
            KeepByLastingName(roots, *holder, static_cast<std::uint32_t>(holder - links.begin()),
                              adapter);
        }
    }
    return unnumbered;
}

std::vector<SerialAdapter> DiscoverPorts(const PortRoots &roots)
{
    return AssignPortNumbers(roots, FindAdapters(roots));
}

PortTarget ResolvePort(const PortRoots &roots, std::uint32_t portIndex)
{
    if (portIndex >= PORT_COUNT)
        return {};
    const char *name = PortName(portIndex);
    if (EntryExists(name))
        return WorkFolderTarget(name);
    if (!roots.portsFolder.empty()) {
        const fs::path link = roots.portsFolder / name;
        std::error_code ignored;
        if (IsLink(link))
            return AdapterTarget(roots, link, fs::read_symlink(link, ignored).string(), {});
        const RunOnlyNumbers &runOnly = RunOnly(roots);
        const std::string &key = runOnly.keys[portIndex];
        if (!key.empty())
            return AdapterTarget(roots, key, key, runOnly.reason);
    }
    if (IsRealUart(roots, portIndex)) {
        const std::string node = (roots.dev / UartName(portIndex)).string();
        return {PortKind::OnBoardUart, true, node, node, Strings::PORT_ON_BOARD, {}};
    }
    return {PortKind::NotPresent, false, {}, {}, Strings::PORT_NOT_CONNECTED, {}};
}
