#include "portnames.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the test's length, or unsets it for a null value.
class CScopedEnv
{
public:
    CScopedEnv(const char *name, const char *value)
        : m_name(name)
    {
        if (const char *previous = std::getenv(name))
            m_previous = previous;
        Set(value);
    }
    ~CScopedEnv() { Set(m_previous ? m_previous->c_str() : nullptr); }
    CScopedEnv(const CScopedEnv &) = delete;
    CScopedEnv &operator=(const CScopedEnv &) = delete;

private:
    void Set(const char *value) const
    {
        if (value)
            setenv(m_name, value, 1);
        else
            unsetenv(m_name);
    }

    const char *m_name;
    std::optional<std::string> m_previous;
};

// The ports folder is found through the environment; no adapter of the machine takes part.
class PortNames : public ::testing::Test
{
protected:
    CTempWorkDir m_workDir;
    CScopedEnv m_devices {"ORVANTA_SERIAL_DEVICES", "devices"};
    CScopedEnv m_configHome {"XDG_CONFIG_HOME", nullptr};
    CScopedEnv m_home {"HOME", nullptr};
};

struct PathCase
{
    const char *name;
    std::uint32_t portIndex;
    // "{cwd}" stands for the working directory.
    const char *expected;
};

// The working directory holds COM1 (a plain file), COM3 (a link to /dev/null) and COM2 (a link
// to nothing); the ports folder gives COM5 to a present adapter and COM6 to an unplugged one,
// and COM3 to the present one too, which the working directory's COM3 hides.
const PathCase PATH_CASES[] = {
    {"entry in the working directory", 2, "COM3"},
    {"plain file entry", 0, "COM1"},
    {"link to a missing device still names the port", 1, "COM2"},
    {"adapter present", 4, "{cwd}/config/orvanta/ports/COM5"},
    {"adapter unplugged", 5, ""},
    {"beyond the sixteen ports", 16, ""},
    {"largest index", 0xFFFFFFFF, ""},
};

void MakeMachine()
{
    WriteBytes("COM1", {});
    fs::create_symlink("/dev/null", "COM3");
    fs::create_symlink("missing-device", "COM2");
    fs::create_directories("devices");
    WriteBytes("ttyUSB0", {});
    fs::create_symlink("../ttyUSB0", "devices/usb-FTDI_A12345");
    fs::create_directories("config/orvanta/ports");
    fs::create_symlink(fs::absolute("devices/usb-FTDI_A12345"), "config/orvanta/ports/COM5");
    fs::create_symlink(fs::absolute("devices/usb-FTDI_A12345"), "config/orvanta/ports/COM3");
    fs::create_symlink(fs::absolute("devices/usb-Gone"), "config/orvanta/ports/COM6");
}

std::string Placed(std::string text)
{
    for (std::size_t at; (at = text.find("{cwd}")) != std::string::npos;)
        text.replace(at, 5, fs::current_path().string());
    return text;
}

TEST_F(PortNames, NameReachesTheWorkingDirectoryEntryElseItsAdapter)
{
    MakeMachine();
    const CScopedEnv configHome("XDG_CONFIG_HOME", (fs::current_path() / "config").c_str());
    for (const PathCase &row : PATH_CASES) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PortDevicePath(row.portIndex), Placed(row.expected));
    }
}

struct ConfigCase
{
    const char *variable;
    const char *value;
    const char *expected;
};

// A relative XDG_CONFIG_HOME does not count.
const ConfigCase CONFIG_CASES[] = {
    {"XDG_CONFIG_HOME", "{cwd}/config", "{cwd}/config/orvanta/ports/COM5"},
    {"HOME", "{cwd}/home", "{cwd}/home/.config/orvanta/ports/COM5"},
    {"XDG_CONFIG_HOME", "config", ""},
};

TEST_F(PortNames, PortsFolderIsInTheUsersConfigFolder)
{
    MakeMachine();
    fs::create_directories("home");
    fs::create_directory_symlink("../config", "home/.config");
    for (const ConfigCase &row : CONFIG_CASES) {
        SCOPED_TRACE(row.value);
        const CScopedEnv folder(row.variable, Placed(row.value).c_str());
        EXPECT_EQ(PortDevicePath(4), Placed(row.expected));
    }
}

TEST_F(PortNames, DescriptionTellsWhatTheNameReaches)
{
    MakeMachine();
    const CScopedEnv configHome("XDG_CONFIG_HOME", (fs::current_path() / "config").c_str());
    EXPECT_EQ(DescribePortDevice(2), "作業フォルダのリンク — /dev/null");
    EXPECT_EQ(DescribePortDevice(4), Placed("{cwd}/devices/usb-FTDI_A12345 — {cwd}/ttyUSB0"));
    EXPECT_EQ(DescribePortDevice(5), Placed("接続されていません — {cwd}/devices/usb-Gone"));
}

} // namespace
