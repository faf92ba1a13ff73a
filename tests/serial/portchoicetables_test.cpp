#include "portchoicetables.h"
#include "portsettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(PortChoiceTables, PortRowNNamesComNPlusOne)
{
    for (std::uint32_t n = 0; n < PORT_CHOICE_TABLES.port.size(); ++n) {
        EXPECT_EQ(PORT_CHOICE_TABLES.port[n].text, "COM" + std::to_string(n + 1));
        EXPECT_EQ(PORT_CHOICE_TABLES.port[n].portIndex, n);
    }
}

// Up to six digits right-aligned in six characters, seven digits without blank: the text always
// spells the speed the row sets.
TEST(PortChoiceTables, SpeedTextsSpellTheirSpeedRightAligned)
{
    for (const SpeedRow &row : PORT_CHOICE_TABLES.speed) {
        std::string digits = std::to_string(row.baudRate);
        if (digits.size() < 6)
            digits.insert(0, 6 - digits.size(), ' ');
        EXPECT_EQ(row.text, digits);
    }
}

TEST(PortChoiceTables, StoringAChoiceClearsTheRestOfItsText)
{
    PortSettings settings {};
    std::memset(settings.parityText, 'x', SETTING_TEXT_SIZE - 1);

    StoreChoice(settings, PORT_CHOICE_TABLES.parity[2]);
    EXPECT_EQ(settings.parity, 2);
    EXPECT_EQ(std::string(settings.parityText, SETTING_TEXT_SIZE),
              "Even" + std::string(SETTING_TEXT_SIZE - 4, '\0'));
}

TEST(PortChoiceTables, NoSelectionOrAPositionPastTheTableChangesNothing)
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    const PortSettings before = settings;

    for (const int position : {-1, 3, 1000}) {
        SCOPED_TRACE(position);
        EXPECT_FALSE(StoreChoiceAt(settings, PORT_CHOICE_TABLES.stopBits, position));
        EXPECT_EQ(settings, before);
    }
    EXPECT_TRUE(StoreChoiceAt(settings, PORT_CHOICE_TABLES.stopBits, 2));
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_STREQ(settings.stopBitsText, "2");
}

} // namespace
