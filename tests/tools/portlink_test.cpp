#include "portlink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <stdlib.h>

namespace {

namespace fs = std::filesystem;

const std::string TARGET = "/dev/pts/4242";

class PortLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "portlink-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Entry() const { return (m_dir / "COM1").string(); }
    void WriteFile(const std::string &text) const { std::ofstream(Entry()) << text; }
    std::string ReadFile() const
    {
        std::ifstream in(Entry());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_dir;
};

TEST_F(PortLink, MakesTheLinkAndRemovesItAgain)
{
    {
        CPortLink link(Entry(), TARGET);
        EXPECT_TRUE(fs::is_symlink(Entry()));
        EXPECT_EQ(fs::read_symlink(Entry()), TARGET);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(Entry())));
}

TEST_F(PortLink, ReplacesALinkThatAnEarlierRunLeftBehind)
{
    fs::create_symlink("/dev/pts/987654", Entry());
    CPortLink link(Entry(), TARGET);
    EXPECT_EQ(fs::read_symlink(Entry()), TARGET);
}

TEST_F(PortLink, ReplacesALeftoverLinkThatNamesTheTerminalItGotAgain)
{
    const std::string reused = "/dev/pts/ptmx";
    fs::create_symlink(reused, Entry());
    CPortLink link(Entry(), reused);
    EXPECT_EQ(fs::read_symlink(Entry()), reused);
}

struct InTheWayCase
{
    const char *name;
    std::function<void(const std::string &entry)> make;
};

const InTheWayCase IN_THE_WAY_CASES[] = {
    {"RegularFile", [](const std::string &entry) { std::ofstream(entry) << "keep"; }},
    {"DanglingLinkElsewhere",
     [](const std::string &entry) { fs::create_symlink("/nonexistent/ttyUSB0", entry); }},
    {"Directory", [](const std::string &entry) { fs::create_directory(entry); }},
    {"LinkToADevice", [](const std::string &entry) { fs::create_symlink("/dev/null", entry); }},
    {"LinkToALiveTerminalEntry",
     [](const std::string &entry) { fs::create_symlink("/dev/pts/ptmx", entry); }},
};

TEST_F(PortLink, RefusesToReplaceAnythingElse)
{
    for (const InTheWayCase &row : IN_THE_WAY_CASES) {
        SCOPED_TRACE(row.name);
        row.make(Entry());
        const fs::file_status before = fs::symlink_status(Entry());
        const std::string targetBefore
            = fs::is_symlink(before) ? fs::read_symlink(Entry()).string() : std::string();
        EXPECT_THROW(CPortLink(Entry(), TARGET), std::runtime_error);
        const fs::file_status after = fs::symlink_status(Entry());
        EXPECT_EQ(after.type(), before.type());
        if (fs::is_symlink(after)) {
            EXPECT_EQ(fs::read_symlink(Entry()).string(), targetBefore);
        }
        fs::remove(Entry());
    }
}

TEST_F(PortLink, LeavesWhatSomeoneElsePutInItsPlace)
{
    {
        CPortLink link(Entry(), TARGET);
        fs::remove(Entry());
        WriteFile("someone else's");
    }
    EXPECT_EQ(ReadFile(), "someone else's");
}

} // namespace
