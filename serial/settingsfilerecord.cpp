#include "settingsfilerecord.h"

#include "portsettings.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t PORT_INDEX_OFFSET = 0;
constexpr std::size_t BAUD_RATE_OFFSET = 4;
constexpr std::size_t BYTE_SIZE_OFFSET = 8;
constexpr std::size_t PARITY_OFFSET = 9;
constexpr std::size_t STOP_BITS_OFFSET = 10;
constexpr std::size_t OUT_X_OFFSET = 12;
constexpr std::size_t IN_X_OFFSET = 16;
constexpr std::size_t OUTX_CTS_FLOW_OFFSET = 20;
constexpr std::size_t OUTX_DSR_FLOW_OFFSET = 24;
// The six texts follow one another in the order of PORT_SETTING_TEXTS.
constexpr std::size_t FIRST_TEXT_OFFSET = 28;

static_assert(FIRST_TEXT_OFFSET + std::size(PORT_SETTING_TEXTS) * SETTING_TEXT_SIZE
              == SETTINGS_RECORD_SIZE);

constexpr std::size_t TextOffset(std::size_t textNumber)
{
    return FIRST_TEXT_OFFSET + textNumber * SETTING_TEXT_SIZE;
}

void PutU32(SettingsFileRecord &record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t *bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

// Copies the text up to its NUL; the rest of the field stays zero. A text that fills its field
// loses its last character, so that the record always holds the NUL.
void PutText(SettingsFileRecord &record, std::size_t offset, const SettingText &text)
{
    const std::size_t length = strnlen(text, SETTING_TEXT_SIZE - 1);
    std::copy_n(text, length, record.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool FieldHasNul(const std::uint8_t *bytes, std::size_t offset)
{
    return std::memchr(bytes + offset, 0, SETTING_TEXT_SIZE) != nullptr;
}

// Takes the text up to and including its NUL and zero-fills the rest of the field.
void GetText(const std::uint8_t *bytes, std::size_t offset, SettingText &text)
{
    std::memset(text, 0, SETTING_TEXT_SIZE);
    const char *field = reinterpret_cast<const char *>(bytes + offset);
    std::memcpy(text, field, strnlen(field, SETTING_TEXT_SIZE));
}

} // namespace

SettingsFileRecord EncodeSettingsRecord(const PortSettings &settings)
{
    SettingsFileRecord record {};
    PutU32(record, PORT_INDEX_OFFSET, settings.portIndex);
    PutU32(record, BAUD_RATE_OFFSET, settings.baudRate);
    record[BYTE_SIZE_OFFSET] = settings.byteSize;
    record[PARITY_OFFSET] = settings.parity;
    record[STOP_BITS_OFFSET] = settings.stopBits;
    PutU32(record, OUT_X_OFFSET, settings.outX);
    PutU32(record, IN_X_OFFSET, settings.inX);
    PutU32(record, OUTX_CTS_FLOW_OFFSET, settings.outxCtsFlow);
    PutU32(record, OUTX_DSR_FLOW_OFFSET, settings.outxDsrFlow);
    for (std::size_t i = 0; i < std::size(PORT_SETTING_TEXTS); ++i)
        PutText(record, TextOffset(i), settings.*PORT_SETTING_TEXTS[i]);
    return record;
}

bool DecodeSettingsRecord(const std::uint8_t *bytes, std::size_t size, PortSettings &settings)
{
    if (size < SETTINGS_RECORD_SIZE)
        return false;
    for (std::size_t i = 0; i < std::size(PORT_SETTING_TEXTS); ++i) {
        if (!FieldHasNul(bytes, TextOffset(i)))
            return false;
    }
    settings.portIndex = GetU32(bytes, PORT_INDEX_OFFSET);
    settings.baudRate = GetU32(bytes, BAUD_RATE_OFFSET);
    settings.byteSize = bytes[BYTE_SIZE_OFFSET];
    settings.parity = bytes[PARITY_OFFSET];
    settings.stopBits = bytes[STOP_BITS_OFFSET];
    settings.outX = GetU32(bytes, OUT_X_OFFSET);
    settings.inX = GetU32(bytes, IN_X_OFFSET);
    settings.outxCtsFlow = GetU32(bytes, OUTX_CTS_FLOW_OFFSET);
    settings.outxDsrFlow = GetU32(bytes, OUTX_DSR_FLOW_OFFSET);
    for (std::size_t i = 0; i < std::size(PORT_SETTING_TEXTS); ++i)
        GetText(bytes, TextOffset(i), settings.*PORT_SETTING_TEXTS[i]);
    return true;
}
