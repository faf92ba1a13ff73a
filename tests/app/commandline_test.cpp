// The built program's options on either system: what each prints and its exit status.
#include "commandlinetesting.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string USAGE = "使い方: orvanta";
const std::string CSV_HEADER = "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n";

void ExpectRuns(const std::vector<CommandLineCase> &cases)
{
    for (const CommandLineCase &row : cases) {
        const ProgramRun run = RunOrvanta(row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments;
        if (row.status == 0)
            EXPECT_EQ(run.output, row.output) << row.arguments;
        else
            EXPECT_TRUE(run.output.starts_with(row.output)) << row.arguments << ": " << run.output;
    }
}

TEST(CommandLine, OptionsAnswerWithoutAWindow)
{
    const CTempWorkDir workDir;
    WriteBytes("log", {'X', '0', '7', 'F',  'F',  'Y', '0', '8', '0', '1', 'Z', '0',
                       'A', 'B', 'C', '\r', '\n', '?', 'X', '0', '1', '0', '0', '\r'});
    // A name beyond ASCII, passed in UTF-8 as a shell passes it.
    std::filesystem::copy_file("log", std::filesystem::path(u8"測定ログ.txt"));
    ExpectRuns({
        {"--version", 0, "orvanta 1.0\n"},
        {"--colour", 2, "不明なオプションです: --colour\n" + USAGE},
        {"--view", 2, "オプションの値がありません: --view\n" + USAGE},
        {"--csv log", 0,
         CSV_HEADER + "0,0,0x07FF,0x0801,0x0ABC,249,250,335\r\n1,18,0x0100,,,31,,\r\n"},
        {"--csv log --bits 8", 0,
         CSV_HEADER + "0,0,0x07FF,0x0801,0x0ABC,498,1,367\r\n1,18,0x0100,,,0,,\r\n"},
        {"--csv log --bits 14", 0,
         CSV_HEADER + "0,0,0x07FF,0x0801,0x0ABC,62,62,83\r\n1,18,0x0100,,,7,,\r\n"},
        {"--csv 測定ログ.txt --bits 10", 0,
         CSV_HEADER + "0,0,0x07FF,0x0801,0x0ABC,499,0,341\r\n1,18,0x0100,,,125,,\r\n"},
        {"--csv log --bits 9", 2, "ビット長は 16, 14, 12, 10, 8 のどれかです: 9\n" + USAGE},
        {"--csv log --bits", 2, "オプションの値がありません: --bits\n" + USAGE},
        {"--csv", 2, "オプションの値がありません: --csv\n" + USAGE},
        {"--bits 8 --csv log", 2, "不明なオプションです: --bits\n" + USAGE},
    });
    ExpectRuns(SYSTEM_COMMAND_LINE_CASES);
}

} // namespace
