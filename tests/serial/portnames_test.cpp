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
// to nothing).
const PathCase PATH_CASES[] = {
    {"entry in the working directory", 2, "COM3"},
    {"plain file entry", 0, "COM1"},
    {"link to a missing device still names the port", 1, "COM2"},
    {"no entry: first standard device", 3, "/dev/ttyS3"},
    {"COM1 does not stand for COM10", 9, "/dev/ttyS9"},
    {"last port", 15, "/dev/ttyS15"},
    {"beyond the sixteen ports", 16, ""},
    {"largest index", 0xFFFFFFFF, ""},
};

TEST_F(PortNames, NameReachesTheWorkingDirectoryEntryElseTheStandardDevice)
{
    WriteBytes("COM1", {});
    std::filesystem::create_symlink("/dev/null", "COM3");
    std::filesystem::create_symlink("missing-device", "COM2");
    for (const PathCase &row : PATH_CASES) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PortDevicePath(row.portIndex), row.expected);
    }
}

TEST_F(PortNames, DescriptionAddsTheDeviceALinkReaches)
{
    std::filesystem::create_symlink("/dev/null", "COM3");
    EXPECT_EQ(DescribePortDevice(2), "COM3 → /dev/null");
    EXPECT_EQ(DescribePortDevice(3), "/dev/ttyS3");
}

} // namespace
