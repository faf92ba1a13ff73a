#pragma once

#include "portchoicetables.h"
#include "portsettings.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

// What the tests of rs232c.ini share on both systems: the records they save and load, and the
// check that a save the system refuses leaves everything as it was.

using Bytes = std::vector<unsigned char>;

inline PortSettings Defaults()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

inline PortSettings Custom()
{
    PortSettings settings = Defaults();
    StoreChoice(settings, PORT_CHOICE_TABLES.port[4]);
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[14]);
    StoreChoice(settings, PORT_CHOICE_TABLES.parity[1]);
    StoreChoice(settings, PORT_CHOICE_TABLES.flow[2]);
    return settings;
}

inline Bytes Encoded(const PortSettings &settings)
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

// Makes the next save fail; returns what undoes it.
using Arrangement = std::function<std::function<void()>()>;

struct UnwritableCase
{
    const char *name;
    Arrangement arrange;
};

// What only this system can arrange, beside the cases that both can.
extern const std::vector<UnwritableCase> SYSTEM_UNWRITABLE_CASES;

// Saves over the default record after arrange; the save fails, the old entry stays as it was,
// and no temporary file is left.
inline void ExpectSaveRefused(const Arrangement &arrange)
{
    std::filesystem::remove_all(SETTINGS_FILE_NAME);
    WriteBytes(SETTINGS_FILE_NAME, Encoded(Defaults()));

    const auto undo = arrange();
    const bool isFile = std::filesystem::is_regular_file(SETTINGS_FILE_NAME);
    const bool saved = WriteSettingsFile(Custom());
    undo();

    EXPECT_FALSE(saved);
    EXPECT_EQ(std::filesystem::is_regular_file(SETTINGS_FILE_NAME), isFile);
    if (isFile) {
        EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(Defaults()));
    }
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}
