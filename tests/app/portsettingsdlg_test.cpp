#include "portchoicetables.h"
#include "portsettings.h"
#include "portsettingsdlg.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"
#include "tempworkdir.h"

#include "messagebox.h"
#include "modalrun.h"
#include "dialogtemplate.h"
#include "templates.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

namespace {

QComboBox *List(const QDialog &dialog, int id)
{
    return FindControlAs<QComboBox>(dialog, id);
}

QStringList Entries(const QComboBox &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.itemText(i);
    return texts;
}

void SendKey(QWidget &target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&target, &release);
}

// Picks an entry the way a user does with the arrow keys on the closed list.
void Pick(QComboBox &list, const QString &text)
{
    const int target = list.findText(text, Qt::MatchExactly);
    ASSERT_GE(target, 0) << text.toStdString();
    for (int steps = 0; steps < list.count() && list.currentIndex() != target; ++steps)
        SendKey(list, list.currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(list.currentIndex(), target);
}

void WriteSettings(const PortSettings &settings)
{
    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    WriteBytes(SETTINGS_FILE_NAME, {record.begin(), record.end()});
}

PortSettings Defaults()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

// Each test starts as the program does: nothing loaded, texts empty, no rs232c.ini.
class PortSettingsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_portSettings = {};
        g_settingsLoaded = 0;
        g_settingsFileRead = 0;
    }
    void TearDown() override { SetModalRunner({}); }

    // Runs the dialog as the main window does; act works on the shown dialog, which is then
    // closed with the close box unless act ended it. Returns how it ended.
    int Run(const std::function<void(QDialog &)> &act)
    {
        int result = -1;
        SetModalRunner([&](QDialog &dialog) {
            dialog.show();
            act(dialog);
            if (dialog.isVisible())
                dialog.close();
            result = dialog.result();
            return result;
        });
        RunPortSettingsDialog();
        return result;
    }

    CTempWorkDir m_workDir;
};

struct ListCase
{
    const char *name;
    int id;
    QStringList entries;
    const char *preselected;
};

const ListCase LIST_CASES[] = {
    {"port",
     IDC_COMBO_PORT,
     {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10", "COM11",
      "COM12", "COM13", "COM14", "COM15", "COM16"},
     "COM1"},
    {"speed",
     IDC_COMBO_SPEED,
     {"   110", "   300", "   600", "  1200",  "  1800",  "  2400",  "  4800", "  7200", "  9600",
      " 14400", " 19200", " 38400", " 57600",  " 76800",  "115200",  "128000", "153600", "230400",
      "307200", "460800", "921600", "1000000", "1500000", "2000000", "3000000"},
     "  9600"},
    {"data bits", IDC_COMBO_DATA_BITS, {"5", "6", "7", "8"}, "8"},
    {"parity", IDC_COMBO_PARITY, {"No", "Odd", "Even"}, "No"},
    {"stop bits", IDC_COMBO_STOP_BITS, {"1", "1.5", "2"}, "1"},
    {"flow control", IDC_COMBO_FLOW, {"No", "Hardware", "Xon/Xoff"}, "No"},
};

TEST_F(PortSettingsDialog, FirstStartWithoutFileListsEveryChoiceInOrderAndPreselectsTheDefaults)
{
    Run([](QDialog &dialog) {
        for (const ListCase &row : LIST_CASES) {
            SCOPED_TRACE(row.name);
            const QComboBox &list = *List(dialog, row.id);
            EXPECT_EQ(Entries(list), row.entries);
            EXPECT_EQ(list.currentText(), row.preselected);
        }
    });
    EXPECT_EQ(g_settingsFileRead, 0);
    EXPECT_EQ(g_portSettings, Defaults());
}

struct StoredTextCase
{
    const char *name;
    SettingText PortSettings::*field;
    const char *stored;
    int id;
    int selected;
};

const StoredTextCase STORED_TEXT_CASES[] = {
    {"speed with its blanks", &PortSettings::speedText, "  9600", IDC_COMBO_SPEED, 8},
    {"speed without blanks", &PortSettings::speedText, "9600", IDC_COMBO_SPEED, -1},
    {"parity in small letters", &PortSettings::parityText, "no", IDC_COMBO_PARITY, 0},
    {"parity in capitals", &PortSettings::parityText, "EVEN", IDC_COMBO_PARITY, 2},
    {"stop bits 1, not 1.5", &PortSettings::stopBitsText, "1", IDC_COMBO_STOP_BITS, 0},
    {"stop bits 1.5", &PortSettings::stopBitsText, "1.5", IDC_COMBO_STOP_BITS, 1},
    {"COM1, not COM10", &PortSettings::portText, "COM1", IDC_COMBO_PORT, 0},
    {"COM10", &PortSettings::portText, "com10", IDC_COMBO_PORT, 9},
    {"beginning of a flow entry", &PortSettings::flowText, "x", IDC_COMBO_FLOW, 2},
    {"data bits of no entry", &PortSettings::dataBitsText, "9", IDC_COMBO_DATA_BITS, -1},
};

// The texts of a hand-edited file are matched as stored; the numbers stay in force either way.
TEST_F(PortSettingsDialog, StoredTextSelectsTheFirstEntryThatBeginsWithIt)
{
    for (const StoredTextCase &row : STORED_TEXT_CASES) {
        SCOPED_TRACE(row.name);
        PortSettings stored = Defaults();
        std::memset(stored.*row.field, 0, SETTING_TEXT_SIZE);
        std::strcpy(stored.*row.field, row.stored);
        WriteSettings(stored);
        g_settingsLoaded = 0;

        int selected = -2;
        Run([&](QDialog &dialog) { selected = List(dialog, row.id)->currentIndex(); });
        EXPECT_EQ(selected, row.selected);
        EXPECT_EQ(g_settingsFileRead, 1);
        EXPECT_EQ(g_portSettings, stored);
    }
}

TEST_F(PortSettingsDialog, PickStoresNumbersAndTextOfTheRowAtOnce)
{
    Run([](QDialog &dialog) {
        QComboBox &flow = *List(dialog, IDC_COMBO_FLOW);
        Pick(flow, "Hardware");
        EXPECT_EQ(g_portSettings.outX, 0u);
        EXPECT_EQ(g_portSettings.inX, 0u);
        EXPECT_EQ(g_portSettings.outxCtsFlow, 1u);
        EXPECT_EQ(g_portSettings.outxDsrFlow, 1u);
        EXPECT_STREQ(g_portSettings.flowText, "Hardware");
        Pick(flow, "No");
        Pick(*List(dialog, IDC_COMBO_SPEED), "1000000");
        Pick(*List(dialog, IDC_COMBO_DATA_BITS), "7");
        Pick(*List(dialog, IDC_COMBO_PARITY), "Odd");
        Pick(*List(dialog, IDC_COMBO_STOP_BITS), "2");
    });
    PortSettings expected = Defaults();
    expected.baudRate = 1000000;
    std::strcpy(expected.speedText, "1000000");
    expected.byteSize = 7;
    std::strcpy(expected.dataBitsText, "7");
    expected.parity = 1;
    std::strcpy(expected.parityText, "Odd");
    expected.stopBits = 2;
    std::strcpy(expected.stopBitsText, "2");
    EXPECT_EQ(g_portSettings, expected);
}

TEST_F(PortSettingsDialog, CloseBoxKeepsThePicksJustAsOkDoes)
{
    const int closed = Run([](QDialog &dialog) { Pick(*List(dialog, IDC_COMBO_PORT), "COM5"); });
    EXPECT_EQ(closed, QDialog::Rejected);
    EXPECT_EQ(g_portSettings.portIndex, 4u);
    EXPECT_STREQ(g_portSettings.portText, "COM5");

    g_settingsLoaded = 1;
    const int confirmed = Run([](QDialog &dialog) {
        Pick(*List(dialog, IDC_COMBO_PORT), "COM6");
        FindControlAs<QPushButton>(dialog, IDC_SETTINGS_OK)->click();
    });
    EXPECT_EQ(confirmed, QDialog::Accepted);
    EXPECT_EQ(g_portSettings.portIndex, 5u);
    EXPECT_STREQ(g_portSettings.portText, "COM6");
}

TEST_F(PortSettingsDialog, EnterAndEscapeLeaveItOpenWhereverTheyArePressed)
{
    int beeps = 0;
    SetBeepHandler([&beeps] { ++beeps; });
    int presses = 0;
    Run([&presses](QDialog &dialog) {
        int finished = 0;
        // The counter lives only as long as this check; so does the connection, which the
        // closing of the dialog after the check would otherwise still reach.
        QObject connection;
        QObject::connect(&dialog, &QDialog::finished, &connection, [&finished] { ++finished; });
        QList<QWidget *> targets {&dialog, FindControl(dialog, IDC_SETTINGS_OK)};
        for (const ListCase &row : LIST_CASES)
            targets << List(dialog, row.id);
        for (QWidget *target : targets) {
            for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                SCOPED_TRACE(target->objectName().toStdString() + " key " + std::to_string(key));
                SendKey(*target, key);
                ++presses;
                EXPECT_TRUE(dialog.isVisible());
            }
        }
        EXPECT_EQ(finished, 0);
    });
    SetBeepHandler({});
    EXPECT_EQ(beeps, presses);
}

TEST_F(PortSettingsDialog, LaterRunShowsTheSettingsOfTheMomentWithoutRereadingTheFile)
{
    PortSettings stored = Defaults();
    StoreChoice(stored, PORT_CHOICE_TABLES.port[2]);
    WriteSettings(stored);
    QString firstShown;
    Run([&](QDialog &dialog) {
        firstShown = List(dialog, IDC_COMBO_PORT)->currentText();
        Pick(*List(dialog, IDC_COMBO_PORT), "COM5");
    });
    EXPECT_EQ(firstShown, "COM3");
    g_settingsLoaded = 1;

    StoreChoice(stored, PORT_CHOICE_TABLES.port[6]);
    WriteSettings(stored);
    QString secondShown;
    Run([&](QDialog &dialog) { secondShown = List(dialog, IDC_COMBO_PORT)->currentText(); });
    EXPECT_EQ(secondShown, "COM5");
    EXPECT_EQ(g_portSettings.portIndex, 4u);
}

TEST_F(PortSettingsDialog, PortEntriesTellWhichDeviceTheyReach)
{
    std::filesystem::create_symlink("/dev/null", "COM3");
    Run([](QDialog &dialog) {
        const QComboBox &ports = *List(dialog, IDC_COMBO_PORT);
        EXPECT_EQ(ports.itemData(2, Qt::ToolTipRole).toString(),
                  "作業フォルダのリンク — /dev/null");
        EXPECT_EQ(ports.itemText(2), "COM3");
    });
}

} // namespace
