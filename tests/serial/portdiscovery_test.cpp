#include "portdiscovery.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

    // "ttyUSB0:usb-FTDI_A1:pci-1.0": the node, its by-id and its by-path name, "-" for none.
    static void Plug(const std::string &adapter)
    {
        const std::vector<std::string> names = Words(adapter, ':');
        WriteText("dev/" + names[0], "");
        const std::string folders[] = {"by-id/", "by-path/"};
        for (int i = 0; i < 2; ++i) {
            if (names[i + 1] != "-")
                fs::create_symlink("../dev/" + names[0], folders[i] + names[i + 1]);
        }
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
    PortRoots m_roots {m_root / "sys",
                       m_root / "dev",
                       {m_root / "by-id", m_root / "by-path"},
                       true,
                       m_root / "config/orvanta/ports"};
};

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
};

const NumberingCase NUMBERING_CASES[] = {
    {"a working-directory entry wins", "", "COM1", "", "ttyUSB0:usb-FTDI_A1:pci-1.0",
     "COM2>by-id/usb-FTDI_A1", 0},
    {"the lowest free number skips a real UART and a held number", "ttyS0", "",
     "COM2>/dev/serial/by-id/usb-PL2303_B2", "ttyUSB0:usb-FTDI_A1:pci-1.0",
     "COM2>/dev/serial/by-id/usb-PL2303_B2 COM3>by-id/usb-FTDI_A1", 0},
    {"an adapter plugged in again keeps its number", "", "", "COM4>../../../by-id/usb-FTDI_A1",
     "ttyUSB0:usb-FTDI_A1:pci-1.0", "COM4>../../../by-id/usb-FTDI_A1", 0},
    {"the same adapter in another socket keeps its number", "", "", "COM2>{root}/by-id/usb-FTDI_A1",
     "ttyUSB3:usb-FTDI_A1:pci-4.0", "COM2>by-id/usb-FTDI_A1", 0},
    {"an adapter without a serial number is kept by its socket", "", "", "", "ttyUSB1:-:pci-2.0",
     "COM1>by-path/pci-2.0", 0},
    {"a node without links is kept by itself", "", "", "", "ttyACM0:-:-", "COM1>dev/ttyACM0", 0},
    {"new adapters are numbered in the order of their names", "ttyS1", "", "",
     "ttyUSB1:usb-SiLabs_C3:- ttyUSB0:usb-FTDI_A1:-",
     "COM1>by-id/usb-FTDI_A1 COM3>by-id/usb-SiLabs_C3", 0},
    {"a link the user pointed at the node holds the adapter", "", "", "COM7>../../../dev/ttyXRUSB0",
     "ttyXRUSB0:usb-Exar_B7:-", "COM7>../../../dev/ttyXRUSB0", 0},
    {"with all sixteen numbers taken a new adapter gets none", "ttyS0 ttyS1 ttyS2 ttyS3",
     "COM5 COM6 COM7 COM8",
     "COM9>/a COM10>/b COM11>/c COM12>/d COM13>/e COM14>/f COM15>/g COM16>/h",
     "ttyUSB0:usb-FTDI_A1:pci-1.0",
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

        // A second look finds every adapter numbered already.
        for (int look = 0; look < 2; ++look) {
            EXPECT_EQ(DiscoverPorts(machine.m_roots).size(), row.expectedUnnumbered);
            EXPECT_EQ(machine.PortsFolder(), row.expectedPortLinks);
        }
        for (const std::string &entry : Words(row.workFolderEntries))
            EXPECT_EQ(fs::read_symlink(entry), "/dev/null");
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
    EXPECT_EQ(UnnumberedAdaptersNote(FindAdapters(machine.m_roots)),
              machine.Placed("COM番号の空きがありません\nFT232R USB UART — FTDI — A12345 — "
                             "{root}/dev/ttyUSB0"));
    EXPECT_EQ(UnnumberedAdaptersNote({}), "");
}

} // namespace
