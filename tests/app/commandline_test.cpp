// Runs the built program with its options, with a pseudo-terminal presented as an adapter.

#include "pseudoterminal.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ProgramRun
{
    int status;
    std::string output;
};

// Runs the program in the working directory with stderr joined to stdout.
ProgramRun RunOrvanta(const std::string &environment, const std::string &option)
{
    const std::string command = environment + " '" ORVANTA_PATH "' " + option + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CommandLine, OptionsAnswerWithoutAWindow)
{
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY";
    const ProgramRun version = RunOrvanta(noDisplay, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "orvanta 1.0\n");
    const ProgramRun unknown = RunOrvanta(noDisplay, "--colour");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.output.starts_with("不明なオプションです: --colour\n使い方: orvanta"));
    const ProgramRun viewNothing = RunOrvanta(noDisplay, "--view");
    EXPECT_EQ(viewNothing.status, 2);
    EXPECT_TRUE(
        viewNothing.output.starts_with("オプションの値がありません: --view\n使い方: orvanta"));
}

TEST(CommandLine, CsvWritesTheWholeLogOrSaysWhyNot)
{
    const CTempWorkDir workDir;
    WriteBytes("log", {'X', '0', '7', 'F',  'F',  'Y', '0', '8', '0', '1', 'Z', '0',
                       'A', 'B', 'C', '\r', '\n', '?', 'X', '0', '1', '0', '0', '\r'});
    const std::string header = "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n";
    struct CsvCase
    {
        const char *arguments;
        int status;
        std::string output;
    };
    const CsvCase cases[] = {
        {"--csv log", 0, header + "0,0,0x07FF,0x0801,0x0ABC,249,250,335\r\n1,18,0x0100,,,31,,\r\n"},
        {"--csv log --bits 8", 0,
         header + "0,0,0x07FF,0x0801,0x0ABC,498,1,367\r\n1,18,0x0100,,,0,,\r\n"},
        {"--csv log --bits 14", 0,
         header + "0,0,0x07FF,0x0801,0x0ABC,62,62,83\r\n1,18,0x0100,,,7,,\r\n"},
        {"--csv log --bits 10", 0,
         header + "0,0,0x07FF,0x0801,0x0ABC,499,0,341\r\n1,18,0x0100,,,125,,\r\n"},
        {"--csv log --bits 9", 2, "ビット長は 16, 14, 12, 10, 8 のどれかです: 9\n使い方: orvanta"},
        {"--csv log --bits", 2, "オプションの値がありません: --bits\n使い方: orvanta"},
        {"--csv", 2, "オプションの値がありません: --csv\n使い方: orvanta"},
        {"--bits 8 --csv log", 2, "不明なオプションです: --bits\n使い方: orvanta"},
        {"--csv missing", 1, "ログファイルがオープンできません：No such file or directory\n"},
    };
    for (const CsvCase &row : cases) {
        const ProgramRun run = RunOrvanta("env -u DISPLAY -u WAYLAND_DISPLAY", row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments;
        if (row.status == 0)
            EXPECT_EQ(run.output, row.output) << row.arguments;
        else
            EXPECT_TRUE(run.output.starts_with(row.output)) << row.arguments << ": " << run.output;
    }
}

TEST(CommandLine, ListPortsNumbersAnAdapterAndShowsEveryPort)
{
    const CTempWorkDir workDir;
    const CPseudoTerminal device;
    const fs::path root = fs::current_path();
    fs::create_directories("devices");
    fs::create_symlink(device.SlavePath(), "devices/usb-Orvanta_Sim_0001-if00-port0");
    fs::create_directories("config/orvanta/ports");
    fs::create_symlink(root / "devices/usb-Gone", "config/orvanta/ports/COM15");
    fs::create_symlink("/dev/null", "COM16");

    const std::string environment
        = "env ORVANTA_SERIAL_DEVICES=devices XDG_CONFIG_HOME='" + (root / "config").string() + "'";
    const ProgramRun run = RunOrvanta(environment, "--list-ports");
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 16u) << run.output;
    EXPECT_TRUE(lines[15].starts_with("COM16  /dev/null ")) << lines[15];
    EXPECT_TRUE(lines[15].ends_with("  あり  作業フォルダのリンク")) << lines[15];
    // The presence column starts at the same place on every line.
    std::vector<std::size_t> presenceColumns;
    for (const std::string &line : lines)
        presenceColumns.push_back(std::min(line.find("  あり  "), line.find("  なし  ")));
    EXPECT_EQ(std::count(presenceColumns.begin(), presenceColumns.end(), presenceColumns[0]), 16)
        << run.output;

    // Which number the adapter gets depends on the machine's UARTs; its line and its link agree.
    const std::string adapter = (root / "devices/usb-Orvanta_Sim_0001-if00-port0").string();
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &text) {
        return text.find(" " + device.SlavePath() + " ") != std::string::npos;
    });
    ASSERT_NE(line, lines.end()) << run.output;
    EXPECT_TRUE(line->ends_with("  あり  " + adapter)) << *line;
    EXPECT_EQ(fs::read_symlink("config/orvanta/ports/" + line->substr(0, line->find(' '))),
              adapter);
    EXPECT_TRUE(
        lines[14].ends_with((root / "devices/usb-Gone").string() + "  なし  接続されていません"))
        << lines[14];
}

// A ports folder that takes no link, and an adapter whose name holds a line end and a
// terminal's escape: the adapter still has its line, which says why its number is not kept.
TEST(CommandLine, ListPortsShowsAnAdapterWhoseNumberCannotBeKept)
{
    const CTempWorkDir workDir;
    const CPseudoTerminal device;
    const fs::path root = fs::current_path();
    fs::create_directories("devices");
    fs::create_symlink(device.SlavePath(), "devices/usb-Odd\nName\x1b[2J");
    fs::create_directories("config/orvanta");
    std::ofstream("config/orvanta/ports") << "not a folder\n";

    const std::string environment
        = "env ORVANTA_SERIAL_DEVICES=devices XDG_CONFIG_HOME='" + (root / "config").string() + "'";
    const ProgramRun run = RunOrvanta(environment, "--list-ports");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Lines(run.output).size(), 16u) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
    const std::string expected = "  あり  " + root.string() + "/devices/usb-Odd\\x0aName\\x1b[2J"
        + "  今回限りの番号です。保存できません：" + root.string()
        + "/config/orvanta/ports: Not a directory\n";
    EXPECT_NE(run.output.find(" " + device.SlavePath() + " "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
}

} // namespace
