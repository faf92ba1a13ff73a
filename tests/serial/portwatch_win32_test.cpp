// The watch for ports coming back, on Windows. Wine notifies nothing of the ports it maps, so the
// tests send the watch's window (message-only under Wine without a display) broadcasts built by
// hand, and wait on the event the watch gives.
#include "portbroadcast.h"
#include "portwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

using namespace std::chrono_literals;

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}, the COM port interface.
const GUID COM_PORT_INTERFACE {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

// Generous: the watch's thread answers at once, but a loaded machine may be slow to run it.
constexpr DWORD SIGNAL_BOUND_MS = 30000;

// A broadcast as the system lays it out: the header, a reserved DWORD and the port's name; its
// size says `size` bytes, the whole of it when zero.
std::vector<DWORD> PortBroadcast(std::wstring_view name, DWORD size = 0)
{
    std::vector<DWORD> words(3 + name.size() + 1);
    auto *port = reinterpret_cast<DEV_BROADCAST_PORT_W *>(words.data());
    port->dbcp_devicetype = DBT_DEVTYP_PORT;
    std::memcpy(port->dbcp_name, name.data(), name.size() * sizeof(wchar_t));
    port->dbcp_size = size ? size : 12 + (name.size() + 1) * sizeof(wchar_t);
    return words;
}

// Another device's broadcast, whole: a device interface of the class given, or a volume.
std::vector<DWORD> DeviceBroadcast(DWORD type, const GUID &interfaceClass = {})
{
    std::vector<DWORD> words(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) / sizeof(DWORD));
    auto *device = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(words.data());
    device->dbcc_size = sizeof *device;
    device->dbcc_devicetype = type;
    device->dbcc_classguid = interfaceClass;
    return words;
}

TEST(PortBroadcast, NamesCom1ToCom16AndNothingElse)
{
    struct Case
    {
        const char *what;
        std::vector<DWORD> broadcast;
        std::optional<std::string> portName;
    } cases[] = {
        {"a port", PortBroadcast(L"COM3"), "COM3"},
        {"the last one listed", PortBroadcast(L"COM16"), "COM16"},
        {"written small", PortBroadcast(L"com12"), "COM12"},
        {"beyond the list", PortBroadcast(L"COM17"), std::nullopt},
        {"no COM port", PortBroadcast(L"LPT1"), std::nullopt},
        {"no number", PortBroadcast(L"COM"), std::nullopt},
        {"the name cut by the size", PortBroadcast(L"COM3", 12 + 4 * sizeof(wchar_t)),
         std::nullopt},
        {"no room for a name", PortBroadcast(L"COM3", 12), std::nullopt},
        {"shorter than a header", PortBroadcast(L"COM3", 8), std::nullopt},
        {"the COM port interface", DeviceBroadcast(DBT_DEVTYP_DEVICEINTERFACE, COM_PORT_INTERFACE),
         ""},
        {"another interface", DeviceBroadcast(DBT_DEVTYP_DEVICEINTERFACE), std::nullopt},
        {"a volume", DeviceBroadcast(DBT_DEVTYP_VOLUME), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            BroadcastPortName(reinterpret_cast<const DEV_BROADCAST_HDR *>(c.broadcast.data())),
            c.portName)
            << c.what;
    EXPECT_EQ(BroadcastPortName(nullptr), std::nullopt);
}

bool Signalled(const CPortWatch &watch, DWORD bound)
{
    return WaitForSingleObject(watch.Descriptor(), bound) == WAIT_OBJECT_0;
}

void Broadcast(WPARAM event, const std::vector<DWORD> &broadcast)
{
    HWND window = FindWindowExW(nullptr, nullptr, L"OrvantaPortWatch", nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(broadcast.data()));
}

TEST(PortWatch, TellsPortsThatGoAndArriveAndNothingElse)
{
    {
        CPortWatch watch(PortWatchSetup {1h});
        ASSERT_NE(watch.Descriptor(), NO_WATCH_SIGNAL);
        EXPECT_FALSE(Signalled(watch, 0));

        struct Step
        {
            const char *what;
            WPARAM event;
            std::vector<DWORD> broadcast;
            std::vector<PortChange> named;
        } steps[] = {
            {"unplugged", DBT_DEVICEREMOVECOMPLETE, PortBroadcast(L"COM5"), {{"COM5", false}}},
            {"plugged in again", DBT_DEVICEARRIVAL, PortBroadcast(L"COM5"), {{"COM5", true}}},
            {"a driver that names none",
             DBT_DEVICEARRIVAL,
             DeviceBroadcast(DBT_DEVTYP_DEVICEINTERFACE, COM_PORT_INTERFACE),
             {}},
        };
        for (const Step &step : steps) {
            Broadcast(step.event, step.broadcast);
            ASSERT_TRUE(Signalled(watch, SIGNAL_BOUND_MS)) << step.what;
            std::vector<PortChange> named;
            EXPECT_TRUE(watch.TakeChanges(&named)) << step.what;
            EXPECT_EQ(named, step.named) << step.what;
            EXPECT_FALSE(Signalled(watch, 0)) << step.what;
        }

        // The window has taken these when the sending returns.
        Broadcast(DBT_DEVICEARRIVAL, DeviceBroadcast(DBT_DEVTYP_VOLUME));
        Broadcast(DBT_DEVICEQUERYREMOVE, PortBroadcast(L"COM5"));
        EXPECT_FALSE(Signalled(watch, 0));
        EXPECT_FALSE(watch.TakeChanges());
    }
    EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"OrvantaPortWatch", nullptr), nullptr)
        << "the window outlives its watch";
}

TEST(PortWatch, SignalsARetryWhenNoNotificationComes)
{
    CPortWatch watch(PortWatchSetup {50ms});
    ASSERT_TRUE(Signalled(watch, SIGNAL_BOUND_MS));
    std::vector<PortChange> named;
    EXPECT_TRUE(watch.TakeChanges(&named));
    EXPECT_TRUE(named.empty());
}

} // namespace
