#include "deviceidentity.h"
#include "portdiscovery.h"
#include "pseudoterminal.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

// A pseudo-terminal behind COM1 in a fresh working directory, straight or through a stand-in
// adapter's link by-id/usb-Sim_1, and a sysfs of its own, which describes the terminal as a USB
// adapter with a serial number where asked to.
class CScene
{
public:
    CScene(bool throughAdapterLink, bool describedAsAdapter)
    {
        const std::string slave = m_device->SlavePath();
        fs::create_directories("by-id");
        if (throughAdapterLink) {
            fs::create_symlink(slave, "by-id/usb-Sim_1");
            fs::create_symlink("by-id/usb-Sim_1", "COM1");
        } else {
            fs::create_symlink(slave, "COM1");
        }
        if (describedAsAdapter) {
            const std::string nodeName = fs::path(slave).filename().string();
            fs::create_directories("sys/devices/usb1/1-1/1-1:1.0/" + nodeName);
            WriteSerialNumber("A1");
            fs::create_directories("sys/class/tty/" + nodeName);
            fs::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0/" + nodeName,
                                         "sys/class/tty/" + nodeName + "/device");
        }
    }

    static void WriteSerialNumber(const char *serial)
    {
        std::ofstream("sys/devices/usb1/1-1/serial") << serial << "\n";
    }

    // Closes the terminal; the next one the kernel makes takes its number, unless another
    // program takes it first. Returns the number's path.
    std::string Unplug()
    {
        const std::string slave = m_device->SlavePath();
        m_device.reset();
        return slave;
    }

    // A new terminal under the number of the one closed.
    void PlugAt(const std::string &slave)
    {
        for (int attempt = 0; attempt < 100 && (!m_device || m_device->SlavePath() != slave);
             ++attempt)
            m_device = std::make_unique<CPseudoTerminal>();
        ASSERT_EQ(m_device->SlavePath(), slave) << "another program took the terminal's number";
    }

    static void Relink(const std::string &name, const std::string &target)
    {
        fs::remove(name);
        fs::create_symlink(target, name);
    }

    CTempWorkDir m_workDir;
    const fs::path m_root = fs::current_path();
    const PortRoots m_roots {m_root / "sys", "/dev", m_root / "by-id", {}, false, {}, {}};
    std::unique_ptr<CPseudoTerminal> m_device = std::make_unique<CPseudoTerminal>();
};

struct IdentityCase
{
    const char *name;
    bool throughAdapterLink;
    bool describedAsAdapter;
    std::function<void(CScene &)> change;
    bool expectedBack;
};

const IdentityCase IDENTITY_CASES[] = {
    {"the terminal untouched", false, false, [](CScene &) {}, true},
    {"a new terminal under the closed one's number", false, false,
     [](CScene &scene) { scene.PlugAt(scene.Unplug()); }, false},
    {"nothing under the closed one's number", false, false, [](CScene &scene) { scene.Unplug(); },
     false},
    {"COM1 pointed at another terminal", false, false,
     [](CScene &scene) {
         scene.Unplug();
         scene.m_device = std::make_unique<CPseudoTerminal>();
         CScene::Relink("COM1", scene.m_device->SlavePath());
     },
     true},
    {"COM1 made again, to a new terminal under the same number", false, false,
     [](CScene &scene) {
         const std::string slave = scene.Unplug();
         scene.PlugAt(slave);
         CScene::Relink("COM1", slave);
     },
     true},
    {"a stand-in adapter whose link nobody touched, its number reused", true, false,
     [](CScene &scene) { scene.PlugAt(scene.Unplug()); }, false},
    {"a stand-in adapter plugged in again", true, false,
     [](CScene &scene) {
         const std::string slave = scene.Unplug();
         scene.PlugAt(slave);
         CScene::Relink("by-id/usb-Sim_1", slave);
     },
     true},
    {"an adapter back with its serial number", false, true,
     [](CScene &scene) { scene.PlugAt(scene.Unplug()); }, true},
    {"another adapter in the node", false, true,
     [](CScene &scene) {
         scene.PlugAt(scene.Unplug());
         CScene::WriteSerialNumber("B2");
     },
     false},
};

TEST(DeviceIdentity, OnlyTheDeviceThatWentOrOneTheUserLinkedIsBack)
{
    for (const IdentityCase &row : IDENTITY_CASES) {
        SCOPED_TRACE(row.name);
        CScene scene(row.throughAdapterLink, row.describedAsAdapter);
        const CDeviceIdentity identity(scene.m_roots, "COM1");
        row.change(scene);
        EXPECT_EQ(identity.IsBack(scene.m_roots), row.expectedBack);
    }
    EXPECT_FALSE(CDeviceIdentity().IsBack(PortRoots()));
}

} // namespace
