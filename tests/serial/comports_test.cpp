// The Windows port list from what SetupAPI and SERIALCOMM tell, with devices as Windows describes
// them.
#include "comports.h"

#include <gtest/gtest.h>

namespace {

TEST(ComPorts, EachNumberShowsWhatTheSystemTellsOfItsDevice)
{
    const std::vector<ComPortRecord> devices = {
        {"COM3", "USB Serial Port (COM3)", "FTDI", "USB\\VID_0403&PID_6001&REV_0600",
         "USB\\VID_0403&PID_6001\\A50285BI"},
        // FTDI's own driver: the serial number carries the letter of the adapter's port.
        {"COM4", "USB Serial Port (COM4)", "FTDI", "FTDIBUS\\COMPORT&VID_0403&PID_6001",
         "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"},
        // No serial number: Windows names the instance by its socket.
        {"COM5", "Prolific USB-to-Serial Comm Port (COM5)", "Prolific",
         "USB\\VID_067B&PID_2303&REV_0300", "USB\\VID_067B&PID_2303\\5&2B3C4D5&0&2"},
        {"COM1", "Communications Port (COM1)", "(Standard port types)", "ACPI\\PNP0501",
         "ACPI\\PNP0501\\0"},
        // The Ports class holds printer ports too.
        {"LPT1", "Printer Port (LPT1)", "(Standard port types)", "ACPI\\PNP0400",
         "ACPI\\PNP0400\\0"},
        {"COM20", "USB Serial Device (COM20)", "Microsoft", "USB\\VID_2341&PID_0043&REV_0001",
         "USB\\VID_2341&PID_0043\\75833353035351F0E1A1"},
    };
    // SERIALCOMM names again the ports that SetupAPI gave.
    const std::vector<ComPortRecord> serialComm = {
        {"COM1", {}, {}, {}, "\\Device\\Serial0"},
        {"COM20", {}, {}, {}, "\\Device\\USBSER000"},
        {"COM7", {}, {}, {}, "\\Device\\VCP0"},
    };
    const PortList list = ShapePortList(devices, serialComm);

    const struct
    {
        std::size_t port;
        PortKind kind;
        std::string tooltip;
    } expected[] = {
        {0, PortKind::OnBoardUart,
         "Communications Port (COM1) — (Standard port types) — ACPI\\PNP0501\\0"},
        {1, PortKind::NotPresent, "接続されていません"},
        {2, PortKind::Adapter,
         "USB Serial Port (COM3) — FTDI — VID_0403&PID_6001 — A50285BI — "
         "USB\\VID_0403&PID_6001\\A50285BI"},
        {3, PortKind::Adapter,
         "USB Serial Port (COM4) — FTDI — VID_0403&PID_6001 — A50285BIA — "
         "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"},
        {4, PortKind::Adapter,
         "Prolific USB-to-Serial Comm Port (COM5) — Prolific — VID_067B&PID_2303 — "
         "USB\\VID_067B&PID_2303\\5&2B3C4D5&0&2"},
        {6, PortKind::OnBoardUart, "説明のないポート — \\Device\\VCP0"},
        {15, PortKind::NotPresent, "接続されていません"},
    };
    ASSERT_EQ(list.ports.size(), 16u);
    for (const auto &row : expected) {
        const PortTarget &target = list.ports[row.port];
        SCOPED_TRACE(row.port + 1);
        EXPECT_EQ(target.kind, row.kind);
        EXPECT_EQ(target.present, row.kind != PortKind::NotPresent);
        EXPECT_EQ(target.openPath,
                  row.kind == PortKind::NotPresent ? ""
                                                   : "\\\\.\\COM" + std::to_string(row.port + 1));
        EXPECT_EQ(DescribePortTarget(target), row.tooltip);
    }
    EXPECT_EQ(list.unlisted,
              std::vector<std::string> {
                  "COM16 より後の番号のため選べません: COM20 — USB Serial Device (COM20) — "
                  "Microsoft — VID_2341&PID_0043 — 75833353035351F0E1A1 — "
                  "USB\\VID_2341&PID_0043\\75833353035351F0E1A1"});
}

} // namespace
