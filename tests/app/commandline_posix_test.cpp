// The options on Linux: the run through the shell, and the port list with a pseudo-terminal
// standing in for an adapter.

#include "commandlinetesting.h"
#include "pseudoterminal.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

const std::vector<CommandLineCase> SYSTEM_COMMAND_LINE_CASES = {
    {"--csv missing", 1, "ログファイルがオープンできません：No such file or directory\n"},
};

namespace {

namespace fs = std::filesystem;

ProgramRun RunOrvantaWith(const std::string &environment, const std::string &arguments)
{
    const std::string command = environment + " '" ORVANTA_PATH "' " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

} // namespace

// Without a display, as on a server.
ProgramRun RunOrvanta(const std::string &arguments)
{
    return RunOrvantaWith("env -u DISPLAY -u WAYLAND_DISPLAY", arguments);
}

namespace {

// A working folder whose devices/ stands for the system's folder of adapter links and config/ for
// the settings folder, and a pseudo-terminal for an adapter.
class ListPorts : public testing::Test
{
protected:
    ListPorts() { fs::create_directories("devices"); }
    ProgramRun Run() const
    {
        const std::string config = (m_root / "config").string();
        return RunOrvantaWith("env ORVANTA_SERIAL_DEVICES=devices XDG_CONFIG_HOME='" + config + "'",
                              "--list-ports");
    }

    const CTempWorkDir m_workDir;
    const CPseudoTerminal m_device;
    const fs::path m_root = fs::current_path();
};

TEST_F(ListPorts, NumbersAnAdapterAndShowsEveryPort)
{
    fs::create_symlink(m_device.SlavePath(), "devices/usb-Orvanta_Sim_0001-if00-port0");
    fs::create_directories("config/orvanta/ports");
    fs::create_symlink(m_root / "devices/usb-Gone", "config/orvanta/ports/COM15");
    fs::create_symlink("/dev/null", "COM16");

    const ProgramRun run = Run();
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 16u) << run.output;
    EXPECT_TRUE(lines[15].starts_with("COM16  /dev/null ")) << lines[15];
    EXPECT_TRUE(lines[15].ends_with("  あり  作業フォルダのリンク")) << lines[15];
    EXPECT_TRUE(PresenceColumnsAligned(lines)) << run.output;

    // Which number the adapter gets depends on the machine's UARTs; its line and its link agree.
    const std::string adapter = (m_root / "devices/usb-Orvanta_Sim_0001-if00-port0").string();
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &text) {
        return text.find(" " + m_device.SlavePath() + " ") != std::string::npos;
    });
    ASSERT_NE(line, lines.end()) << run.output;
    EXPECT_TRUE(line->ends_with("  あり  " + adapter)) << *line;
    EXPECT_EQ(fs::read_symlink("config/orvanta/ports/" + line->substr(0, line->find(' '))),
              adapter);
    EXPECT_TRUE(
        lines[14].ends_with((m_root / "devices/usb-Gone").string() + "  なし  接続されていません"))
        << lines[14];
}

// A ports folder that takes no link, and an adapter whose name holds a line end, a terminal's
// escape and a backslash before an x: the adapter still has its line, which says why its number
// is not kept.
TEST_F(ListPorts, ShowsAnAdapterWhoseNumberCannotBeKept)
{
    fs::create_symlink(m_device.SlavePath(), "devices/usb-Odd\nName\x1b[2J\\x41\\y");
    fs::create_directories("config/orvanta");
    std::ofstream("config/orvanta/ports") << "not a folder\n";

    const ProgramRun run = Run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Lines(run.output).size(), 16u) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
    const std::string expected = "  あり  " + m_root.string()
        + "/devices/usb-Odd\\x0aName\\x1b[2J\\\\x41\\y" + "  今回限りの番号です。保存できません："
        + m_root.string() + "/config/orvanta/ports: Not a directory\n";
    EXPECT_NE(run.output.find(" " + m_device.SlavePath() + " "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
}

} // namespace
