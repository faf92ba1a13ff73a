#include "csvexport.h"
#include "recording.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
                  + "0,0,0x07FF,0x0801,0x0ABC,249,250,335\r\n"
                    "1,17,0x0100,0x0200,,31,62,\r\n"
                    "2,30,0x0300,,,93,,\r\n"
                    "3,37,0x07FF,0x0801,0x0ABC,249,250,335\r\n");
    EXPECT_EQ(CsvOf(log, 1, 4, 5),
              std::string(HEADER)
                  + "1,17,0x0100,0x0200,,0,0,\r\n2,30,0x0300,,,0,,\r\n3,37,0x07FF,0x0801,0x0ABC,"
                    "498,1,367\r\n");
    EXPECT_EQ(CsvOf(log, 3, 4, 1), std::string(HEADER) + "3,37,0x07FF,0x0801,0x0ABC,15,15,20\r\n");
    EXPECT_EQ(CsvOf("X0G00\r\n", 0, 1, 1), std::string(HEADER) + "0,0,0x0G00,,,138,,\r\n");
    EXPECT_EQ(CsvOf("", 0, 10, 3), HEADER);
}

// 14 bit keeps the two low bits of the first digit (F 3, 5 1, C 0), 10 bit those of the second;
// the non-hexadecimal G counts 71, whose two low bits are 3.
TEST(CsvExport, ScalesAtFourteenAndTenBit)
{
    const CTempWorkDir workDir;
    const std::string log = "XFFFFY5555ZC3C1\r\nX0G00\r\n";
    EXPECT_EQ(CsvOf(log, 0, 2, 2),
              std::string(HEADER)
                  + "0,0,0xFFFF,0x5555,0xC3C1,499,166,29\r\n1,17,0x0G00,,,554,,\r\n");
    EXPECT_EQ(CsvOf(log, 0, 2, 4),
              std::string(HEADER)
                  + "0,0,0xFFFF,0x5555,0xC3C1,499,166,469\r\n1,17,0x0G00,,,375,,\r\n");
}

// Asked for at once after the open, while the scan has found few of its frames, the whole file
// is exported all the same: its last frame included.
TEST(CsvExport, WholeFileAskedForDuringTheScanHoldsEveryFrame)
{
    const CTempWorkDir workDir;
    constexpr int FRAMES = 500000;
    std::string log;
    for (int i = 0; i < FRAMES; ++i)
        log += i + 1 < FRAMES ? "X0100\r\n" : "X0FFF\r\n";
    WriteBytes("log", {log.begin(), log.end()});
    CRecording recording("log");
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    std::FILE *out = std::fopen("out.csv", "wb");
    EXPECT_TRUE(WriteWholeCsv(recording, 3, out, failure)) << failure;
    std::fclose(out);
    const std::vector<unsigned char> bytes = ReadBytes("out.csv");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(text.ends_with("\r\n499999,3499993,0x0FFF,,,499,,\r\n"))
        << text.substr(text.size() - std::min<std::size_t>(text.size(), 80));
}

using Records = std::vector<std::vector<std::string>>;

// Reads CSV as RFC 4180 has it: records end with CRLF, fields are split at commas, and a field in
// double quotes may hold commas, CR, LF and doubled quotes. Nothing when the text breaks a rule:
// a quote or a lone CR or LF inside an unquoted field, text after a closing quote, a last record
// without its CRLF.
std::optional<Records> ReadCsv(const std::string &text)
{
    Records records;
    std::vector<std::string> record;
    std::size_t at = 0;
    while (at < text.size()) {
        std::string field;
        if (text[at] == '"') {
            for (++at;; ++at) {
                if (at >= text.size())
                    return std::nullopt;
                if (text[at] == '"' && text.compare(at, 2, "\"\"") != 0)
                    break;
                if (text[at] == '"')
                    ++at;
                field += text[at];
            }
            ++at;
        } else {
            for (; at < text.size() && text[at] != ',' && text[at] != '\r'; ++at) {
                if (text[at] == '"' || text[at] == '\n')
                    return std::nullopt;
                field += text[at];
            }
        }
        record.push_back(field);
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (text.compare(at, 2, "\r\n") != 0)
            return std::nullopt;
        at += 2;
        records.push_back(record);
        record.clear();
    }
    return record.empty() ? std::optional(records) : std::nullopt;
}

// Digits are not checked, so any byte may stand in their place; the CSV must stay RFC 4180 and
// valid UTF-8 whatever they are. Bytes that are not printable ASCII and the backslash read back
// as \xHH.
TEST(CsvExport, ReadsBackAsRfc4180WhateverTheDigitBytes)
{
    const CTempWorkDir workDir;
    struct DigitsCase
    {
        const char *name;
        std::string frame;
        std::string digits;
    };
    const DigitsCase cases[] = {
        {"a comma", "X1,23\r\n", "1,23"},
        {"a quote", "X0\"12\r\n", "0\"12"},
        {"quotes only", "X\"\"\"\"\r\n", "\"\"\"\""},
        {"a backslash", "X\\123\r\n", "\\x5C123"},
        {"control bytes", std::string("X\x01\x1F\x7F", 4) + "0\r\n", "\\x01\\x1F\\x7F0"},
        {"CR and LF", "X\r\n12\r\n", "\\x0D\\x0A12"},
        {"NUL",
         std::string("X0\0"
                     "12\r\n",
                     7),
         "0\\x0012"},
        {"bytes beyond ASCII", "X\x80\xFF\x83G\r\n", "\\x80\\xFF\\x83G"},
        {"comma, quote and backslash", "X,\"\\,\r\n", ",\"\\x5C,"},
    };
    for (const DigitsCase &row : cases) {
        const std::optional<Records> records = ReadCsv(CsvOf(row.frame + "X0100\r\n", 0, 2, 3));
        ASSERT_TRUE(records.has_value()) << row.name;
        ASSERT_EQ(records->size(), 3u) << row.name;
        EXPECT_EQ(records->at(0).size(), 8u) << row.name;
        const std::vector<std::string> expected = {"0", "0", "0x" + row.digits, "", ""};
        EXPECT_EQ(std::vector(records->at(1).begin(), records->at(1).begin() + 5), expected)
            << row.name;
        EXPECT_EQ(records->at(2),
                  (std::vector<std::string> {"1", "7", "0x0100", "", "", "31", "", ""}))
            << row.name;
    }
}

} // namespace
