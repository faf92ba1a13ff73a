#include "portchoicetables.h"
#include "portsettings.h"
#include "settingsfilerecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutText(Bytes &bytes, std::size_t offset, const std::string &text)
{
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

std::uint32_t U32At(const SettingsFileRecord &record, std::size_t offset)
{
    return record[offset] | record[offset + 1] << 8 | record[offset + 2] << 16
        | static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

std::string TextField(const SettingsFileRecord &record, std::size_t offset)
{
    return std::string(record.begin() + static_cast<std::ptrdiff_t>(offset),
                       record.begin() + static_cast<std::ptrdiff_t>(offset) + SETTING_TEXT_SIZE);
}

// A text padded with zero bytes to the end of its field, as the file holds it.
std::string Field(const std::string &text)
{
    return text + std::string(SETTING_TEXT_SIZE - text.size(), '\0');
}

Bytes Encoded(const PortSettings &settings)
{
    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    return {record.begin(), record.end()};
}

PortSettings Defaults()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

constexpr std::size_t TEXT_OFFSETS[] = {28, 44, 60, 76, 92, 108};

TEST(SettingsFileRecord, DefaultsEncodeToTheBytesOfAFirstSave)
{
    Bytes expected(124, 0);
    expected[4] = 0x80;
    expected[5] = 0x25;
    expected[8] = 0x08;
    PutText(expected, 28, "COM1");
    PutText(expected, 44, "  9600");
    PutText(expected, 60, "8");
    PutText(expected, 76, "No");
    PutText(expected, 92, "1");
    PutText(expected, 108, "No");

    EXPECT_EQ(Encoded(Defaults()), expected);
}

TEST(SettingsFileRecord, NumbersAreLittleEndianAtTheirOffsets)
{
    PortSettings settings = Defaults();
    settings.portIndex = 0x04030201;
    settings.baudRate = 0x08070605;
    settings.byteSize = 0x09;
    settings.parity = 0x0A;
    settings.stopBits = 0x0B;
    settings.outX = 0x0F0E0D0C;
    settings.inX = 0x13121110;
    settings.outxCtsFlow = 0x17161514;
    settings.outxDsrFlow = 0x1B1A1918;

    const Bytes expected
        = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x00, 0x0C, 0x0D,
           0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
    const Bytes encoded = Encoded(settings);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 28), expected);
}

TEST(SettingsFileRecord, SevenDigitSpeedIsStoredWithoutBlank)
{
    PortSettings settings = Defaults();
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[21]);

    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    EXPECT_EQ(U32At(record, 4), 1000000u);
    EXPECT_EQ(TextField(record, 44), Field("1000000"));
}

struct FlowCase
{
    const char *text;
    std::uint32_t outX, inX, outxCtsFlow, outxDsrFlow;
};

const FlowCase FLOW_CASES[] = {
    {"No", 0, 0, 0, 0},
    {"Hardware", 0, 0, 1, 1},
    {"Xon/Xoff", 1, 1, 0, 0},
};

TEST(SettingsFileRecord, FlowChoiceStoresItsFourFlags)
{
    for (const FlowCase &row : FLOW_CASES) {
        SCOPED_TRACE(row.text);
        PortSettings settings = Defaults();
        for (const FlowRow &flow : PORT_CHOICE_TABLES.flow) {
            if (std::string(flow.text) == row.text)
                StoreChoice(settings, flow);
        }
        const SettingsFileRecord record = EncodeSettingsRecord(settings);
        EXPECT_EQ(U32At(record, 12), row.outX);
        EXPECT_EQ(U32At(record, 16), row.inX);
        EXPECT_EQ(U32At(record, 20), row.outxCtsFlow);
        EXPECT_EQ(U32At(record, 24), row.outxDsrFlow);
        EXPECT_EQ(TextField(record, 108), Field(row.text));
    }
}

TEST(SettingsFileRecord, DecodesWhatItEncodes)
{
    PortSettings settings = Defaults();
    StoreChoice(settings, PORT_CHOICE_TABLES.port[15]);
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[24]);
    StoreChoice(settings, PORT_CHOICE_TABLES.dataBits[0]);
    StoreChoice(settings, PORT_CHOICE_TABLES.parity[2]);
    StoreChoice(settings, PORT_CHOICE_TABLES.stopBits[1]);
    StoreChoice(settings, PORT_CHOICE_TABLES.flow[1]);
    const SettingsFileRecord record = EncodeSettingsRecord(settings);

    PortSettings decoded {};
    ASSERT_TRUE(DecodeSettingsRecord(record.data(), record.size(), decoded));
    EXPECT_EQ(decoded, settings);
}

TEST(SettingsFileRecord, DecodesOnlyTheFirst124BytesOfALongerInput)
{
    Bytes bytes = Encoded(Defaults());
    bytes.resize(300, 0xFF);

    PortSettings decoded {};
    ASSERT_TRUE(DecodeSettingsRecord(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(decoded, Defaults());
}

// Written by hand or by another program: the decoded texts end at their NUL, and the reserved
// byte is ignored.
TEST(SettingsFileRecord, TakesTextsUpToTheirNulAndIgnoresTheReservedByte)
{
    Bytes bytes = Encoded(Defaults());
    bytes[11] = 0x5A;
    PutText(bytes, 28, "COM2");
    bytes[28 + 10] = 'Z';
    PutText(bytes, 44, "123456789012345");

    PortSettings decoded {};
    ASSERT_TRUE(DecodeSettingsRecord(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(std::string(decoded.portText, SETTING_TEXT_SIZE), Field("COM2"));
    EXPECT_EQ(std::string(decoded.speedText), "123456789012345");
}

TEST(SettingsFileRecord, RefusesAShortRecordWithoutTouchingTheSettings)
{
    const Bytes bytes = Encoded(Defaults());
    for (const std::size_t size : {std::size_t {0}, std::size_t {1}, std::size_t {123}}) {
        SCOPED_TRACE(size);
        PortSettings settings {};
        EXPECT_FALSE(DecodeSettingsRecord(bytes.data(), size, settings));
        EXPECT_EQ(settings, PortSettings {});
    }
}

TEST(SettingsFileRecord, RefusesATextFieldWithoutNul)
{
    for (const std::size_t offset : TEXT_OFFSETS) {
        SCOPED_TRACE(offset);
        Bytes bytes = Encoded(Defaults());
        std::memset(bytes.data() + offset, 'A', SETTING_TEXT_SIZE);
        PortSettings settings {};
        EXPECT_FALSE(DecodeSettingsRecord(bytes.data(), bytes.size(), settings));
        EXPECT_EQ(settings, PortSettings {});
    }
}

// A text that fills its whole field never leaves the program without its NUL.
TEST(SettingsFileRecord, EncodingKeepsTheNulOfAFullText)
{
    PortSettings settings = Defaults();
    std::memset(settings.flowText, 'F', SETTING_TEXT_SIZE);

    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    EXPECT_EQ(TextField(record, 108), std::string(15, 'F') + '\0');
    PortSettings decoded {};
    EXPECT_TRUE(DecodeSettingsRecord(record.data(), record.size(), decoded));
}

} // namespace
