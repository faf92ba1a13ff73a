// Stand-in for the settings and their file until they land: the settings are left as they are
// and nothing is written.
#include "portsettings.h"

#include <cstring>

PortSettings g_portSettings {};
std::int32_t g_settingsLoaded = 0;
std::int32_t g_settingsFileRead = 0;

void EmptyPortSettingTexts(PortSettings &settings)
{
    std::memset(settings.portText, 0, sizeof settings.portText);
    std::memset(settings.speedText, 0, sizeof settings.speedText);
    std::memset(settings.dataBitsText, 0, sizeof settings.dataBitsText);
    std::memset(settings.parityText, 0, sizeof settings.parityText);
    std::memset(settings.stopBitsText, 0, sizeof settings.stopBitsText);
    std::memset(settings.flowText, 0, sizeof settings.flowText);
}

void LoadPortSettings() { }
void SavePortSettings() { }
