#include "portnames.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class PortNames : public ::testing::Test
{
protected:
    CTempWorkDir m_workDir;
};

struct PathCase
{
    const char *name;
    std::uint32_t portIndex;
    const char *expected;
};

// The working directory holds COM1 (a plain file), COM3 (a link to /dev/null) and COM2 (a link
// to nothing). The other ports depend on the machine's adapters and UARTs (see portdiscovery).
const PathCase PATH_CASES[] = {
    {"entry in the working directory", 2, "COM3"},
    {"plain file entry", 0, "COM1"},
    {"link to a missing device still names the port", 1, "COM2"},
    {"beyond the sixteen ports", 16, ""},
    {"largest index", 0xFFFFFFFF, ""},
};

TEST_F(PortNames, NameReachesTheWorkingDirectoryEntry)
{
    WriteBytes("COM1", {});
    std::filesystem::create_symlink("/dev/null", "COM3");
    std::filesystem::create_symlink("missing-device", "COM2");
    for (const PathCase &row : PATH_CASES) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PortDevicePath(row.portIndex), row.expected);
    }
}

TEST_F(PortNames, DescriptionTellsTheDeviceALinkReaches)
{
    std::filesystem::create_symlink("/dev/null", "COM3");
    EXPECT_EQ(DescribePortDevice(2), "作業フォルダのリンク — /dev/null");
    EXPECT_EQ(DescribePortDevice(16), "");
}

} // namespace
