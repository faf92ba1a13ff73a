// Stand-in for the port layer and the reader until they land: no port ever opens and nothing is
// read.
#include "portconfig.h"
#include "portlayer.h"
#include "reader.h"

std::atomic<int> com_handle {INVALID_PORT_HANDLE};
const ReceiveMessageIds g_receiveMessageIds = {1025, 1026};
std::atomic<std::int32_t> g_readerRun {0};
std::atomic<QObject *> g_hwndMain {nullptr};

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
