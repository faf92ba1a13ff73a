#include "portdiscovery.h"
#include "tempworkdir.h"
#include "unprivilegedrun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Words(const std::string &text, char separator = ' ')
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; std::getline(in, word, separator);)
        if (!word.empty())
            words.push_back(word);
    return words;
}

void WriteText(const fs::path &path, const std::string &text)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

// A machine in a fresh working directory: sys/ for sysfs, dev/ with plain files standing in for
// device nodes, by-id/ and by-path/ for the adapters' links and config/orvanta/ports/ for the
// numbers given. Every ttyS is a placeholder until made a UART.
class CFakeMachine
{
public:
    CFakeMachine()
    {
        for (const char *folder : {"dev", "by-id", "by-path", "config/orvanta/ports"})
            fs::create_directories(folder);
        for (int i = 0; i < 16; ++i)
            WriteText("sys/class/tty/ttyS" + std::to_string(i) + "/type", "0");
    }

    // "ttyUSB0:usb-FTDI_A1:pci-1.0:A1": the node, its by-id and its by-path name, "-" for none,
    // and when given the serial number of the USB device that sysfs describes, "-" for none.
    static void Plug(const std::string &adapter)
    {
        const std::vector<std::string> names = Words(adapter, ':');
        WriteText("dev/" + names[0], "");
        const std::string folders[] = {"by-id/", "by-path/"};
        for (int i = 0; i < 2; ++i) {
            if (names[i + 1] != "-")
                fs::create_symlink("../dev/" + names[0], folders[i] + names[i + 1]);
        }
        if (names.size() < 4)
            return;
        const fs::path usb = "sys/devices/usb-" + names[0];
        WriteText(usb / "product", "USB Serial");
        if (names[3] != "-")
            WriteText(usb / "serial", names[3]);
        fs::create_directories(usb / "1-1:1.0" / names[0]);
        fs::create_directories("sys/class/tty/" + names[0]);
        fs::create_directory_symlink("../../../devices/usb-" + names[0] + "/1-1:1.0/" + names[0],
                                     "sys/class/tty/" + names[0] + "/device");
    }

    // The ports folder's links in number order, "COM2>target", the machine's root left off.
    std::string PortsFolder() const
    {
        std::string listing;
        for (int i = 1; i <= 16; ++i) {
            const fs::path link = m_roots.portsFolder / ("COM" + std::to_string(i));
            if (!fs::is_symlink(link))
                continue;
            std::string target = fs::read_symlink(link).string();
            if (target.starts_with(m_root.string() + "/"))
                target.erase(0, m_root.string().size() + 1);
            listing += (listing.empty() ? "" : " ") + link.filename().string() + ">" + target;
        }
        return listing;
    }

    std::string Placed(std::string text) const
    {
        for (std::size_t at; (at = text.find("{root}")) != std::string::npos;)
            text.replace(at, 6, m_root.string());
        return text;
    }

    CTempWorkDir m_workDir;
    fs::path m_root = fs::current_path();
    PortRoots m_roots {m_root / "sys",         m_root / "dev", m_root / "by-id",
                       m_root / "by-path",     true,           m_root / "config/orvanta/ports",
                       m_root / "udev-control"};
};

// Whether udev runs, and how long ago the adapters were plugged in.
enum class Udev { Absent, JustPlugged, Settled };

std::chrono::system_clock::time_point AMinuteLater()
{
    return std::chrono::system_clock::now() + std::chrono::minutes(1);
}

struct NumberingCase
{
    const char *name;
    const char *realUarts;
    const char *workFolderEntries;
    // The ports folder before the look, as a person would have written the links.
    const char *portLinks;
    const char *plugged;
    const char *expectedPortLinks;
    std::size_t expectedUnnumbered;
    Udev udev = Udev::Absent;
};

const NumberingCase NUMBERING_CASES[] = {
    {"a working-directory entry wins", "", "COM1", "", "ttyUSB0:usb-FTDI_A1:pci-1.0:A1",
     "COM2>by-id/usb-FTDI_A1", 0},
    {"the lowest free number skips a real UART and a held number", "ttyS0", "",
     "COM2>/dev/serial/by-id/usb-PL2303_B2", "ttyUSB0:usb-FTDI_A1:pci-1.0:A1",
     "COM2>/dev/serial/by-id/usb-PL2303_B2 COM3>by-id/usb-FTDI_A1", 0},
    {"an adapter plugged in again keeps its number", "", "", "COM4>../../../by-id/usb-FTDI_A1",
     "ttyUSB0:usb-FTDI_A1:pci-1.0:A1", "COM4>../../../by-id/usb-FTDI_A1", 0},
    {"the same adapter in another socket keeps its number", "", "", "COM2>{root}/by-id/usb-FTDI_A1",
     "ttyUSB3:usb-FTDI_A1:pci-4.0:A1", "COM2>by-id/usb-FTDI_A1", 0},
    {"an adapter without a serial number is kept by its socket", "", "", "", "ttyUSB1:-:pci-2.0",
     "COM1>by-path/pci-2.0", 0},
    // udev gives every CH340 without a serial number this one by-id name.
    {"an adapter without a serial number is kept by its socket, not by a shared by-id name", "", "",
     "", "ttyUSB0:usb-1a86_USB_Serial-if00-port0:pci-1.0:-", "COM1>by-path/pci-1.0", 0},
    {"a node without links is kept by itself", "", "", "", "ttyACM0:-:-", "COM1>dev/ttyACM0", 0},
    {"a node that udev settled without links is kept by itself", "", "", "", "ttyUSB0:-:-",
     "COM1>dev/ttyUSB0", 0, Udev::Settled},
    {"a node just plugged in waits for udev's names", "", "", "", "ttyUSB0:-:-", "", 0,
     Udev::JustPlugged},
    {"an adapter just plugged in waits for its by-path name", "", "", "",
     "ttyUSB0:usb-1a86_USB_Serial-if00-port0:-", "", 0, Udev::JustPlugged},
    {"a number kept for a bare node moves to the adapter's lasting name", "", "",
     "COM3>{root}/dev/ttyUSB0", "ttyUSB0:usb-FTDI_A1:pci-1.0:A1", "COM3>by-id/usb-FTDI_A1", 0},
    {"new adapters are numbered in the order of their names", "ttyS1", "", "",
     "ttyUSB1:usb-SiLabs_C3:-:C3 ttyUSB0:usb-FTDI_A1:-:A1",
     "COM1>by-id/usb-FTDI_A1 COM3>by-id/usb-SiLabs_C3", 0},
    {"a link the user pointed at the node holds the adapter", "", "", "COM7>../../../dev/ttyXRUSB0",
     "ttyXRUSB0:usb-Exar_B7:-", "COM7>../../../dev/ttyXRUSB0", 0},
    {"with all sixteen numbers taken a new adapter gets none", "ttyS0 ttyS1 ttyS2 ttyS3",
     "COM5 COM6 COM7 COM8",
     "COM9>/a COM10>/b COM11>/c COM12>/d COM13>/e COM14>/f COM15>/g COM16>/h",
     "ttyUSB0:usb-FTDI_A1:pci-1.0:A1",
     "COM9>/a COM10>/b COM11>/c COM12>/d COM13>/e COM14>/f COM15>/g COM16>/h", 1},
};

TEST(PortDiscovery, AdaptersKeepTheLowestNumberFreeWhenFirstSeen)
{
    for (const NumberingCase &row : NUMBERING_CASES) {
        SCOPED_TRACE(row.name);
        const CFakeMachine machine;
        for (const std::string &uart : Words(row.realUarts))
            WriteText("sys/class/tty/" + uart + "/type", "4");
        for (const std::string &entry : Words(row.workFolderEntries))
            fs::create_symlink("/dev/null", entry);
        for (const std::string &link : Words(machine.Placed(row.portLinks))) {
            const std::vector<std::string> nameAndTarget = Words(link, '>');
            fs::create_symlink(nameAndTarget[1], machine.m_roots.portsFolder / nameAndTarget[0]);
        }
        for (const std::string &adapter : Words(row.plugged))
            machine.Plug(adapter);
        PortRoots roots = machine.m_roots;
        if (row.udev != Udev::Absent)
            WriteText("udev-control", "");
        if (row.udev == Udev::Settled)
            roots.now = AMinuteLater;

        // A second look finds every adapter numbered already.
        for (int look = 0; look < 2; ++look) {
            EXPECT_EQ(DiscoverPorts(roots).size(), row.expectedUnnumbered);
            EXPECT_EQ(machine.PortsFolder(), row.expectedPortLinks);
        }
        for (const std::string &entry : Words(row.workFolderEntries))
            EXPECT_EQ(fs::read_symlink(entry), "/dev/null");
    }
}

// Entries of the ports folder that are not links name no adapter and hold no number; where the
// folder takes no link at all, an adapter gets a number for this run, and the port says why.
struct UnwritableCase
{
    const char *name;
    const char *portsFolderFile;
    const char *portsFolderEntries;
    bool readOnly;
    std::uint32_t expectedPort;
    const char *expectedNote;
};

const UnwritableCase UNWRITABLE_CASES[] = {
    {"entries that are no links", "", "README COM1/ COM2", false, 2, ""},
    {"a file in place of the folder", "config/orvanta/ports", "", false, 0,
     "今回限りの番号です。保存できません：{root}/config/orvanta/ports: Not a directory"},
    {"a read-only folder", "", "", true, 0,
     "今回限りの番号です。保存できません：{root}/config/orvanta/ports: Permission denied"},
};

void ExpectTheOneAdapterAt(const CFakeMachine &machine, const UnwritableCase &row)
{
    // A second look keeps the number it gave.
    for (int look = 0; look < 2; ++look) {
        EXPECT_TRUE(DiscoverPorts(machine.m_roots).empty());
        int adapterPorts = 0;
        for (std::uint32_t i = 0; i < 16; ++i)
            adapterPorts += ResolvePort(machine.m_roots, i).kind == PortKind::Adapter;
        EXPECT_EQ(adapterPorts, 1);
        const PortTarget target = ResolvePort(machine.m_roots, row.expectedPort);
        EXPECT_TRUE(target.present);
        EXPECT_EQ(DescribePortTarget(target),
                  machine.Placed(std::string("USB Serial — A1 — {root}/dev/ttyUSB0")
                                 + (*row.expectedNote ? "\n" : "") + row.expectedNote));
    }
}

TEST(PortDiscovery, AnAdapterIsNeverHiddenByThePortsFolder)
{
    for (const UnwritableCase &row : UNWRITABLE_CASES) {
        SCOPED_TRACE(row.name);
        const CFakeMachine machine;
        for (const std::string &entry : Words(row.portsFolderEntries)) {
            if (entry.ends_with("/"))
                fs::create_directory("config/orvanta/ports/" + entry);
            else
                WriteText("config/orvanta/ports/" + entry, "not a number");
        }
        if (*row.portsFolderFile) {
            fs::remove(row.portsFolderFile);
            WriteText(row.portsFolderFile, "not a folder");
        }
        machine.Plug("ttyUSB0:usb-FTDI_A1:-:A1");
        if (!row.readOnly) {
            ExpectTheOneAdapterAt(machine, row);
            continue;
        }
        fs::permissions("config/orvanta/ports", fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_TRUE(PassesInUnprivilegedChild([&] { ExpectTheOneAdapterAt(machine, row); }));
    }
}

// Two Orvantas started at once, each numbering the same adapters: every adapter ends with one
// number. The children wait on one pipe, so that they start as nearly together as they can.
TEST(PortDiscovery, TwoProcessesNumberingAtOnceGiveEachAdapterOneNumber)
{
    constexpr int ROUNDS = 60;
    const char *const ADAPTERS[]
        = {"ttyUSB0:usb-FTDI_A1:-:A1", "ttyUSB1:usb-FTDI_B2:-:B2", "ttyUSB2:usb-FTDI_C3:-:C3"};
    const CFakeMachine machine;
    for (const char *adapter : ADAPTERS)
        machine.Plug(adapter);
    for (int round = 0; round < ROUNDS; ++round) {
        fs::remove_all(machine.m_roots.portsFolder);
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        std::vector<pid_t> children;
        for (int child = 0; child < 2; ++child) {
            const pid_t pid = fork();
            if (pid == 0) {
                close(start[1]);
                char go;
                static_cast<void>(read(start[0], &go, 1));
                DiscoverPorts(machine.m_roots);
                _exit(0);
            }
            children.push_back(pid);
        }
        close(start[0]);
        close(start[1]);
        for (const pid_t child : children)
            waitpid(child, nullptr, 0);
        ASSERT_EQ(Words(machine.PortsFolder()).size(), 3u)
            << "round " << round << ": " << machine.PortsFolder();
    }
}

struct IdentityCase
{
    const char *name;
    const char *plugged;
    const char *expected;
};

// An adapter with a serial number is known by it, in whichever socket and node; one without by
// its socket; anything that sysfs does not describe as a USB device has no such identity.
const IdentityCase IDENTITY_CASES[] = {
    {"serial number and interface", "ttyUSB3:usb-FTDI_A1:pci-4.0:A1", "USB Serial — A1 — 1.0"},
    {"socket without a serial number", "ttyUSB3:usb-1a86_USB_Serial-if00-port0:pci-4.0:-",
     "{root}/by-path/pci-4.0"},
    {"no USB device", "ttyUSB3:usb-Sim_1:pci-4.0", ""},
};

TEST(PortDiscovery, AdapterIsKnownBySerialNumberElseBySocket)
{
    for (const IdentityCase &row : IDENTITY_CASES) {
        SCOPED_TRACE(row.name);
        const CFakeMachine machine;
        machine.Plug(row.plugged);
        EXPECT_EQ(AdapterIdentity(machine.m_roots, machine.Placed("{root}/dev/ttyUSB3")),
                  machine.Placed(row.expected));
    }
}

struct ResolutionCase
{
    std::uint32_t portIndex;
    PortKind kind;
    bool present;
    // "{root}" stands for the machine's root.
    const char *openPath;
    const char *description;
};

const ResolutionCase RESOLUTION_CASES[] = {
    {0, PortKind::OnBoardUart, true, "{root}/dev/ttyS0", "オンボードのポート — {root}/dev/ttyS0"},
    {1, PortKind::NotPresent, false, "", "接続されていません"},
    {2, PortKind::Adapter, true, "{root}/config/orvanta/ports/COM3",
     "FT232R USB UART — FTDI — A12345 — {root}/dev/ttyUSB0"},
    {3, PortKind::Adapter, false, "", "接続されていません — /dev/serial/by-id/usb-PL2303_B2"},
    {4, PortKind::WorkFolderEntry, true, "COM5", "作業フォルダのリンク — /dev/null"},
    {5, PortKind::WorkFolderEntry, false, "COM6", "作業フォルダのリンク — missing-device"},
    {7, PortKind::NotPresent, false, "", "接続されていません"},
    {16, PortKind::NotPresent, false, "", ""},
};

TEST(PortDiscovery, NumberReachesItsDeviceAndTellsWhatItIs)
{
    const CFakeMachine machine;
    fs::remove_all("sys/class/tty/ttyS7");
    WriteText("sys/class/tty/ttyS0/type", "4");
    // A USB device, its interface and the converter's port below it.
    const fs::path usb = "sys/devices/pci0000:00/usb1/1-1";
    WriteText(usb / "product", "FT232R USB UART");
    WriteText(usb / "manufacturer", "FTDI");
    WriteText(usb / "serial", "A12345");
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    fs::create_directories("sys/class/tty/ttyUSB0");
    fs::create_directory_symlink("../../../devices/pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0",
                                 "sys/class/tty/ttyUSB0/device");
    machine.Plug("ttyUSB0:usb-FTDI_A12345:-");
    fs::create_symlink("../../../by-id/usb-FTDI_A12345", "config/orvanta/ports/COM3");
    fs::create_symlink("/dev/serial/by-id/usb-PL2303_B2", "config/orvanta/ports/COM4");
    fs::create_symlink("../../../by-id/usb-FTDI_A12345", "config/orvanta/ports/COM5");
    fs::create_symlink("/dev/null", "COM5");
    fs::create_symlink("missing-device", "COM6");

    for (const ResolutionCase &row : RESOLUTION_CASES) {
        SCOPED_TRACE(row.portIndex);
        const PortTarget target = ResolvePort(machine.m_roots, row.portIndex);
        EXPECT_EQ(target.kind, row.kind);
        EXPECT_EQ(target.present, row.present);
        EXPECT_EQ(target.openPath, machine.Placed(row.openPath));
        EXPECT_EQ(DescribePortTarget(target), machine.Placed(row.description));
    }
}

} // namespace
