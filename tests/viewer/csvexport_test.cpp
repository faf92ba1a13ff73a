#include "csvexport.h"
#include "recording.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string CsvOf(const std::string &log, std::int64_t first, std::int64_t last, std::int32_t code)
{
    WriteBytes("log", {log.begin(), log.end()});
    CRecording recording("log");
    std::string failure;
    EXPECT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    std::FILE *out = std::fopen("out.csv", "wb");
    EXPECT_TRUE(WriteCsv(recording, first, last, code, out, failure)) << failure;
    std::fclose(out);
    const std::vector<unsigned char> bytes = ReadBytes("out.csv");
    return {bytes.begin(), bytes.end()};
}

const char *const HEADER = "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n";

TEST(CsvExport, WritesEveryFormWithEmptyCellsForMissingChannels)
{
    const CTempWorkDir workDir;
    const std::string log = "X07FFY0801Z0ABC\r\nX0100Y0200\r\n#X0300\r\nX07FFY0801Z0ABC\r\n";
    EXPECT_EQ(CsvOf(log, 0, 100, 3),
              std::string(HEADER)
                  + "0,0,07FF,0801,0ABC,249,250,335\r\n"
                    "1,17,0100,0200,,31,62,\r\n"
                    "2,30,0300,,,93,,\r\n"
                    "3,37,07FF,0801,0ABC,249,250,335\r\n");
    EXPECT_EQ(CsvOf(log, 1, 4, 5),
              std::string(HEADER)
                  + "1,17,0100,0200,,0,0,\r\n2,30,0300,,,0,,\r\n3,37,07FF,0801,0ABC,498,1,367\r\n");
    EXPECT_EQ(CsvOf(log, 3, 4, 1), std::string(HEADER) + "3,37,07FF,0801,0ABC,15,15,20\r\n");
    EXPECT_EQ(CsvOf("X0G00\r\n", 0, 1, 1), std::string(HEADER) + "0,0,0G00,,,138,,\r\n");
    EXPECT_EQ(CsvOf("", 0, 10, 3), HEADER);
}

// Digits are not checked, so any byte may stand in their place; the CSV must stay valid UTF-8
// and RFC 4180 whatever they are.
TEST(CsvExport, EscapesDigitBytesThatWouldBreakTheCsv)
{
    const CTempWorkDir workDir;
    const std::string log = std::string("X0,\"1Y\\ab\x80Z\r\n\x01;\r\n", 17) + "Xg0 0\r\n";
    EXPECT_EQ(CsvOf(log, 0, 2, 1),
              std::string(HEADER)
                  + "0,0,\"0,\"\"1\",\\x5Cab\\x80,\\x0D\\x0A\\x01;,90,2894,426\r\n"
                    "1,17,g0 0,,,3222,,\r\n");
}

} // namespace
