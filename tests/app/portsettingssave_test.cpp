#include "portchoicetables.h"
#include "portsettings.h"
#include "portsettingsdlg.h"
#include "settingsfile.h"
#include "tempworkdir.h"

#include "messagebox.h"
#include "texts.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class SavePortSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetDefaultPortSettings(g_portSettings);
        SetMessageBoxHandler([this](const QString &text, MessageButtons, const QString &) {
            m_shown << text;
            return MessageAnswer::Ok;
        });
    }
    void TearDown() override { SetMessageBoxHandler({}); }

    CTempWorkDir m_workDir;
    QStringList m_shown;
};

TEST_F(SavePortSettingsTest, ReadOnlyFileGivesTheMessageOnceAndStaysAsItWas)
{
    const std::vector<unsigned char> old(124, 0x33);
    WriteBytes(SETTINGS_FILE_NAME, old);
    chmod(SETTINGS_FILE_NAME, 0444);

    SavePortSettings();
    EXPECT_EQ(m_shown, QStringList {QString::fromUtf8(Strings::SETTINGS_FILE_UNWRITABLE)});
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), old);
}

TEST_F(SavePortSettingsTest, SuccessfulSaveShowsNothing)
{
    SavePortSettings();
    EXPECT_TRUE(m_shown.isEmpty());
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME).size(), 124u);
}

} // namespace
