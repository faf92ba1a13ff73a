#include "portchoicetables.h"
#include "portsettings.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"
#include "tempworkdir.h"
#include "unprivilegedrun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;

PortSettings Defaults()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

PortSettings Custom()
{
    PortSettings settings = Defaults();
    StoreChoice(settings, PORT_CHOICE_TABLES.port[4]);
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[14]);
    StoreChoice(settings, PORT_CHOICE_TABLES.parity[1]);
    StoreChoice(settings, PORT_CHOICE_TABLES.flow[2]);
    return settings;
}

Bytes Encoded(const PortSettings &settings)
{
    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    return {record.begin(), record.end()};
}

class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_portSettings = {};
        g_settingsFileRead = -1;
    }

    CTempWorkDir m_workDir;
};

TEST_F(SettingsFile, NoFileLoadsTheDefaults)
{
    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 0);
    EXPECT_EQ(g_portSettings, Defaults());
}

TEST_F(SettingsFile, LoadsTheStoredValuesAsTheyAre)
{
    PortSettings stored = Custom();
    stored.baudRate = 12345;
    WriteBytes(SETTINGS_FILE_NAME, Encoded(stored));

    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 1);
    EXPECT_EQ(g_portSettings, stored);
}

TEST_F(SettingsFile, LongerFileLoadsItsFirstRecordAndIsSavedBackAt124Bytes)
{
    Bytes bytes = Encoded(Custom());
    bytes.resize(500, 0xAB);
    WriteBytes(SETTINGS_FILE_NAME, bytes);

    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 1);
    EXPECT_EQ(g_portSettings, Custom());

    ASSERT_TRUE(WriteSettingsFile(g_portSettings));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(Custom()));
}

// None of these was written by the program; each counts as missing.
TEST_F(SettingsFile, MalformedFileLoadsTheDefaults)
{
    const Bytes good = Encoded(Custom());
    Bytes withoutNul = good;
    std::memset(withoutNul.data() + 76, 'N', SETTING_TEXT_SIZE);
    const struct
    {
        const char *name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0x01}},
        {"123 bytes", Bytes(good.begin(), good.end() - 1)},
        {"parity text without NUL", withoutNul},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        WriteBytes(SETTINGS_FILE_NAME, row.bytes);
        g_portSettings = Custom();
        LoadPortSettings();
        EXPECT_EQ(g_settingsFileRead, 0);
        EXPECT_EQ(g_portSettings, Defaults());
    }
}

TEST_F(SettingsFile, DirectoryInPlaceOfTheFileLoadsTheDefaults)
{
    std::filesystem::create_directory(SETTINGS_FILE_NAME);
    LoadPortSettings();
    EXPECT_EQ(g_settingsFileRead, 0);
    EXPECT_EQ(g_portSettings, Defaults());
}

TEST_F(SettingsFile, FirstSaveWritesExactlyTheRecord)
{
    ASSERT_TRUE(WriteSettingsFile(Defaults()));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(Defaults()));
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}

TEST_F(SettingsFile, SaveReplacesTheOldFileAndKeepsItsPermissions)
{
    WriteBytes(SETTINGS_FILE_NAME, Bytes(124, 0x55));
    ASSERT_EQ(chmod(SETTINGS_FILE_NAME, 0640), 0);

    ASSERT_TRUE(WriteSettingsFile(Custom()));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(Custom()));
    struct stat status
    {
    };
    ASSERT_EQ(stat(SETTINGS_FILE_NAME, &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}

// Makes the next save fail; returns what undoes it.
using Arrangement = std::function<std::function<void()>()>;

std::function<void()> MakeFileReadOnly()
{
    chmod(SETTINGS_FILE_NAME, 0444);
    return [] {};
}

// Another open file description holds the lock, as another program would.
std::function<void()> LockFile()
{
    const int fd = open(SETTINGS_FILE_NAME, O_RDONLY | O_CLOEXEC);
    flock(fd, LOCK_EX);
    return [fd] { close(fd); };
}

std::function<void()> ReplaceFileWithDirectory()
{
    std::filesystem::remove(SETTINGS_FILE_NAME);
    std::filesystem::create_directory(SETTINGS_FILE_NAME);
    return [] {};
}

std::function<void()> MakeDirectoryReadOnly()
{
    chmod(".", 0555);
    return [] { chmod(".", 0755); };
}

// A file size limit below the record makes the write stop part way, as a full disk would.
std::function<void()> LimitFileSize()
{
    rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 50;
    setrlimit(RLIMIT_FSIZE, &limited);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    return [previous, previousHandler] {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    };
}

struct UnwritableCase
{
    const char *name;
    Arrangement arrange;
};

const UnwritableCase UNWRITABLE_CASES[] = {
    {"read-only file", MakeFileReadOnly},
    {"locked file", LockFile},
    {"directory in the way", ReplaceFileWithDirectory},
    {"failed write", LimitFileSize},
};

// Saves over the default record after arrange; the save fails, the old entry stays as it was,
// and no temporary file is left.
void ExpectSaveRefused(const Arrangement &arrange)
{
    std::filesystem::remove_all(SETTINGS_FILE_NAME);
    WriteBytes(SETTINGS_FILE_NAME, Encoded(Defaults()));

    const auto undo = arrange();
    const bool isFile = std::filesystem::is_regular_file(SETTINGS_FILE_NAME);
    const Bytes before = isFile ? ReadBytes(SETTINGS_FILE_NAME) : Bytes {};
    const bool saved = WriteSettingsFile(Custom());
    undo();

    EXPECT_FALSE(saved);
    EXPECT_EQ(std::filesystem::is_regular_file(SETTINGS_FILE_NAME), isFile);
    EXPECT_EQ(isFile ? ReadBytes(SETTINGS_FILE_NAME) : Bytes {}, before);
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}

TEST_F(SettingsFile, UnwritableTargetIsLeftAsItWasWithoutTemporaryFile)
{
    for (const UnwritableCase &row : UNWRITABLE_CASES) {
        SCOPED_TRACE(row.name);
        ExpectSaveRefused(row.arrange);
    }
}

TEST_F(SettingsFile, ReadOnlyDirectoryIsLeftAsItWas)
{
    const auto check = [] { ExpectSaveRefused(MakeDirectoryReadOnly); };
    EXPECT_TRUE(PassesInUnprivilegedChild(check));
}

} // namespace
