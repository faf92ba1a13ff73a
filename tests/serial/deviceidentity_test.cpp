#include "deviceidentity.h"
#include "portdiscovery.h"
#include "pseudoterminal.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

enum class Change { None, NewTerminalSameNumber, LinkMadeAgain, AdapterLinkMadeAgain, OtherSerial };

struct IdentityCase
{
    const char *name;
    // COM1 reaches the terminal through a stand-in adapter's link, by-id/usb-Sim_1.
    bool throughAdapterLink;
    // sysfs describes the terminal as a USB adapter with the serial number A1.
    bool describedAsAdapter;
    Change change;
    bool expectedBack;
};

const IdentityCase IDENTITY_CASES[] = {
    {"the terminal untouched", false, false, Change::None, true},
    {"a new terminal under the closed one's number", false, false, Change::NewTerminalSameNumber,
     false},
    {"COM1 made again, to a new terminal under that number", false, false, Change::LinkMadeAgain,
     true},
    {"a stand-in adapter's untouched link, its number reused", true, false,
     Change::NewTerminalSameNumber, false},
    {"a stand-in adapter plugged in again", true, false, Change::AdapterLinkMadeAgain, true},
    {"an adapter back with its serial number", false, true, Change::NewTerminalSameNumber, true},
    {"another adapter in its node", false, true, Change::OtherSerial, false},
};

void Link(const std::string &target, const std::string &name)
{
    fs::remove(name);
    fs::create_symlink(target, name);
}

// The kernel gives a new terminal the lowest free number, the one just closed, unless another
// program takes it first.
std::unique_ptr<CPseudoTerminal> TerminalAt(const std::string &slave)
{
    auto terminal = std::make_unique<CPseudoTerminal>();
    for (int attempt = 0; attempt < 100 && terminal->SlavePath() != slave; ++attempt)
        terminal = std::make_unique<CPseudoTerminal>();
    return terminal;
}

// Whether the identity taken of COM1 before the row's change finds the device back after it, or
// nothing when another program took the terminal's number in between.
std::optional<bool> IsBackAfterChange(const IdentityCase &row)
{
    const CTempWorkDir workDir;
    const fs::path root = fs::current_path();
    const PortRoots roots {root / "sys", "/dev", root / "by-id", {}, false, {}, {}};
    auto device = std::make_unique<CPseudoTerminal>();
    const std::string slave = device->SlavePath();
    const std::string nodeName = fs::path(slave).filename().string();
    fs::create_directories("by-id");
    Link(slave, "by-id/usb-Sim_1");
    Link(row.throughAdapterLink ? "by-id/usb-Sim_1" : slave, "COM1");
    if (row.describedAsAdapter) {
        fs::create_directories("sys/devices/usb1/1-1/1-1:1.0/" + nodeName);
        std::ofstream("sys/devices/usb1/1-1/serial") << "A1\n";
        fs::create_directories("sys/class/tty/" + nodeName);
        fs::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0/" + nodeName,
                                     "sys/class/tty/" + nodeName + "/device");
    }

    const CDeviceIdentity identity(roots, "COM1");
    if (row.change != Change::None) {
        device.reset();
        device = TerminalAt(slave);
        if (device->SlavePath() != slave)
            return std::nullopt;
    }
    if (row.change == Change::LinkMadeAgain)
        Link(slave, "COM1");
    if (row.change == Change::AdapterLinkMadeAgain)
        Link(slave, "by-id/usb-Sim_1");
    if (row.change == Change::OtherSerial)
        std::ofstream("sys/devices/usb1/1-1/serial") << "B2\n";
    return identity.IsBack(roots);
}

// Tests that run beside this one make terminals too, so a row whose number was taken is run
// again with a new terminal.
TEST(DeviceIdentity, OnlyTheDeviceThatWentOrOneTheUserLinkedIsBack)
{
    for (const IdentityCase &row : IDENTITY_CASES) {
        SCOPED_TRACE(row.name);
        std::optional<bool> back;
        for (int attempt = 0; attempt < 20 && !back; ++attempt)
            back = IsBackAfterChange(row);
        ASSERT_TRUE(back) << "other programs kept taking the terminal's number";
        EXPECT_EQ(*back, row.expectedBack);
    }
    EXPECT_FALSE(CDeviceIdentity().IsBack(PortRoots()));
}

} // namespace
