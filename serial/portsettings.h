#pragma once

#include <cstdint>

// The line settings of the serial port: for each of six choices the value that configures the
// port and the text of the chosen list entry. One process-wide instance, used on the main
// window's thread only.

inline constexpr int SETTING_TEXT_SIZE = 16;

using SettingText = char[SETTING_TEXT_SIZE];

struct PortSettings
{
    std::uint32_t portIndex;
    std::uint32_t baudRate;
    std::uint8_t byteSize;
    std::uint8_t parity;
    std::uint8_t stopBits;
    std::uint32_t outX;
    std::uint32_t inX;
    std::uint32_t outxCtsFlow;
    std::uint32_t outxDsrFlow;
    SettingText portText;
    SettingText speedText;
    SettingText dataBitsText;
    SettingText parityText;
    SettingText stopBitsText;
    SettingText flowText;

    bool operator==(const PortSettings &) const = default;
};

// The six texts in the order port, speed, data bits, parity, stop bits, flow control.
inline constexpr SettingText PortSettings::*PORT_SETTING_TEXTS[] = {
    &PortSettings::portText,   &PortSettings::speedText,    &PortSettings::dataBitsText,
    &PortSettings::parityText, &PortSettings::stopBitsText, &PortSettings::flowText,
};

extern PortSettings g_portSettings;
extern std::int32_t g_settingsLoaded;
extern std::int32_t g_settingsFileRead;

// Sets every byte of the six texts to zero.
void EmptyPortSettingTexts(PortSettings &settings);

// Reads rs232c.ini from the working directory, or takes the defaults when there is no readable,
// well-formed file; g_settingsFileRead then tells which. Shows no message.
void LoadPortSettings();
