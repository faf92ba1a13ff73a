// The filters of the system's file dialogs, made from the lists the Linux dialogs take.
#include "filechoice_win32.h"

#include <gtest/gtest.h>

#include <string>

TEST(WindowsFileFilter, EachEntryNamesItsPatternsForTheSystemDialog)
{
    using namespace std::string_literals;
    struct Row
    {
        std::string filter;
        std::wstring expected;
    };
    const Row rows[] = {
        {"ログファイル (*.txt);;すべてのファイル (*)",
         L"ログファイル (*.txt)\0*.txt\0すべてのファイル (*)\0*\0\0"s},
        {"CSVファイル (*.csv)", L"CSVファイル (*.csv)\0*.csv\0\0"s},
        // Several patterns, which the system separates by semicolons.
        {"画像 (*.png *.bmp)", L"画像 (*.png *.bmp)\0*.png;*.bmp\0\0"s},
        // Without brackets, or with empty ones, every file.
        {"すべて", L"すべて\0*.*\0\0"s},
        {"なし ()", L"なし ()\0*.*\0\0"s},
        {"", L"\0"s},
    };
    for (const Row &row : rows)
        EXPECT_EQ(SystemFilter(row.filter), row.expected) << row.filter;
}
