// Stand-ins for the serial link until it lands: no port ever opens, settings are the defaults,
// and nothing is read or written.
#include "portconfig.h"
#include "portlayer.h"
#include "portsettings.h"
#include "reader.h"

#include <cstring>

PortSettings g_portSettings {};
std::int32_t g_settingsLoaded = 0;
std::int32_t g_settingsFileRead = 0;
std::atomic<int> com_handle {INVALID_PORT_HANDLE};
const ReceiveMessageIds g_receiveMessageIds = {1025, 1026};
std::atomic<std::int32_t> g_readerRun {0};
std::atomic<QObject *> g_hwndMain {nullptr};

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
bool OpenPort(std::uint32_t)
{
    return false;
}
bool ApplyPortSettings(Dcb &, CommTimeouts &)
{
    return false;
}
bool ConfigurePort(const Dcb &, const CommTimeouts &)
{
    return false;
}
void RaiseModemLines() { }
void ClosePort() { }
void StartReader(QObject *mainWindow)
{
    g_readerRun = 1;
    g_hwndMain = mainWindow;
}
void StopReader()
{
    g_readerRun = 0;
}
