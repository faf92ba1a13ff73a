#include "portdiscovery.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A machine in a fresh working directory: sys/ for sysfs, dev/ with plain files standing in for
// device nodes, by-id/ and by-path/ for the adapters' links and config/orvanta/ports/ for the
// numbers given. Every ttyS is a placeholder until made a UART.
class CFakeMachine
{
public:
    CFakeMachine()
        : m_root(fs::current_path())
        , m_roots {m_root / "sys",
                   m_root / "dev",
                   {m_root / "by-id", m_root / "by-path"},
                   true,
                   m_root / "config/orvanta/ports"}
    {
        for (const char *folder : {"dev", "by-id", "by-path"})
            fs::create_directories(folder);
        for (int i = 0; i < 16; ++i)
            SetUartType("ttyS" + std::to_string(i), "0");
    }

    const PortRoots &Roots() const { return m_roots; }
    const fs::path &Root() const { return m_root; }

    static void WriteText(const fs::path &path, const std::string &text)
    {
        if (path.has_parent_path())
            fs::create_directories(path.parent_path());
        std::ofstream(path) << text << "\n";
    }

    static void SetUartType(const std::string &name, const char *type)
    {
        WriteText("sys/class/tty/" + name + "/type", type);
    }

    // A node and its links; a link name left empty is not made.
    static void Plug(const std::string &node, const std::string &byId, const std::string &byPath)
    {
        WriteText("dev/" + node, "");
        if (!byId.empty())
            fs::create_symlink("../dev/" + node, "by-id/" + byId);
        if (!byPath.empty())
            fs::create_symlink("../dev/" + node, "by-path/" + byPath);
    }

    void LinkPort(const char *name, const char *target) const
    {
        fs::create_directories(m_roots.portsFolder);
        fs::create_symlink(target, m_roots.portsFolder / name);
    }

    // The ports folder as `ls -l` lists it, the machine's root left off the targets.
    std::vector<std::string> PortsFolder() const
    {
        std::vector<fs::path> links;
        if (fs::exists(m_roots.portsFolder))
            links.assign(fs::directory_iterator(m_roots.portsFolder), fs::directory_iterator());
        std::sort(links.begin(), links.end());
        std::vector<std::string> lines;
        for (const fs::path &link : links)
            lines.push_back(link.filename().string() + " -> "
                            + WithoutRoot(fs::read_symlink(link)));
        return lines;
    }

    std::string WithoutRoot(const fs::path &path) const
    {
        std::string text = path.string();
        const std::string root = m_root.string() + "/";
        if (text.starts_with(root))
            text.erase(0, root.size());
        return text;
    }

private:
    CTempWorkDir m_workDir;
    fs::path m_root;
    PortRoots m_roots;
};

struct Adapter
{
    const char *node;
    const char *byId;
    const char *byPath;
};

struct NumberingCase
{
    const char *name;
    std::vector<const char *> realUarts;
    std::vector<const char *> workFolderEntries;
    // Links in the ports folder before the look, their targets as a person would write them.
    std::vector<std::pair<const char *, const char *>> portLinks;
    std::vector<Adapter> plugged;
    std::vector<std::string> expectedPortsFolder;
    std::size_t expectedUnnumbered;
};

const Adapter FTDI {"ttyUSB0", "usb-FTDI_FT232R_USB_UART_A12345-if00-port0",
                    "pci-0000:00:14.0-usb-0:1:1.0-port0"};

const NumberingCase NUMBERING_CASES[] = {
    {"a working-directory entry wins",
     {},
     {"COM1"},
     {},
     {FTDI},
     {"COM2 -> by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"},
     0},
    {"the lowest free number skips a real UART and a held number",
     {"ttyS0"},
     {},
     {{"COM2", "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0"}},
     {FTDI},
     {"COM2 -> /dev/serial/by-id/usb-Prolific_PL2303-if00-port0",
      "COM3 -> by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"},
     0},
    {"an adapter plugged in again keeps its number",
     {},
     {},
     {{"COM4", "../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"}},
     {FTDI},
     {"COM4 -> ../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"},
     0},
    {"the same adapter in another socket keeps its number",
     {},
     {},
     {{"COM2", "../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"}},
     {{"ttyUSB3", "usb-FTDI_FT232R_USB_UART_A12345-if00-port0",
       "pci-0000:00:14.0-usb-0:4:1.0-port0"}},
     {"COM2 -> ../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"},
     0},
    {"an adapter without a serial number is kept by its socket",
     {},
     {},
     {},
     {{"ttyUSB1", "", "pci-0000:00:14.0-usb-0:2:1.0-port0"}},
     {"COM1 -> by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"},
     0},
    {"a node without links is kept by itself",
     {},
     {},
     {},
     {{"ttyACM0", "", ""}},
     {"COM1 -> dev/ttyACM0"},
     0},
    {"new adapters are numbered in the order of their names",
     {"ttyS1"},
     {},
     {},
     {{"ttyUSB1", "usb-Silicon_Labs_CP2102_0001-if00-port0", ""}, FTDI},
     {"COM1 -> by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0",
      "COM3 -> by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"},
     0},
    {"a link the user pointed at the node holds the adapter",
     {},
     {},
     {{"COM7", "../../../dev/ttyXRUSB0"}},
     {{"ttyXRUSB0", "usb-Exar_XR21V1410_B7-if00", ""}},
     {"COM7 -> ../../../dev/ttyXRUSB0"},
     0},
    {"with all sixteen numbers taken a new adapter gets none",
     {"ttyS0", "ttyS1", "ttyS2", "ttyS3"},
     {"COM5", "COM6", "COM7", "COM8"},
     {{"COM9", "/dev/serial/by-id/usb-A"},
      {"COM10", "/dev/serial/by-id/usb-B"},
      {"COM11", "/dev/serial/by-id/usb-C"},
      {"COM12", "/dev/serial/by-id/usb-D"},
      {"COM13", "/dev/serial/by-id/usb-E"},
      {"COM14", "/dev/serial/by-id/usb-F"},
      {"COM15", "/dev/serial/by-id/usb-G"},
      {"COM16", "/dev/serial/by-id/usb-H"}},
     {FTDI},
     {"COM10 -> /dev/serial/by-id/usb-B", "COM11 -> /dev/serial/by-id/usb-C",
      "COM12 -> /dev/serial/by-id/usb-D", "COM13 -> /dev/serial/by-id/usb-E",
      "COM14 -> /dev/serial/by-id/usb-F", "COM15 -> /dev/serial/by-id/usb-G",
      "COM16 -> /dev/serial/by-id/usb-H", "COM9 -> /dev/serial/by-id/usb-A"},
     1},
};

TEST(PortDiscovery, AdaptersKeepTheLowestNumberFreeWhenFirstSeen)
{
    for (const NumberingCase &row : NUMBERING_CASES) {
        SCOPED_TRACE(row.name);
        const CFakeMachine machine;
        for (const char *uart : row.realUarts)
            machine.SetUartType(uart, "4");
        for (const char *entry : row.workFolderEntries)
            fs::create_symlink("/dev/null", entry);
        for (const auto &[name, target] : row.portLinks)
            machine.LinkPort(name, target);
        for (const Adapter &adapter : row.plugged)
            machine.Plug(adapter.node, adapter.byId, adapter.byPath);

        EXPECT_EQ(DiscoverPorts(machine.Roots()).size(), row.expectedUnnumbered);
        EXPECT_EQ(machine.PortsFolder(), row.expectedPortsFolder);
        for (const char *entry : row.workFolderEntries)
            EXPECT_EQ(fs::read_symlink(entry), "/dev/null");
        // A second look finds every adapter numbered already.
        EXPECT_EQ(DiscoverPorts(machine.Roots()).size(), row.expectedUnnumbered);
        EXPECT_EQ(machine.PortsFolder(), row.expectedPortsFolder);
    }
}

struct ResolutionCase
{
    const char *name;
    std::uint32_t portIndex;
    PortKind kind;
    bool present;
    // "{root}" stands for the machine's root.
    const char *openPath;
    const char *description;
};

const ResolutionCase RESOLUTION_CASES[] = {
    {"on-board UART", 0, PortKind::OnBoardUart, true, "{root}/dev/ttyS0",
     "オンボードのポート — {root}/dev/ttyS0"},
    {"UART placeholder", 1, PortKind::NotPresent, false, "", "接続されていません"},
    {"adapter present", 2, PortKind::Adapter, true, "{root}/config/orvanta/ports/COM3",
     "FT232R USB UART — FTDI — A12345 — {root}/dev/ttyUSB0"},
    {"adapter unplugged", 3, PortKind::Adapter, false, "",
     "接続されていません — /dev/serial/by-id/usb-Prolific_PL2303-if00-port0"},
    {"working-directory link before the adapter's number", 4, PortKind::WorkFolderEntry, true,
     "COM5", "作業フォルダのリンク — /dev/null"},
    {"working-directory link to a missing device", 5, PortKind::WorkFolderEntry, false, "COM6",
     "作業フォルダのリンク — missing-device"},
    {"working-directory plain file", 6, PortKind::WorkFolderEntry, true, "COM7",
     "作業フォルダのリンク"},
    {"no ttyS in sysfs", 7, PortKind::NotPresent, false, "", "接続されていません"},
    {"beyond the sixteen ports", 16, PortKind::NotPresent, false, "", ""},
};

std::string Placed(const std::string &text, const fs::path &root)
{
    std::string placed = text;
    for (std::size_t at; (at = placed.find("{root}")) != std::string::npos;)
        placed.replace(at, 6, root.string());
    return placed;
}

TEST(PortDiscovery, NumberReachesItsDeviceAndTellsWhatItIs)
{
    const CFakeMachine machine;
    fs::remove_all("sys/class/tty/ttyS7");
    machine.SetUartType("ttyS0", "4");
    // A USB device, its interface and the converter's port below it.
    const fs::path usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
    machine.WriteText(usb / "product", "FT232R USB UART");
    machine.WriteText(usb / "manufacturer", "FTDI");
    machine.WriteText(usb / "serial", "A12345");
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    fs::create_directories("sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(
        "../../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0",
        "sys/class/tty/ttyUSB0/device");
    machine.Plug("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "");
    machine.LinkPort("COM3", "../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    machine.LinkPort("COM4", "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0");
    machine.LinkPort("COM5", "../../../by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    fs::create_symlink("/dev/null", "COM5");
    fs::create_symlink("missing-device", "COM6");
    machine.WriteText("COM7", "");

    for (const ResolutionCase &row : RESOLUTION_CASES) {
        SCOPED_TRACE(row.name);
        const PortTarget target = ResolvePort(machine.Roots(), row.portIndex);
        EXPECT_EQ(target.kind, row.kind);
        EXPECT_EQ(target.present, row.present);
        EXPECT_EQ(target.openPath, Placed(row.openPath, machine.Root()));
        EXPECT_EQ(DescribePortTarget(target), Placed(row.description, machine.Root()));
    }

    const std::vector<SerialAdapter> adapters = FindAdapters(machine.Roots());
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].description,
              Placed("FT232R USB UART — FTDI — A12345 — {root}/dev/ttyUSB0", machine.Root()));
    EXPECT_EQ(UnnumberedAdaptersNote(adapters),
              Placed("COM番号の空きがありません\nFT232R USB UART — FTDI — A12345 — "
                     "{root}/dev/ttyUSB0",
                     machine.Root()));
    EXPECT_EQ(UnnumberedAdaptersNote({}), "");
}

} // namespace
