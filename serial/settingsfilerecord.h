#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct PortSettings;

// The whole content of rs232c.ini: 124 bytes, little-endian, no header. Encoded and decoded byte
// by byte, so the file does not depend on how the compiler lays out PortSettings.

inline constexpr std::size_t SETTINGS_RECORD_SIZE = 124;

using SettingsFileRecord = std::array<std::uint8_t, SETTINGS_RECORD_SIZE>;

SettingsFileRecord EncodeSettingsRecord(const PortSettings &settings);

// Decodes the first SETTINGS_RECORD_SIZE bytes. Returns false, leaving settings untouched, for
// fewer bytes or a text field without its NUL; such a record was not written by this program.
bool DecodeSettingsRecord(const std::uint8_t *bytes, std::size_t size, PortSettings &settings);
