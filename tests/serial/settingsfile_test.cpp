// rs232c.ini on either system: what a load finds, and what a save writes or refuses.
#include "settingsfiletesting.h"

#include <cstring>
#include <utility>

namespace {

// A value outside the lists stays as stored; of a longer file only the first record counts, and
// the file is saved back at 124 bytes.
TEST_F(SettingsFile, LongerFileLoadsItsFirstRecordAsItIsAndIsSavedBackAt124Bytes)
{
    PortSettings stored = Custom();
    stored.baudRate = 12345;
    Bytes bytes = Encoded(stored);
    bytes.resize(500, 0xAB);
    WriteBytes(SETTINGS_FILE_NAME, bytes);

    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 1);
    EXPECT_EQ(g_portSettings, stored);

    ASSERT_TRUE(WriteSettingsFile(g_portSettings));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(stored));
}

// A file saved by Orvanta on the other system, written out byte by byte: COM5, 115200 baud, 8 data
// bits, odd parity, 1 stop bit, XON/XOFF. Both systems read it alike and save it back unchanged,
// as the one file a first save leaves.
TEST_F(SettingsFile, ReadsAndSavesTheSameBytesOnEitherSystem)
{
    Bytes record(124, 0);
    record[0] = 4;
    record[5] = 0xC2;
    record[6] = 0x01;
    record[8] = 8;
    record[9] = 1;
    record[12] = 1;
    record[16] = 1;
    const std::pair<std::size_t, std::string> texts[]
        = {{28, "COM5"}, {44, "115200"}, {60, "8"}, {76, "Odd"}, {92, "1"}, {108, "Xon/Xoff"}};
    for (const auto &[offset, text] : texts)
        std::memcpy(record.data() + offset, text.data(), text.size());
    WriteBytes(SETTINGS_FILE_NAME, record);

    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 1);
    EXPECT_EQ(g_portSettings.portIndex, 4u);
    EXPECT_EQ(g_portSettings.baudRate, 115200u);
    EXPECT_EQ(g_portSettings.parity, 1);
    EXPECT_EQ(g_portSettings.outX, 1u);
    EXPECT_STREQ(g_portSettings.flowText, "Xon/Xoff");

    std::filesystem::remove(SETTINGS_FILE_NAME);
    ASSERT_TRUE(WriteSettingsFile(g_portSettings));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), record);
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}

// None of these was written by the program; each counts as missing, as does no file at all.
TEST_F(SettingsFile, MissingOrMalformedFileLoadsTheDefaults)
{
    const Bytes good = Encoded(Custom());
    Bytes withoutNul = good;
    std::memset(withoutNul.data() + 76, 'N', SETTING_TEXT_SIZE);
    const struct
    {
        const char *name;
        std::function<void()> make;
    } cases[] = {
        {"no file", [] {}},
        {"a directory", [] { std::filesystem::create_directory(SETTINGS_FILE_NAME); }},
        {"empty", [] { WriteBytes(SETTINGS_FILE_NAME, {}); }},
        {"one byte", [] { WriteBytes(SETTINGS_FILE_NAME, {0x01}); }},
        {"123 bytes", [&] { WriteBytes(SETTINGS_FILE_NAME, Bytes(good.begin(), good.end() - 1)); }},
        {"parity text without NUL", [&] { WriteBytes(SETTINGS_FILE_NAME, withoutNul); }},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(SETTINGS_FILE_NAME);
        row.make();
        g_portSettings = Custom();
        g_settingsFileRead = -1;
        LoadPortSettings();
        EXPECT_EQ(g_settingsFileRead, 0);
        EXPECT_EQ(g_portSettings, Defaults());
    }
}

std::function<void()> MakeFileReadOnly()
{
    std::filesystem::permissions(SETTINGS_FILE_NAME, std::filesystem::perms::all,
                                 std::filesystem::perm_options::remove);
    std::filesystem::permissions(SETTINGS_FILE_NAME, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::add);
    // Windows removes no read-only file.
    return [] {
        std::filesystem::permissions(SETTINGS_FILE_NAME, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    };
}

std::function<void()> ReplaceFileWithDirectory()
{
    std::filesystem::remove(SETTINGS_FILE_NAME);
    std::filesystem::create_directory(SETTINGS_FILE_NAME);
    return [] {};
}

TEST_F(SettingsFile, UnwritableTargetIsLeftAsItWasWithoutTemporaryFile)
{
    std::vector<UnwritableCase> cases = {
        {"read-only file", MakeFileReadOnly},
        {"directory in the way", ReplaceFileWithDirectory},
    };
    cases.insert(cases.end(), SYSTEM_UNWRITABLE_CASES.begin(), SYSTEM_UNWRITABLE_CASES.end());
    for (const UnwritableCase &row : cases) {
        SCOPED_TRACE(row.name);
        ExpectSaveRefused(row.arrange);
    }
}

} // namespace
